#include "text_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace cli {
namespace {

bool readAll(std::FILE* stream, std::string& text) {
  char buffer[65536];
  size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, stream)) > 0) text.append(buffer, count);
  return !std::ferror(stream);
}

}  // namespace

std::string displayName(const std::string& path, bool output) {
  if (path == "-") return output ? "standard output" : "standard input";
  return "'" + path + "'";
}

bool readTextFile(const std::string& path, std::string& text, std::string& error) {
  const bool useStdin = path == "-";
  std::FILE* stream = useStdin ? stdin : std::fopen(path.c_str(), "rb");
  const bool ok = stream != nullptr && readAll(stream, text);
  const int savedErrno = errno;
  if (stream != nullptr && !useStdin) std::fclose(stream);
  if (!ok) error = "cannot read " + displayName(path, false) + ": " + std::strerror(savedErrno);
  return ok;
}

bool writeTextFile(const std::string& path, const std::string& text, std::string& error) {
  const bool useStdout = path == "-";
  std::FILE* stream = useStdout ? stdout : std::fopen(path.c_str(), "wb");
  bool ok = stream != nullptr && std::fwrite(text.data(), 1, text.size(), stream) == text.size();
  ok = stream != nullptr && std::fflush(stream) == 0 && ok;
  int savedErrno = errno;
  if (stream != nullptr && !useStdout && std::fclose(stream) != 0 && ok) {
    ok = false;
    savedErrno = errno;
  }
  if (!ok) error = "cannot write " + displayName(path, true) + ": " + std::strerror(savedErrno);
  return ok;
}

}  // namespace cli
