#include "report.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "exit_status.h"
#include "report_page.h"
#include "text_file.h"

namespace cli {
namespace {

struct RenderOptions {
  std::string input = "-";
  std::string output = "-";
};

// Members the page reads; a document without them would draw an empty or broken page.
bool looksLikeResponse(const nlohmann::json& document) {
  for (const char* key : {"boxes", "placements", "summary", "unplaced_items"}) {
    if (!document.contains(key)) return false;
  }
  return document["boxes"].is_array() && document["placements"].is_array() &&
         document["unplaced_items"].is_array() && document["summary"].is_object();
}

// JSON for inside a <script> element: '<' occurs only inside strings, where \u003c means the same
// and no "</script>" in an item code can end the element early.
std::string scriptSafe(const nlohmann::json& document) {
  const std::string text = document.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  std::string safe;
  safe.reserve(text.size());
  for (const char c : text) {
    if (c == '<') {
      safe += "\\u003c";
    } else {
      safe += c;
    }
  }
  return safe;
}

std::string fillPage(const std::string& json) {
  std::string page = kReportPage;
  page.replace(page.find(kReportPlaceholder), sizeof kReportPlaceholder - 1, json);
  return page;
}

bool parseRenderArguments(int argc, char** argv, RenderOptions& options, std::string& error) {
  bool haveInput = false;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-o" || arg == "--output") {
      if (i + 1 >= argc) {
        error = "option '" + arg + "' needs a file name";
        return false;
      }
      options.output = argv[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option '" + arg + "'";
      return false;
    } else if (haveInput) {
      error = "more than one response file given";
      return false;
    } else {
      options.input = arg;
      haveInput = true;
    }
  }
  return true;
}

int failWith(int status, const std::string& message) {
  std::fprintf(stderr, "varbex: %s\n", message.c_str());
  return status;
}

}  // namespace

Report buildReport(const std::string& response) {
  Report report;
  const nlohmann::json document = nlohmann::json::parse(response, nullptr, false);
  if (document.is_discarded()) {
    report.error = "not a JSON document";
  } else if (document.is_object() && document.contains("error")) {
    report.rejected = true;
    report.error = document["error"].is_string() ? document["error"].get<std::string>()
                                                 : document["error"].dump();
  } else if (!looksLikeResponse(document)) {
    report.error = "not a varbex response (it lacks \"boxes\", \"placements\" or \"summary\")";
  } else {
    report.html = fillPage(scriptSafe(document));
  }
  return report;
}

int renderCommand(int argc, char** argv) {
  RenderOptions options;
  std::string error;
  if (!parseRenderArguments(argc, argv, options, error)) {
    return failWith(kUsageOrIoError, error + "\nusage: varbex render [RESPONSE.json|-] [-o report.html]");
  }
  std::string response;
  if (!readTextFile(options.input, response, error)) return failWith(kUsageOrIoError, error);
  const Report report = buildReport(response);
  if (report.rejected) return failWith(kRequestRejected, "the response is an error: " + report.error);
  if (report.html.empty()) {
    return failWith(kUsageOrIoError, displayName(options.input, false) + " is " + report.error);
  }
  if (!writeTextFile(options.output, report.html, error)) return failWith(kUsageOrIoError, error);
  return kSuccess;
}

}  // namespace cli
