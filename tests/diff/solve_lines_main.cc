// Solves one request per input line and prints, per request in input order, its index, what
// weight balancing's deadline did ("-" not reached; "D" reached 250 ms; "L" with --no-deadline,
// cut short even by the longer budget, so that the answer depends on speed; "R" stopped on
// returning to a state it had been in; "?" unknown), the milliseconds the solve took and a hash
// of the response (or the whole response with --full). The differential checks compare these
// outputs between settings, builds and standard libraries.
//
// usage: varbex_solve_lines [--plain] [--no-deadline] [--one-thread] [--jobs N] [--full]
//                           [--library PATH] [IN.jsonl]
//   --plain        every speed shortcut off
//   --no-deadline  weight balancing runs to its end, unless that takes over ten seconds
//   --one-thread   all requests one after another on one thread (the lookahead memo of the
//                  thread carries over); otherwise each request on a fresh thread
//   --jobs N       requests solved at once, each on its own fresh thread (default 1)
//   --library P    solve through varbex_solve of the shared library P (another build) instead
#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "api/solve.h"
#include "solver/balancing_stats.h"
#include "varbex.h"

namespace {

using SolveFunction = char* (*)(const char*);
using FreeFunction = void (*)(char*);

struct Options {
  bool plain = false;
  bool noDeadline = false;
  bool oneThread = false;
  bool full = false;
  unsigned jobs = 1;
  std::string library;
  std::string input = "-";
};

// This tree through its internal entry point with the chosen options, or another build's
// varbex_solve.
struct Engine {
  varbex::EngineOptions options;
  SolveFunction solve = nullptr;
  FreeFunction release = varbex_free;
  bool countsDeadline = true;
};

struct Answer {
  std::string text;  // the hash or the whole response
  char deadline = '?';
  long long milliseconds = 0;
};

std::uint64_t fnv1a(const char* text) {
  std::uint64_t h = 0xcbf29ce484222325ULL;
  for (const char* p = text; *p; ++p) {
    h ^= static_cast<unsigned char>(*p);
    h *= 0x100000001b3ULL;
  }
  return h;
}

Answer solveOne(const Engine& engine, const std::string& request, bool full, bool lifted) {
  const std::uint64_t hitsBefore = varbex::balancingDeadlineHitsOnThisThread();
  const std::uint64_t cutsBefore = varbex::balancingCutsOnThisThread();
  const std::uint64_t returnsBefore = varbex::balancingReturnsOnThisThread();
  const auto start = std::chrono::steady_clock::now();
  char* response = engine.solve ? engine.solve(request.c_str())
                                : varbex::solveWithOptions(request.c_str(), engine.options);
  Answer answer;
  answer.milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
  if (engine.countsDeadline) {
    const bool reached = varbex::balancingDeadlineHitsOnThisThread() != hitsBefore;
    const bool cut = varbex::balancingCutsOnThisThread() != cutsBefore;
    const bool returned = varbex::balancingReturnsOnThisThread() != returnsBefore;
    answer.deadline = cut && lifted ? 'L' : reached ? 'D' : returned ? 'R' : '-';
  }
  if (!response) {
    answer.text = "null";
  } else if (full) {
    answer.text = response;
  } else {
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(fnv1a(response)));
    answer.text = hex;
  }
  engine.release(response);
  return answer;
}

bool parse(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--plain") {
      options.plain = true;
    } else if (arg == "--no-deadline") {
      options.noDeadline = true;
    } else if (arg == "--one-thread") {
      options.oneThread = true;
    } else if (arg == "--full") {
      options.full = true;
    } else if (arg == "--jobs" && i + 1 < argc) {
      options.jobs = static_cast<unsigned>(std::stoul(argv[++i]));
      if (options.jobs == 0) options.jobs = 1;
    } else if (arg == "--library" && i + 1 < argc) {
      options.library = argv[++i];
    } else if (!arg.empty() && arg[0] != '-') {
      options.input = arg;
    } else {
      return false;
    }
  }
  return true;
}

bool loadLibrary(const std::string& path, Engine& engine) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    std::fprintf(stderr, "varbex_solve_lines: %s\n", dlerror());
    return false;
  }
  engine.solve = reinterpret_cast<SolveFunction>(dlsym(handle, "varbex_solve"));
  engine.release = reinterpret_cast<FreeFunction>(dlsym(handle, "varbex_free"));
  engine.countsDeadline = false;
  return engine.solve && engine.release;
}

std::vector<std::string> readLines(const std::string& input) {
  std::ifstream file;
  if (input != "-") file.open(input);
  std::istream& in = input == "-" ? std::cin : file;
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(std::move(line));
  return lines;
}

void print(std::size_t index, const Answer& answer) {
  std::printf("%zu %c %lld %s\n", index, answer.deadline, answer.milliseconds,
              answer.text.c_str());
}

// Answers are printed in input order as soon as all before them are in, so that a long run shows
// its progress and the request it waits for.
class OrderedPrinter {
 public:
  explicit OrderedPrinter(std::size_t count) : answers_(count), done_(count, false) {}

  void done(std::size_t index, Answer answer) {
    const std::lock_guard<std::mutex> lock(mutex_);
    answers_[index] = std::move(answer);
    done_[index] = true;
    for (; next_ < done_.size() && done_[next_]; ++next_) {
      print(next_, answers_[next_]);
      answers_[next_] = Answer{};
    }
    std::fflush(stdout);
  }

 private:
  std::mutex mutex_;
  std::vector<Answer> answers_;
  std::vector<bool> done_;
  std::size_t next_ = 0;
};

void solveAll(const Engine& engine, const std::vector<std::string>& requests,
              const Options& options) {
  OrderedPrinter printer(requests.size());
  if (options.oneThread) {
    for (std::size_t i = 0; i < requests.size(); ++i) {
      printer.done(i, solveOne(engine, requests[i], options.full, options.noDeadline));
    }
    return;
  }
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t i; (i = next++) < requests.size();) {
      // A fresh thread starts with an empty lookahead memo, so no answer depends on another.
      Answer answer;
      std::thread([&] {
        answer = solveOne(engine, requests[i], options.full, options.noDeadline);
      }).join();
      printer.done(i, std::move(answer));
    }
  };
  std::vector<std::thread> workers;
  for (unsigned j = 0; j < options.jobs; ++j) workers.emplace_back(work);
  for (std::thread& worker : workers) worker.join();
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parse(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: varbex_solve_lines [--plain] [--no-deadline] [--one-thread] [--jobs N] "
                 "[--full] [--library PATH] [IN.jsonl]\n");
    return 1;
  }
  Engine engine;
  if (options.plain) engine.options.shortcuts = varbex::Shortcuts::none();
  // Balancing that has not ended after ten seconds is, in practice, swinging items to and fro;
  // such requests are set aside by the checks ("L").
  if (options.noDeadline) engine.options.balancingBudget = std::chrono::seconds(10);
  if (!options.library.empty() && !loadLibrary(options.library, engine)) return 1;
  const std::vector<std::string> requests = readLines(options.input);
  solveAll(engine, requests, options);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
