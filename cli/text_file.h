#pragma once

#include <string>

// Whole-file reads and writes for the tool's commands; "-" names standard input or output.
namespace cli {

// Reads all of `path`. On failure returns false with `error` naming the file and the reason.
bool readTextFile(const std::string& path, std::string& text, std::string& error);

// Replaces the contents of `path` with `text`. On failure returns false with `error` set.
bool writeTextFile(const std::string& path, const std::string& text, std::string& error);

// "standard input", "standard output" or the quoted path, for messages.
std::string displayName(const std::string& path, bool output);

}  // namespace cli
