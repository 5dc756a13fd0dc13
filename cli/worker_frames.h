#pragma once

// The frames a solving pool and its worker processes exchange over a Unix stream socket, in the
// byte order of the one machine both run on. A request: its length (8 bytes), then its text. A
// reply: the response's length, its placed, unplaced and error counts (8 bytes each), then its
// text.

#include <sys/socket.h>
#include <sys/types.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace cli {

struct ReplyHeader {
  std::uint64_t length = 0;
  std::int64_t placed = 0;
  std::int64_t unplaced = 0;
  std::int64_t errors = 0;
};

// The worker's exit status when it ran out of memory outside the library, under its limit.
constexpr int kWorkerOutOfMemory = 86;

// Descriptor on which a worker finds its socket.
constexpr int kWorkerSocket = 3;

// Writes all of `size` bytes; false once the other end is gone. Never raises SIGPIPE.
inline bool sendAll(int socket, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t sent = ::send(socket, bytes, size, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes += sent;
    size -= static_cast<size_t>(sent);
  }
  return true;
}

// Reads all of `size` bytes, blocking; false at the end of the stream or on an error.
inline bool receiveAll(int socket, void* data, size_t size) {
  char* bytes = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t got = ::recv(socket, bytes, size, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    bytes += got;
    size -= static_cast<size_t>(got);
  }
  return true;
}

}  // namespace cli
