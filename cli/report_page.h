#pragma once

// The packing report's page, built from cli/report_page.html. It draws the boxes itself from the
// response that replaces kReportPlaceholder, so the file needs nothing from the network.
namespace cli {

extern const char kReportPage[];
constexpr char kReportPlaceholder[] = "/*VARBEX_RESPONSE*/";
// The insights document of the response, or null when the page has none.
constexpr char kInsightsPlaceholder[] = "/*VARBEX_INSIGHTS*/";

}  // namespace cli
