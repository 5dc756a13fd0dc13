#pragma once

#include <string>

// The visual packing report: one self-contained HTML file per response, and `varbex render`.
namespace cli {

// A report page, or why there is none.
struct Report {
  std::string html;       // the page; empty when there is none
  std::string error;      // why there is no page
  bool rejected = false;  // the response was an error envelope; `error` holds its message
};

// Builds the report of a response text. Any text that is not a packing response (not JSON, an
// error envelope, a document without "boxes") gives no page. `insights`, the insights document
// of the response (or empty for none), adds reasons, centres of gravity and overhangs.
Report buildReport(const std::string& response, const std::string& insights = "");

// `varbex render [--request REQUEST.json] [--svg DIR] RESPONSE.json [-o report.html]`, with
// argv[1] == "render". Returns the exit status.
int renderCommand(int argc, char** argv);

}  // namespace cli
