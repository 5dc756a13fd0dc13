// varbex_bench: times varbex_solve over a workload of request files and reports the total, median
// and p90 time per request and the peak memory of the process. One workload per process, so that
// the peak memory belongs to that workload alone.
#include "varbex.h"

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#ifdef VARBEX_BENCH_STATS
namespace varbex {
// How often weight balancing has stopped at its deadline rather than at its fixed point.
std::uint64_t balancingDeadlineHits();
}  // namespace varbex
#endif

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr char kUsage[] =
    "usage: varbex_bench [options] PATH...\n"
    "\n"
    "Solves every request and prints one summary line for the workload. A PATH is a request\n"
    "file or a folder; in a folder every *.json file whose name does not start with '_' is a\n"
    "request, taken in name order.\n"
    "\n"
    "  --name NAME        workload name in the output (default: base name of the first PATH)\n"
    "  --min-time-ms T    repeat a request until its runs add up to T ms (default 30)\n"
    "  --max-runs N       but run it at most N times (default 5)\n"
    "  --runs N           run every request exactly N times\n"
    "  --responses DIR    write the response of each request's first run to DIR/NAME.json\n"
    "  --per-request      also print one line per request\n"
    "  --json             print JSON lines instead of text\n";

struct Options {
  std::string name;
  double minTimeSeconds = 0.030;
  int minRuns = 1;
  int maxRuns = 5;
  fs::path responses;
  bool perRequest = false;
  bool json = false;
  std::vector<fs::path> paths;
};

struct SolveRun {
  double seconds = 0;
  double cpuSeconds = 0;  // of the solving thread alone, so other processes' load counts little
  std::uint64_t deadlineHits = 0;
  std::string response;
};

struct RequestResult {
  std::string name;
  int runs = 0;
  double medianSeconds = 0;
  double slowestSeconds = 0;
  double medianCpuSeconds = 0;
  double slowestCpuSeconds = 0;
  std::uint64_t deadlineHits = 0;  // summed over the runs
  bool stable = true;              // every run answered the same bytes
  std::size_t responseBytes = 0;
};

double threadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

std::uint64_t deadlineHitsSoFar() {
#ifdef VARBEX_BENCH_STATS
  return varbex::balancingDeadlineHits();
#else
  return 0;
#endif
}

