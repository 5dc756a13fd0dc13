// `varbex batch`: one response per input line in input order, error envelopes in place of bad
// lines, the summary, the exit statuses, and a progress bar only on a terminal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "cli_run.h"
#include "varbex.h"

namespace {

using cli_test::CliRun;
using cli_test::runCli;

std::string libraryResponse(const std::string& request) {
  const std::unique_ptr<char, void (*)(char*)> response(varbex_solve(request.c_str()), varbex_free);
  return response.get();
}

// A request with `count` items of a few sizes; larger counts take longer to solve.
std::string requestWith(int count) {
  std::string items;
  for (int i = 0; i < count; ++i) {
    if (i > 0) items += ",";
    items += "{\"ItemCode\":\"I" + std::to_string(i) + "\",\"Width\":" + std::to_string(3 + i % 5) +
             ",\"Length\":" + std::to_string(2 + i % 4) + ",\"Depth\":" + std::to_string(1 + i % 3) +
             ",\"Weight\":1}";
  }
  return "{\"items\":[" + items +
         "],\"boxes\":[{\"Reference\":\"B\",\"Width\":20,\"Length\":20,\"Depth\":20,\"MaxWeight\":-1}]}";
}

std::string joinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(start, text.size()) << "output does not end with a line end";
  return lines;
}

const char kNoFit[] =
    "{\"items\":[{\"ItemCode\":\"BIG\",\"Width\":50,\"Length\":50,\"Depth\":50}],"
    "\"boxes\":[{\"Reference\":\"B\",\"Width\":10,\"Length\":10,\"Depth\":10,\"MaxWeight\":-1}]}";
const char kMissingReference[] = "{\"boxes\":[{\"Width\":1}]}";

TEST(BatchTest, WritesOneResponsePerLineInInputOrder) {
  // Big and small requests alternate, so the threads finish them out of order.
  std::vector<std::string> requests;
  for (int i = 0; i < 12; ++i) requests.push_back(requestWith(i % 2 == 0 ? 40 + i : 1 + i));
  const CliRun run = runCli("batch --jobs 4", joinLines(requests));
  EXPECT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> lines = splitLines(run.out);
  ASSERT_EQ(lines.size(), requests.size());
  for (size_t i = 0; i < requests.size(); ++i) {
    SCOPED_TRACE("line " + std::to_string(i + 1));
    EXPECT_EQ(lines[i], libraryResponse(requests[i]));
  }
}

TEST(BatchTest, BadLinesGetTheirErrorEnvelopeAndTheBatchGoesOn) {
  const std::vector<std::string> requests = {"{}", "{\"items\": [", "{}", kMissingReference, "{}"};
  const CliRun run = runCli("batch", joinLines(requests));
  EXPECT_EQ(run.status, 2) << run.err;
  const std::vector<std::string> lines = splitLines(run.out);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], libraryResponse("{}"));
  EXPECT_EQ(lines[1].rfind("{\"error\":\"[json.exception.parse_error.101]", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2], libraryResponse("{}"));
  EXPECT_EQ(lines[3], "{\"error\":\"box is missing required field 'Reference'\",\"success\":false}");
  EXPECT_EQ(lines[4], libraryResponse("{}"));
}

TEST(BatchTest, BlankLineKeepsItsPlaceAsAnError) {
  const std::vector<std::string> lines = splitLines(runCli("batch", "{}\n\n{}\n").out);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], libraryResponse(""));
}

TEST(BatchTest, AcceptsCrLfAndALastLineWithoutLineEnd) {
  const CliRun run = runCli("batch", "{}\r\n{}");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, libraryResponse("{}") + "\n" + libraryResponse("{}") + "\n");
}

TEST(BatchTest, EmptyInputWritesNothing) {
  const CliRun run = runCli("batch", "");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(std::regex_match(run.err, std::regex("varbex batch: 0 requests, 0 items placed, "
                                                   "0 unplaced, 0 errors, [0-9]+\\.[0-9]{2} s\n")))
      << run.err;
}

