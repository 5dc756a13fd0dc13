#include "report.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "box_svg.h"
#include "exit_status.h"
#include "insights_command.h"
#include "report_page.h"
#include "text_file.h"

namespace cli {
namespace {

struct RenderOptions {
  std::string input = "-";
  std::string output = "-";
  std::string request;    // with a request, the page shows the insights too
  std::string svgFolder;  // pictures of the boxes instead of the page
};

constexpr char kRenderUsage[] =
    "usage: varbex render [--request REQUEST.json] [RESPONSE.json|-] [-o report.html]\n"
    "       varbex render --svg DIR [--request REQUEST.json] [RESPONSE.json|-]";

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

std::string fillPage(const std::string& json, const std::string& insights) {
  std::string page = kReportPage;
  page.replace(page.find(kReportPlaceholder), sizeof kReportPlaceholder - 1, json);
  page.replace(page.find(kInsightsPlaceholder), sizeof kInsightsPlaceholder - 1, insights);
  return page;
}

bool parseRenderArguments(int argc, char** argv, RenderOptions& options, std::string& error) {
  bool haveInput = false;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-o" || arg == "--output" || arg == "--request" || arg == "--svg") {
      if (i + 1 >= argc) {
        error = "option '" + arg + "' needs a " + (arg == "--svg" ? "folder" : "file") + " name";
        return false;
      }
      std::string& value = arg == "--request" ? options.request
                           : arg == "--svg"   ? options.svgFolder
                                              : options.output;
      value = argv[++i];
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

Report buildReport(const std::string& response, const std::string& insights) {
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
    const nlohmann::json measured = nlohmann::json::parse(insights, nullptr, false);
    report.html = fillPage(scriptSafe(document), measured.is_object() ? scriptSafe(measured) : "null");
  }
  return report;
}

int renderCommand(int argc, char** argv) {
  RenderOptions options;
  std::string error;
  if (!parseRenderArguments(argc, argv, options, error)) {
    return failWith(kUsageOrIoError, error + "\n" + kRenderUsage);
  }
  if (options.request == "-" && options.input == "-") {
    return failWith(kUsageOrIoError, "only one of request and response can be standard input");
  }
  std::string response, request;
  if (!readTextFile(options.input, response, error)) return failWith(kUsageOrIoError, error);
  if (!options.request.empty() && !readTextFile(options.request, request, error)) {
    return failWith(kUsageOrIoError, error);
  }
  std::string insights;
  if (!options.request.empty()) {
    bool ok = false;
    insights = insightsText(request, response, ok);
    const nlohmann::json envelope = nlohmann::json::parse(insights, nullptr, false);
    if (!ok && !(envelope.is_object() && envelope.value("error", "").rfind("response: it is an error", 0) == 0)) {
      return failWith(kRequestRejected, "no insights: " + envelope.value("error", insights));
    }
  }
  const Report report = buildReport(response, insights);
  if (report.rejected) return failWith(kRequestRejected, "the response is an error: " + report.error);
  if (report.html.empty()) {
    return failWith(kUsageOrIoError, displayName(options.input, false) + " is " + report.error);
  }
  if (!options.svgFolder.empty()) {
    return writeBoxPictures(options.svgFolder, nlohmann::json::parse(response),
                            nlohmann::json::parse(insights.empty() ? "null" : insights));
  }
  if (!writeTextFile(options.output, report.html, error)) return failWith(kUsageOrIoError, error);
  return kSuccess;
}

}  // namespace cli
