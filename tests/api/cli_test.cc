// The command-line tool: what it prints and which exit status each kind of outcome gives.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "../cli/cli_run.h"

namespace {

using cli_test::CliRun;
using cli_test::readFile;
using cli_test::runCli;
using cli_test::scratchPath;
using cli_test::shellQuoted;
using cli_test::writeFile;

const char kEmptyResponse[] =
    "{\"boxes\":[],\"placements\":[],\"success\":true,\"summary\":{\"box_count\":0,"
    "\"overall_volume_utilisation\":0.0,\"total_placed\":0,\"total_unplaced\":0},"
    "\"unplaced_item_codes\":[],\"unplaced_items\":[]}";

TEST(CliTest, PrintsCompactResponseAndExitsZeroWhenAllIsPlaced) {
  const CliRun run = runCli("solve", "{}");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, std::string(kEmptyResponse) + "\n");
  EXPECT_EQ(run.err, "");
}

TEST(CliTest, ReadsStandardInputForDash) {
  const CliRun run = runCli("solve -", "{}");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, std::string(kEmptyResponse) + "\n");
}

TEST(CliTest, ReadsNamedFile) {
  const std::string request = scratchPath(".json");
  writeFile(request, "{}");
  const CliRun run = runCli("solve " + shellQuoted(request));
  std::remove(request.c_str());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, std::string(kEmptyResponse) + "\n");
}

TEST(CliTest, PrettyIndentsWithTwoSpaces) {
  const CliRun run = runCli("solve --pretty", "{}");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "{\n"
            "  \"boxes\": [],\n"
            "  \"placements\": [],\n"
            "  \"success\": true,\n"
            "  \"summary\": {\n"
            "    \"box_count\": 0,\n"
            "    \"overall_volume_utilisation\": 0.0,\n"
            "    \"total_placed\": 0,\n"
            "    \"total_unplaced\": 0\n"
            "  },\n"
            "  \"unplaced_item_codes\": [],\n"
            "  \"unplaced_items\": []\n"
            "}\n");
}

TEST(CliTest, PrettyLeavesStringsUntouched) {
  const CliRun run =
      runCli("solve --pretty", R"({"boxes":[{"Reference":"a,{b}:[c] \"q\"","Width":1}]})");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out,
            "{\n"
            "  \"error\": \"box 'a,{b}:[c] \\\"q\\\"' is missing required field 'MaxWeight'\",\n"
            "  \"success\": false\n"
            "}\n");
  EXPECT_EQ(run.err, "varbex: box 'a,{b}:[c] \"q\"' is missing required field 'MaxWeight'\n");
}

TEST(CliTest, RejectedRequestExitsTwoAndReportsTheMessage) {
  const CliRun run = runCli("solve", R"({"boxes":[{"Width":1}]})");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out,
            "{\"error\":\"box is missing required field 'Reference'\",\"success\":false}\n");
  EXPECT_EQ(run.err, "varbex: box is missing required field 'Reference'\n");
}

TEST(CliTest, UnplacedItemsExitThree) {
  const CliRun run =
      runCli("solve", R"({"items":[{"ItemCode":"A","Width":1,"Length":1,"Depth":1}]})");
  EXPECT_EQ(run.status, 3) << run.err;
  EXPECT_NE(run.out.find("\"success\":false"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"unplaced_item_codes\":[\"A\"]"), std::string::npos) << run.out;
}

TEST(CliTest, MissingFileExitsOneNamingTheFile) {
  const std::string missing = scratchPath("_missing.json");
  const CliRun run = runCli("solve " + shellQuoted(missing));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "varbex: cannot read '" + missing + "': No such file or directory\n");
}

TEST(CliTest, VersionPrintsProjectVersion) {
  const CliRun run = runCli("--version");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "varbex " VARBEX_VERSION "\n");
}

TEST(CliTest, HelpPrintsUsage) {
  for (const char* arguments : {"--help", "solve --help", "render --help", "insights -h",
                                "batch --help"}) {
    const CliRun run = runCli(arguments);
    EXPECT_EQ(run.status, 0) << arguments;
    EXPECT_EQ(run.out.rfind("usage: varbex solve [FILE|-] [--pretty]\n", 0), 0u) << run.out;
    EXPECT_EQ(run.err, "") << arguments;
  }
}

TEST(CliTest, UsageErrorsExitOne) {
  struct Case {
    const char* name;
    const char* arguments;
    const char* message;
  };
  const Case kCases[] = {
      {"no_command", "", "varbex: no command given\n"},
      {"unknown_command", "pack", "varbex: unknown command 'pack'\n"},
      {"unknown_option", "solve --fast", "varbex: unknown option '--fast'\n"},
      {"two_files", "solve a.json b.json", "varbex: more than one request file given\n"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const CliRun run = runCli(c.arguments, "{}");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind(c.message, 0), 0u) << run.err;
  }
}

}  // namespace
