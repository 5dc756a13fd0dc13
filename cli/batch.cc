#include "batch.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "batch_solver.h"
#include "exit_status.h"
#include "json_lines.h"
#include "progress_bar.h"
#include "text_file.h"

namespace cli {
namespace {

constexpr char kBatchUsage[] = "usage: varbex batch [IN.jsonl|-] [-o OUT.jsonl] [--jobs N]";
constexpr auto kProgressTick = std::chrono::milliseconds(100);

struct BatchOptions {
  std::string input = "-";
  std::string output = "-";
  unsigned jobs = 0;  // 0: one per core
};

int failWith(const std::string& message) {
  std::fprintf(stderr, "varbex: %s\n", message.c_str());
  return kUsageOrIoError;
}

bool parseJobs(const std::string& text, unsigned& jobs) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 4) {
    return false;
  }
  jobs = static_cast<unsigned>(std::stoul(text));
  return jobs > 0;
}

// Returns false with `error` set when the arguments after "batch" are not understood.
bool parseBatchArguments(int argc, char** argv, BatchOptions& options, std::string& error) {
  bool haveInput = false;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool takesValue = arg == "-o" || arg == "--output" || arg == "-j" || arg == "--jobs";
    if (takesValue && i + 1 >= argc) {
      error = "option '" + arg + "' needs a value";
      return false;
    }
    if (arg == "-o" || arg == "--output") {
      options.output = argv[++i];
    } else if (arg == "-j" || arg == "--jobs") {
      if (!parseJobs(argv[++i], options.jobs)) {
        error = "--jobs needs a whole number from 1 to 9999, not '" + std::string(argv[i]) + "'";
        return false;
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option '" + arg + "'";
      return false;
    } else if (haveInput) {
      error = "more than one input file given";
      return false;
    } else {
      options.input = arg;
      haveInput = true;
    }
  }
  return true;
}

unsigned threadCount(unsigned jobs) {
  if (jobs > 0) return jobs;
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 0 ? cores : 1;
}

bool writeLine(std::FILE* stream, const std::string& line) {
  return std::fwrite(line.data(), 1, line.size(), stream) == line.size() &&
         std::fputc('\n', stream) != EOF;
}

// Writes the responses in input order as they come in; returns false when the output fails.
bool writeInOrder(BatchSolver& solver, std::FILE* out, ProgressBar& progress, Tally& total) {
  for (size_t index = 0; index < solver.size(); ++index) {
    std::optional<Solved> solved;
    while (!(solved = solver.take(index, kProgressTick))) progress.update(solver.solvedCount());
    if (!writeLine(out, solved->response)) return false;
    total += solved->tally;
    progress.update(solver.solvedCount());
  }
  return std::fflush(out) == 0;
}

void printSummary(size_t requests, const Tally& total, double seconds) {
  std::fprintf(stderr,
               "varbex batch: %zu requests, %lld items placed, %lld unplaced, %lld errors, "
               "%.2f s\n",
               requests, total.placed, total.unplaced, total.errors, seconds);
}

int statusOf(const Tally& total) {
  if (total.errors > 0) return kRequestRejected;
  return total.unplaced > 0 ? kItemsUnplaced : kAllPlaced;
}

std::FILE* openOutput(const std::string& path) {
  return path == "-" ? stdout : std::fopen(path.c_str(), "wb");
}

std::string writeError(const std::string& path, int errorNumber) {
  return "cannot write " + displayName(path, true) + ": " + std::strerror(errorNumber);
}

bool readLines(const std::string& path, std::vector<std::string>& lines, std::string& error) {
  std::string text;
  if (!readTextFile(path, text, error)) return false;
  lines = splitLines(text);
  return true;
}

// Responses printed on the terminal would tear the bar apart, so it shows only when they go elsewhere.
bool progressWanted(const std::string& output) {
  return output != "-" || isatty(STDOUT_FILENO) != 1;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct BatchResult {
  Tally total;
  bool written = false;
  int writeErrno = 0;  // why writing failed, when it did
};

BatchResult solveAndWrite(std::vector<std::string> lines, unsigned jobs, std::FILE* out,
                          bool showProgress) {
  ProgressBar progress(stderr, lines.size(), showProgress);
  BatchSolver solver(std::move(lines), jobs);
  BatchResult result;
  result.written = writeInOrder(solver, out, progress, result.total);
  result.writeErrno = errno;
  progress.finish();
  return result;
}

int runBatch(const BatchOptions& options) {
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::string> lines;
  std::string error;
  if (!readLines(options.input, lines, error)) return failWith(error);
  std::FILE* out = openOutput(options.output);
  if (out == nullptr) return failWith(writeError(options.output, errno));
  const size_t count = lines.size();
  const BatchResult result = solveAndWrite(std::move(lines), threadCount(options.jobs), out,
                                           progressWanted(options.output));
  const bool closed = out == stdout || std::fclose(out) == 0;
  if (!result.written || !closed) {
    return failWith(writeError(options.output, result.written ? errno : result.writeErrno));
  }
  printSummary(count, result.total, secondsSince(start));
  return statusOf(result.total);
}

}  // namespace

int batchCommand(int argc, char** argv) {
  BatchOptions options;
  std::string error;
  if (!parseBatchArguments(argc, argv, options, error)) {
    return failWith(error + "\n" + kBatchUsage);
  }
  return runBatch(options);
}

}  // namespace cli
