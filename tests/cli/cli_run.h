#pragma once

// Runs the command-line tool as a child process for the tests of its commands. VARBEX_CLI, the
// path of the built tool, comes in as a compile definition.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace cli_test {

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

inline std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// ctest runs the cases as parallel processes, so every path names its case and process.
inline std::string scratchPath(const std::string& suffix) {
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  return testing::TempDir() + "varbex_" + info->test_suite_name() + "_" + info->name() + "_" +
         std::to_string(getpid()) + suffix;
}

inline void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline std::string readFile(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

// Runs the tool with `arguments` (quoted by the caller) and `input` on standard input.
inline CliRun runCli(const std::string& arguments, const std::string& input = "") {
  const std::string in = scratchPath(".in");
  const std::string out = scratchPath(".out");
  const std::string err = scratchPath(".err");
  writeFile(in, input);
  const std::string command = shellQuoted(VARBEX_CLI) + " " + arguments + " <" + shellQuoted(in) +
                              " >" + shellQuoted(out) + " 2>" + shellQuoted(err);
  const int raw = std::system(command.c_str());
  CliRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(out), readFile(err)};
  std::remove(in.c_str());
  std::remove(out.c_str());
  std::remove(err.c_str());
  return run;
}

}  // namespace cli_test
