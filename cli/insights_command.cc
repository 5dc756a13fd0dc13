#include "insights_command.h"

#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <vector>

#include "exit_status.h"
#include "text_file.h"
#include "varbex_insights.h"

namespace cli {
namespace {

constexpr char kUsage[] = "usage: varbex insights REQUEST.json RESPONSE.json [-o FILE]";

int failWith(int status, const std::string& message) {
  std::fprintf(stderr, "varbex: %s\n", message.c_str());
  return status;
}

}  // namespace

std::string insightsText(const std::string& request, const std::string& response, bool& ok) {
  const std::unique_ptr<char, void (*)(char*)> block(
      varbex_insights(request.c_str(), response.c_str()), varbex_insights_free);
  if (!block) {
    ok = false;
    return R"({"error":"out of memory: no insights document","success":false})";
  }
  std::string text = block.get();
  // A document never starts with "error"; an envelope always has it first.
  ok = text.rfind("{\"error\":", 0) != 0;
  return text;
}

int insightsCommand(int argc, char** argv) {
  std::vector<std::string> files;
  std::string output = "-";
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-o" || arg == "--output") {
      if (i + 1 >= argc) return failWith(kUsageOrIoError, "option '" + arg + "' needs a file name");
      output = argv[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      return failWith(kUsageOrIoError, "unknown option '" + arg + "'\n" + kUsage);
    } else {
      files.push_back(arg);
    }
  }
  if (files.size() != 2) {
    return failWith(kUsageOrIoError, "give one request file and one response file\n" + std::string(kUsage));
  }
  if (files[0] == "-" && files[1] == "-") {
    return failWith(kUsageOrIoError, "only one of the two files can be standard input");
  }
  std::string request, response, error;
  if (!readTextFile(files[0], request, error) || !readTextFile(files[1], response, error)) {
    return failWith(kUsageOrIoError, error);
  }
  bool ok = false;
  const std::string document = insightsText(request, response, ok) + "\n";
  if (!ok) {
    const nlohmann::json envelope = nlohmann::json::parse(document, nullptr, false);
    const bool readable = envelope.is_object() && envelope.contains("error") && envelope["error"].is_string();
    return failWith(kRequestRejected, readable ? envelope["error"].get<std::string>() : document);
  }
  if (!writeTextFile(output, document, error)) return failWith(kUsageOrIoError, error);
  return kSuccess;
}

}  // namespace cli
