#include "solve_worker.h"

#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "batch_solver.h"
#include "worker_frames.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VARBEX_WORKER_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define VARBEX_WORKER_SANITIZED 1
#endif
#endif
#ifndef VARBEX_WORKER_SANITIZED
#define VARBEX_WORKER_SANITIZED 0
#endif

namespace cli {
namespace {

size_t addressSpaceInUse() {
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr) return 0;
  unsigned long pages = 0;
  const int read = std::fscanf(statm, "%lu", &pages);
  std::fclose(statm);
  return read == 1 ? pages * static_cast<size_t>(sysconf(_SC_PAGESIZE)) : 0;
}

// Caps the address space at what the idle worker holds plus `mib`, so that a solve's allocations
// fail beyond it and the library answers with its out-of-memory envelope. Sanitizers reserve
// terabytes of address space up front, so their builds run without the cap.
bool limitMemory(size_t mib) {
  if (mib == 0 || VARBEX_WORKER_SANITIZED) return true;
  const size_t inUse = addressSpaceInUse();
  if (inUse == 0) return false;
  const rlim_t cap = static_cast<rlim_t>(inUse + (mib << 20));
  const rlimit limit{cap, cap};
  return setrlimit(RLIMIT_AS, &limit) == 0;
}

// One request in, one reply out; false once the pool has closed the socket.
bool answerOne() {
  std::uint64_t length = 0;
  if (!receiveAll(kWorkerSocket, &length, sizeof length)) return false;
  std::string request(length, '\0');
  if (!receiveAll(kWorkerSocket, &request[0], request.size())) return false;
  Solved solved = solveOne(request);
  std::string().swap(request);
  ReplyHeader header;
  header.length = solved.response.size();
  header.placed = solved.tally.placed;
  header.unplaced = solved.tally.unplaced;
  header.errors = solved.tally.errors;
  return sendAll(kWorkerSocket, &header, sizeof header) &&
         sendAll(kWorkerSocket, solved.response.data(), solved.response.size());
}

}  // namespace

int solveWorkerCommand(int argc, char** argv) {
  // A pool that dies without closing the socket, killed say, takes its workers with it.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  unsigned long long mib = 0;
  if (argc == 4 && std::string(argv[2]) == "--memory-mib") {
    mib = std::strtoull(argv[3], nullptr, 10);
  }
  if (!limitMemory(static_cast<size_t>(mib))) {
    std::fprintf(stderr, "varbex solve-worker: cannot limit its memory\n");
    return 1;
  }
  try {
    while (answerOne()) {
    }
  } catch (const std::bad_alloc&) {
    // Out of memory around the library call, reading the request or counting the response.
    return kWorkerOutOfMemory;
  }
  return 0;
}

}  // namespace cli