TEST(BatchTest, SummaryCountsRequestsPlacedUnplacedAndErrors) {
  const CliRun run = runCli("batch -j 2", joinLines({requestWith(5), kNoFit, kMissingReference}));
  // Only the summary reaches standard error when it is not a terminal.
  EXPECT_TRUE(std::regex_match(run.err, std::regex("varbex batch: 3 requests, 5 items placed, "
                                                   "1 unplaced, 1 errors, [0-9]+\\.[0-9]{2} s\n")))
      << run.err;
}

TEST(BatchTest, ExitStatusTellsUnplacedItemsWhenNoLineFailed) {
  EXPECT_EQ(runCli("batch", joinLines({requestWith(3), kNoFit})).status, 3);
  EXPECT_EQ(runCli("batch", joinLines({requestWith(3)})).status, 0);
}

TEST(BatchTest, ReadsAFileAndWritesTheOutputFile) {
  const std::string in = cli_test::scratchPath(".jsonl");
  const std::string out = cli_test::scratchPath(".out.jsonl");
  cli_test::writeFile(in, joinLines({"{}", kNoFit}));
  const CliRun run = runCli("batch " + cli_test::shellQuoted(in) + " -o " + cli_test::shellQuoted(out));
  EXPECT_EQ(run.status, 3) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(cli_test::readFile(out), libraryResponse("{}") + "\n" + libraryResponse(kNoFit) + "\n");
  std::remove(in.c_str());
  std::remove(out.c_str());
}

TEST(BatchTest, UsageErrorsExitOne) {
  struct Case {
    const char* name;
    const char* arguments;
    const char* message;
  };
  const Case kCases[] = {
      {"zero_jobs", "batch --jobs 0", "varbex: --jobs needs a whole number from 1 to 9999, not '0'\n"},
      {"word_jobs", "batch --jobs many", "varbex: --jobs needs a whole number from 1 to 9999, not 'many'\n"},
      {"jobs_without_value", "batch --jobs", "varbex: option '--jobs' needs a value\n"},
      {"unknown_option", "batch --fast", "varbex: unknown option '--fast'\n"},
      {"two_inputs", "batch a b", "varbex: more than one input file given\n"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const CliRun run = runCli(c.arguments, "{}\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind(c.message, 0), 0u) << run.err;
  }
}

TEST(BatchTest, MissingInputFileExitsOneNamingIt) {
  const CliRun run = runCli("batch /nonexistent/requests.jsonl");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "varbex: cannot read '/nonexistent/requests.jsonl': No such file or directory\n");
}

// Runs the tool with standard error on a pseudo-terminal and returns what the terminal got.
std::string terminalErrorOutput(const std::string& arguments, const std::string& input) {
  const std::string in = cli_test::scratchPath(".in");
  cli_test::writeFile(in, input);
  int terminal = -1;
  int child = -1;
  EXPECT_EQ(openpty(&terminal, &child, nullptr, nullptr, nullptr), 0);
  const std::string command = cli_test::shellQuoted(VARBEX_CLI) + " " + arguments + " <" +
                              cli_test::shellQuoted(in) + " >/dev/null";
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(child, STDERR_FILENO);
    close(terminal);
    close(child);
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(child);
  std::string seen;
  char buffer[4096];
  // Reading fails with EIO once the child has closed its side of the terminal.
  for (ssize_t count; (count = read(terminal, buffer, sizeof buffer)) > 0;) seen.append(buffer, count);
  close(terminal);
  waitpid(pid, nullptr, 0);
  std::remove(in.c_str());
  return seen;
}

TEST(BatchTest, ShowsProgressOnATerminal) {
  const std::string seen = terminalErrorOutput("batch -j 2", joinLines({"{}", "{}", "{}"}));
  EXPECT_NE(seen.find("] 3/3 "), std::string::npos) << seen;
  EXPECT_NE(seen.find("/s "), std::string::npos) << seen;
  EXPECT_NE(seen.find(" left"), std::string::npos) << seen;
  EXPECT_NE(seen.find("varbex batch: 3 requests,"), std::string::npos) << seen;
}

}  // namespace
