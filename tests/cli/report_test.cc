// The packing report: `varbex render` and `varbex solve --html` write one self-contained HTML page
// that carries the response; error envelopes and other documents give no page.
#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "cli_run.h"
#include "varbex.h"

namespace {

using cli_test::CliRun;
using cli_test::runCli;
using cli_test::shellQuoted;

const char kScriptStart[] = "<script id=\"varbex-response\" type=\"application/json\">";

const char kTwoItemsOneTooBig[] =
    "{\"items\":[{\"ItemCode\":\"A\",\"Width\":5,\"Length\":4,\"Depth\":2,\"Weight\":3},"
    "{\"ItemCode\":\"BIG\",\"Width\":50,\"Length\":50,\"Depth\":50}],"
    "\"boxes\":[{\"Reference\":\"B1\",\"Width\":10,\"Length\":10,\"Depth\":10,\"MaxWeight\":50}]}";

std::string libraryResponse(const std::string& request) {
  const std::unique_ptr<char, void (*)(char*)> response(varbex_solve(request.c_str()), varbex_free);
  return response.get();
}

// The response as the page carries it, read back from its script element.
nlohmann::json embeddedResponse(const std::string& page) {
  const size_t start = page.find(kScriptStart);
  if (start == std::string::npos) return nullptr;
  const size_t from = start + sizeof kScriptStart - 1;
  return nlohmann::json::parse(page.substr(from, page.find("</script>", from) - from));
}

void expectSelfContainedPage(const std::string& page) {
  EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
  for (const char* reference : {"<link", " src=", "https://", "@import", "url("}) {
    EXPECT_EQ(page.find(reference), std::string::npos) << "the page refers outside: " << reference;
  }
  // The one http:// text is the SVG namespace name, which is never fetched.
  const size_t http = page.find("http://");
  ASSERT_NE(http, std::string::npos);
  EXPECT_EQ(page.compare(http, 26, "http://www.w3.org/2000/svg"), 0);
  EXPECT_EQ(page.find("http://", http + 1), std::string::npos);
  EXPECT_EQ(page.find("/*VARBEX_RESPONSE*/"), std::string::npos);
}

TEST(ReportTest, RenderWritesOneSelfContainedPageCarryingTheResponse) {
  const std::string response = libraryResponse(kTwoItemsOneTooBig);
  const std::string page = cli_test::scratchPath(".html");
  const CliRun run = runCli("render -o " + shellQuoted(page), response);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  const std::string html = cli_test::readFile(page);
  expectSelfContainedPage(html);
  EXPECT_EQ(embeddedResponse(html), nlohmann::json::parse(response));
  std::remove(page.c_str());
}

TEST(ReportTest, RenderWritesToStandardOutputWithoutOutputFile) {
  const std::string response = libraryResponse(kTwoItemsOneTooBig);
  const std::string file = cli_test::scratchPath(".json");
  cli_test::writeFile(file, response);
  const CliRun run = runCli("render " + shellQuoted(file));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(embeddedResponse(run.out), nlohmann::json::parse(response));
  std::remove(file.c_str());
}

TEST(ReportTest, ItemCodeCannotEndTheScriptEarly) {
  const std::string code = "</script><b>x";
  const std::string request =
      "{\"items\":[{\"ItemCode\":\"</script><b>x\",\"Width\":1,\"Length\":1,\"Depth\":1}],"
      "\"boxes\":[{\"Reference\":\"B\",\"Width\":2,\"Length\":2,\"Depth\":2,\"MaxWeight\":-1}]}";
  const CliRun run = runCli("render", libraryResponse(request));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.find("</script><b>"), std::string::npos);
  EXPECT_EQ(embeddedResponse(run.out)["placements"][0]["ItemCode"], code);
}

TEST(ReportTest, ErrorEnvelopeGivesNoPageAndExitsTwo) {
  const std::string page = cli_test::scratchPath(".html");
  const CliRun run = runCli("render -o " + shellQuoted(page), libraryResponse("{\"boxes\":[{}]}"));
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "varbex: the response is an error: box is missing required field 'Reference'\n");
  EXPECT_EQ(access(page.c_str(), F_OK), -1) << "a page was written";
}

TEST(ReportTest, DocumentThatIsNoResponseExitsOne) {
  struct Case {
    const char* name;
    const char* input;
    const char* message;
  };
  const Case kCases[] = {
      {"not_json", "boxes", "varbex: standard input is not a JSON document\n"},
      {"request", "{\"items\":[],\"boxes\":[]}",
       "varbex: standard input is not a varbex response (it lacks \"boxes\", \"placements\" or "
       "\"summary\")\n"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const CliRun run = runCli("render", c.input);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, c.message);
  }
}

TEST(ReportTest, RenderUsageErrorsExitOne) {
  const CliRun run = runCli("render -o");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.rfind("varbex: option '-o' needs a file name\n", 0), 0u) << run.err;
}

TEST(ReportTest, SolveWithHtmlPrintsTheResponseAndWritesItsPage) {
  const std::string page = cli_test::scratchPath(".html");
  const CliRun run = runCli("solve --html " + shellQuoted(page), kTwoItemsOneTooBig);
  EXPECT_EQ(run.status, 3) << run.err;
  EXPECT_EQ(run.out, libraryResponse(kTwoItemsOneTooBig) + "\n");
  const std::string html = cli_test::readFile(page);
  expectSelfContainedPage(html);
  EXPECT_EQ(embeddedResponse(html), nlohmann::json::parse(libraryResponse(kTwoItemsOneTooBig)));
  std::remove(page.c_str());
}

TEST(ReportTest, SolveWithHtmlWritesNoPageForARejectedRequest) {
  const std::string page = cli_test::scratchPath(".html");
  const CliRun run = runCli("solve --html " + shellQuoted(page), "{\"boxes\":[{}]}");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(access(page.c_str(), F_OK), -1) << "a page was written";
}

TEST(ReportTest, SolveWithHtmlReportsAnUnwritableReport) {
  const CliRun run = runCli("solve --html /nonexistent/dir/report.html", "{}");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "varbex: cannot write '/nonexistent/dir/report.html': No such file or directory\n");
}

}  // namespace
