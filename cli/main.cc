// varbex: reads one packing request, prints the library's response, and tells by its exit status
// whether everything was placed. Uses only the public C interface.
#include "varbex.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "batch.h"
#include "exit_status.h"
#include "report.h"
#include "serve.h"
#include "text_file.h"

namespace {

using nlohmann::json;
using cli::kAllPlaced;
using cli::kItemsUnplaced;
using cli::kRequestRejected;
using cli::kUsageOrIoError;

constexpr char kUsage[] =
    "usage: varbex solve [FILE|-] [--pretty]\n"
    "       varbex solve [FILE|-] [--pretty] --html REPORT.html\n"
    "       varbex render [RESPONSE.json|-] [-o REPORT.html]\n"
    "       varbex batch [IN.jsonl|-] [-o OUT.jsonl] [--jobs N]\n"
    "       varbex serve [--listen HOST:PORT] [--threads N] [--queue N] [--max-body BYTES]\n"
    "                    [--token-file FILE] [--cors ORIGIN] [--access-log FILE|-]\n"
    "       varbex --help | --version\n"
    "\n"
    "solve   packs the items of a JSON request into boxes and prints the JSON response.\n"
    "        The request is read from FILE, or from standard input when FILE is '-' or absent.\n"
    "          --pretty        indent the response with two spaces\n"
    "          --html REPORT   also write the packing report of the response to REPORT\n"
    "render  writes the packing report of a response as one self-contained HTML file\n"
    "        (to standard output without -o)\n"
    "batch   solves one request per input line on N threads (default: one per core) and\n"
    "        writes one response per line, in input order; a summary goes to standard error\n"
    "serve   answers requests over HTTP until SIGTERM or SIGINT (see docs/service.md):\n"
    "          --listen HOST:PORT   address to listen on (default 127.0.0.1:8080; port 0\n"
    "                               picks a free one, printed at start)\n"
    "          --threads N          solving threads (default: one per core)\n"
    "          --queue N            requests that may wait for a thread (default 64);\n"
    "                               beyond that the answer is 503 with Retry-After\n"
    "          --max-body BYTES     largest request body (default 16 MiB); larger: 413\n"
    "          --token-file FILE    require 'Authorization: Bearer <token>' (or set\n"
    "                               VARBEX_TOKEN); /healthz stays open\n"
    "          --cors ORIGIN        allow browsers on ORIGIN to call the service\n"
    "          --access-log FILE|-  one JSON line per request, appended to FILE\n"
    "\n"
    "exit status: 0 all items placed, 3 some items unplaced, 2 request rejected (the\n"
    "message also goes to standard error), 1 usage or input/output error\n";

struct Options {
  std::string file = "-";
  bool pretty = false;
  std::string html;  // where to write the report; empty for none
};

int fail(const std::string& message) {
  std::fprintf(stderr, "varbex: %s\n", message.c_str());
  return kUsageOrIoError;
}

int usageError(const std::string& message) {
  std::fprintf(stderr, "varbex: %s\n%s", message.c_str(), kUsage);
  return kUsageOrIoError;
}

// Returns false with `error` set when the arguments after "solve" are not understood.
bool parseSolveArguments(int argc, char** argv, Options& options, std::string& error) {
  bool haveFile = false;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--pretty") {
      options.pretty = true;
    } else if (arg == "--html") {
      if (i + 1 >= argc) {
        error = "option '--html' needs a file name";
        return false;
      }
      options.html = argv[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option '" + arg + "'";
      return false;
    } else if (haveFile) {
      error = "more than one request file given";
      return false;
    } else {
      options.file = arg;
      haveFile = true;
    }
  }
  return true;
}

bool readAll(std::FILE* stream, std::string& text) {
  char buffer[65536];
  size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, stream)) > 0) text.append(buffer, count);
  return !std::ferror(stream);
}

// Reads the request; on failure returns false with `error` naming the file and the reason.
bool readRequest(const std::string& file, std::string& text, std::string& error) {
  const bool useStdin = file == "-";
  const std::string name = useStdin ? "standard input" : "'" + file + "'";
  std::FILE* stream = useStdin ? stdin : std::fopen(file.c_str(), "rb");
  bool ok = stream != nullptr && readAll(stream, text);
  const int savedErrno = errno;
  if (stream != nullptr && !useStdin) std::fclose(stream);
  if (!ok) error = "cannot read " + name + ": " + std::strerror(savedErrno);
  return ok;
}

// Prints the response, indented with two spaces per level when asked, and returns the exit status
// it calls for. The response is read back with the JSON library; its member order and number forms
// are the library's own, so the indented text holds the very tokens of the compact one.
int report(const std::string& response, bool pretty) {
  const json parsed = json::parse(response, nullptr, false);
  const bool readable = !parsed.is_discarded() && parsed.is_object();
  const std::string shown =
      pretty && readable ? parsed.dump(2, ' ', false, json::error_handler_t::replace) : response;
  std::fwrite(shown.data(), 1, shown.size(), stdout);
  std::fputc('\n', stdout);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    return fail(std::string("cannot write standard output: ") + std::strerror(errno));
  }
  if (!readable) return fail("the library's response is not a JSON object");
  const auto error = parsed.find("error");
  if (error != parsed.end()) {
    const std::string message = error->is_string() ? error->get<std::string>() : error->dump();
    std::fprintf(stderr, "varbex: %s\n", message.c_str());
    return kRequestRejected;
  }
  const auto success = parsed.find("success");
  if (success != parsed.end() && success->is_boolean()) {
    return success->get<bool>() ? kAllPlaced : kItemsUnplaced;
  }
  return fail("the library's response has no \"success\" member");
}

// Writes the packing report of a response that is not an error envelope.
bool writeHtmlReport(const std::string& path, const std::string& response) {
  const cli::Report page = cli::buildReport(response);
  std::string error = page.error;
  if (!page.html.empty() && cli::writeTextFile(path, page.html, error)) return true;
  fail(error);
  return false;
}

int solve(const Options& options) {
  std::string request;
  std::string error;
  if (!readRequest(options.file, request, error)) return fail(error);
  const std::unique_ptr<char, void (*)(char*)> response(varbex_solve(request.c_str()), varbex_free);
  if (!response) return fail("out of memory: the library returned no response");
  const int status = report(response.get(), options.pretty);
  if (options.html.empty() || (status != kAllPlaced && status != kItemsUnplaced)) return status;
  return writeHtmlReport(options.html, response.get()) ? status : kUsageOrIoError;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "--help" || command == "-h") {
    std::fputs(kUsage, stdout);
    return kAllPlaced;
  }
  if (command == "--version") {
    std::printf("varbex %s\n", VARBEX_VERSION);
    return kAllPlaced;
  }
  if (command.empty()) return usageError("no command given");
  if (command == "render") return cli::renderCommand(argc, argv);
  if (command == "batch") return cli::batchCommand(argc, argv);
  if (command == "serve") return cli::serveCommand(argc, argv);
  if (command != "solve") return usageError("unknown command '" + command + "'");
  Options options;
  std::string error;
  if (!parseSolveArguments(argc, argv, options, error)) return usageError(error);
  return solve(options);
}
