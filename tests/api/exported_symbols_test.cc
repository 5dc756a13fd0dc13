// The shared library exports varbex_solve and varbex_free and nothing else of its own.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>

namespace {

struct Symbol {
  char type;
  std::string name;
};

// Runs `nm -D --defined-only` on the library; fails the test when nm cannot be run.
std::string dynamicSymbolTable(const std::string& library) {
  const std::string command = "nm -D --defined-only '" + library + "' 2>&1";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    ADD_FAILURE() << "cannot run: " << command;
    return "";
  }
  std::string output;
  char buffer[4096];
  size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, count);
  const int status = pclose(pipe);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command << " said:\n" << output;
  return output;
}

// Lines look like "000000000000a1b0 T varbex_solve"; a version tag may follow the name.
std::vector<Symbol> definedSymbols(const std::string& table) {
  std::vector<Symbol> symbols;
  std::istringstream lines(table);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string address, type, name;
    if (fields >> address >> type >> name && type.size() == 1) symbols.push_back({type[0], name});
  }
  return symbols;
}

// Code and data that a caller could bind to; absolute symbols (type A) only name version nodes.
bool isCodeOrData(char type) {
  return std::string("TDBRWVuiv").find(type) != std::string::npos;
}

// What the linker and the C runtime define in every shared object, or what carries a toolchain
// version tag such as @@GLIBC_2.2.5 or @GCC_3.0.
bool isToolchainSymbol(const std::string& name) {
  static const std::set<std::string> kLinkerSymbols = {
      "_init", "_fini", "__bss_start", "_edata", "_end", "__end__", "__data_start", "data_start"};
  const size_t at = name.find('@');
  if (at != std::string::npos) {
    const std::string tag = name.substr(name.find_first_not_of('@', at));
    if (tag.rfind("GLIBC", 0) == 0 || tag.rfind("GCC", 0) == 0 || tag.rfind("CXXABI", 0) == 0) {
      return true;
    }
  }
  return kLinkerSymbols.count(name) > 0;
}

std::string withoutVersionTag(const std::string& name) { return name.substr(0, name.find('@')); }

TEST(ExportedSymbolsTest, ExportsOnlySolveAndFree) {
  const std::string table = dynamicSymbolTable(VARBEX_SHARED_LIBRARY);
  std::set<std::string> exported;
  for (const Symbol& symbol : definedSymbols(table)) {
    if (isCodeOrData(symbol.type) && !isToolchainSymbol(symbol.name)) {
      exported.insert(withoutVersionTag(symbol.name));
    }
  }
  const std::set<std::string> expected = {"varbex_free", "varbex_solve"};
  EXPECT_EQ(exported, expected) << "nm -D --defined-only " << VARBEX_SHARED_LIBRARY << ":\n"
                                << table;
}

TEST(ExportedSymbolsTest, ExportsBothAsFunctions) {
  const std::string table = dynamicSymbolTable(VARBEX_SHARED_LIBRARY);
  std::set<std::string> functions;
  for (const Symbol& symbol : definedSymbols(table)) {
    if (symbol.type == 'T') functions.insert(withoutVersionTag(symbol.name));
  }
  EXPECT_EQ(functions.count("varbex_solve"), 1u) << table;
  EXPECT_EQ(functions.count("varbex_free"), 1u) << table;
}

}  // namespace