// Each solve gets a thread of its own: the library keeps a lookahead memo per thread, and a fresh
// one makes every run start cold, so a time does not depend on the requests solved before it.
SolveRun solveOnFreshThread(const std::string& request) {
  SolveRun run;
  std::thread worker([&request, &run] {
    // Read on the solving thread, in case the counter is kept per thread.
    const std::uint64_t hitsBefore = deadlineHitsSoFar();
    const double cpuStart = threadCpuSeconds();
    const Clock::time_point start = Clock::now();
    char* response = varbex_solve(request.c_str());
    const Clock::time_point stop = Clock::now();
    run.cpuSeconds = threadCpuSeconds() - cpuStart;
    run.deadlineHits = deadlineHitsSoFar() - hitsBefore;
    run.seconds = std::chrono::duration<double>(stop - start).count();
    if (response != nullptr) run.response = response;
    varbex_free(response);
  });
  worker.join();
  return run;
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// Nearest rank: the smallest value that at least 90% of the values do not exceed.
double p90(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto rank = static_cast<std::size_t>(std::ceil(0.9 * static_cast<double>(values.size())));
  return values[std::max<std::size_t>(rank, 1) - 1];
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::vector<fs::path> requestFiles(const std::vector<fs::path>& paths) {
  std::vector<fs::path> files;
  for (const fs::path& path : paths) {
    if (!fs::is_directory(path)) {
      if (!fs::exists(path)) throw std::runtime_error("no such file or folder: " + path.string());
      files.push_back(path);
      continue;
    }
    std::vector<fs::path> inFolder;
    for (const fs::directory_entry& entry : fs::directory_iterator(path)) {
      const std::string name = entry.path().filename().string();
      if (entry.is_regular_file() && entry.path().extension() == ".json" && name[0] != '_') {
        inFolder.push_back(entry.path());
      }
    }
    std::sort(inFolder.begin(), inFolder.end());
    files.insert(files.end(), inFolder.begin(), inFolder.end());
  }
  return files;
}

RequestResult solveRequest(const fs::path& file, const Options& options) {
  const std::string request = readFile(file);
  RequestResult result;
  result.name = file.stem().string();
  std::vector<double> times;
  std::vector<double> cpuTimes;
  std::string first;
  double spent = 0;
  while (result.runs < options.minRuns ||
         (result.runs < options.maxRuns && spent < options.minTimeSeconds)) {
    SolveRun run = solveOnFreshThread(request);
    ++result.runs;
    spent += run.seconds;
    times.push_back(run.seconds);
    cpuTimes.push_back(run.cpuSeconds);
    result.deadlineHits += run.deadlineHits;
    if (result.runs == 1) {
      first = std::move(run.response);
    } else if (run.response != first) {
      result.stable = false;
    }
  }
  result.medianSeconds = median(times);
  result.slowestSeconds = *std::max_element(times.begin(), times.end());
  result.medianCpuSeconds = median(cpuTimes);
  result.slowestCpuSeconds = *std::max_element(cpuTimes.begin(), cpuTimes.end());
  result.responseBytes = first.size();
  if (!options.responses.empty()) writeFile(options.responses / (result.name + ".json"), first);
  return result;
}

// JSON string quoting for names taken from file names.
std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

void printRequest(const RequestResult& r, const Options& options) {
  if (options.json) {
    std::printf(
        "{\"request\":%s,\"runs\":%d,\"median_s\":%.9f,\"max_s\":%.9f,\"median_cpu_s\":%.9f,"
        "\"max_cpu_s\":%.9f,\"deadline_hits\":%llu,\"stable\":%s,\"response_bytes\":%zu}\n",
        quoted(r.name).c_str(), r.runs, r.medianSeconds, r.slowestSeconds, r.medianCpuSeconds,
        r.slowestCpuSeconds,
        static_cast<unsigned long long>(r.deadlineHits), r.stable ? "true" : "false",
        r.responseBytes);
  } else {
    std::printf("  %-24s %10.3f ms  %d run(s)%s%s\n", r.name.c_str(), r.medianSeconds * 1e3,
                r.runs, r.deadlineHits > 0 ? "  deadline hit" : "",
                r.stable ? "" : "  RESPONSES DIFFER BETWEEN RUNS");
  }
  std::fflush(stdout);
}

// The peak resident memory of this process in KiB. Linux carries ru_maxrss over an exec, so a
// harness started by a large parent would report the parent's peak; VmHWM starts afresh.
long peakResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void printSummary(const std::vector<RequestResult>& results, const Options& options) {
  std::vector<double> times;
  double cpuTotal = 0;
  std::uint64_t hits = 0;
  int unstable = 0;
  for (const RequestResult& r : results) {
    times.push_back(r.medianSeconds);
    cpuTotal += r.medianCpuSeconds;
    hits += r.deadlineHits;
    unstable += r.stable ? 0 : 1;
  }
  double total = 0;
  for (const double t : times) total += t;
#ifdef VARBEX_BENCH_STATS
  const bool haveStats = true;
#else
  const bool haveStats = false;
#endif
  if (options.json) {
    std::printf(
        "{\"workload\":%s,\"requests\":%zu,\"total_s\":%.9f,\"median_s\":%.9f,\"p90_s\":%.9f,"
        "\"cpu_total_s\":%.9f,\"peak_rss_kib\":%ld,\"unstable\":%d,\"deadline_stats\":%s,\"deadline_hits\":%llu}\n",
        quoted(options.name).c_str(), results.size(), total, median(times), p90(times), cpuTotal,
        peakResidentKiB(), unstable, haveStats ? "true" : "false",
        static_cast<unsigned long long>(hits));
    return;
  }
  std::printf("%s: %zu requests, total %.3f ms, median %.3f ms, p90 %.3f ms, peak memory %.1f MiB",
              options.name.c_str(), results.size(), total * 1e3, median(times) * 1e3,
              p90(times) * 1e3, static_cast<double>(peakResidentKiB()) / 1024);
  if (haveStats) std::printf(", balancing deadline hits %llu", static_cast<unsigned long long>(hits));
  if (unstable > 0) std::printf(", %d request(s) answered differently between runs", unstable);
  std::printf("\n");
}

bool parsePositive(const char* text, double& value) {
  char* end = nullptr;
  value = std::strtod(text, &end);
  return end != text && *end == '\0' && value >= 0;
}

// Returns false with `error` set when an argument is not understood.
bool parseArguments(int argc, char** argv, Options& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool takesValue = arg == "--name" || arg == "--min-time-ms" || arg == "--max-runs" ||
                            arg == "--runs" || arg == "--responses";
    if (takesValue && i + 1 == argc) {
      error = arg + " needs a value";
      return false;
    }
    double number = 0;
    if (arg == "--name") {
      options.name = argv[++i];
    } else if (arg == "--responses") {
      options.responses = argv[++i];
    } else if (arg == "--per-request") {
      options.perRequest = true;
    } else if (arg == "--json") {
      options.json = true;
    } else if (takesValue) {
      if (!parsePositive(argv[++i], number)) {
        error = arg + " needs a number";
        return false;
      }
      if (arg == "--min-time-ms") options.minTimeSeconds = number / 1e3;
      if (arg == "--max-runs") options.maxRuns = std::max(1, static_cast<int>(number));
      if (arg == "--runs") {
        options.minRuns = options.maxRuns = std::max(1, static_cast<int>(number));
      }
    } else if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option '" + arg + "'";
      return false;
    } else {
      options.paths.emplace_back(arg);
    }
  }
  if (options.paths.empty()) {
    error = "no request file or folder given";
    return false;
  }
  if (options.name.empty()) {
    fs::path first = fs::absolute(options.paths.front()).lexically_normal();
    if (first.filename().empty()) first = first.parent_path();  // "folder/" names "folder"
    options.name = first.stem().string();
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string error;
  if (!parseArguments(argc, argv, options, error)) {
    std::fprintf(stderr, "varbex_bench: %s\n%s", error.c_str(), kUsage);
    return 1;
  }
  try {
    if (!options.responses.empty()) fs::create_directories(options.responses);
    const std::vector<fs::path> files = requestFiles(options.paths);
    if (files.empty()) throw std::runtime_error("no request files found");
    std::vector<RequestResult> results;
    for (const fs::path& file : files) {
      results.push_back(solveRequest(file, options));
      if (options.perRequest) printRequest(results.back(), options);
    }
    printSummary(results, options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "varbex_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
