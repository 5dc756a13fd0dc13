// The exported C boundary: copies the request, solves it inside one guard, and hands back one
// malloc block. No exception crosses this file.
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "api/request_reader.h"
#include "api/response_writer.h"
#include "api/solve.h"
#include "base/json_teardown.h"
#include "solver/solver.h"
#include "varbex.h"

namespace varbex {
namespace {

using nlohmann::json;

char* copyToBlock(const char* text, std::size_t size) noexcept {
  char* block = static_cast<char*>(std::malloc(size + 1));
  if (block != nullptr) std::memcpy(block, text, size + 1);
  return block;
}

char* copyToBlock(const std::string& text) noexcept {
  return copyToBlock(text.c_str(), text.size());
}

// Builds the parsed value into a variable of the caller's from the parser's events, keeping the
// open arrays and objects on a list of its own. Duplicate keys keep the last value, as json::parse
// does; errors are thrown as the parser reports them.
class ValueBuilder {
 public:
  explicit ValueBuilder(json& root) : root_(root) {}

  bool null() { return add(nullptr); }
  bool boolean(bool value) { return add(value); }
  bool number_integer(json::number_integer_t value) { return add(value); }
  bool number_unsigned(json::number_unsigned_t value) { return add(value); }
  bool number_float(json::number_float_t value, const json::string_t&) { return add(value); }
  bool string(json::string_t& value) { return add(std::move(value)); }
  bool binary(json::binary_t& value) { return add(json::binary(std::move(value))); }
  bool start_object(std::size_t) { return open(json::value_t::object); }
  bool start_array(std::size_t) { return open(json::value_t::array); }
  bool end_object() { return close(); }
  bool end_array() { return close(); }
  bool key(json::string_t& name) {
    slot_ = &(*open_.back())[name];
    return true;
  }
  template <typename Error>
  bool parse_error(std::size_t, const std::string&, const Error& error) {
    throw error;
  }

 private:
  // Where the next value goes: the root, the end of the open array, or the slot of the last key.
  template <typename Value>
  json* place(Value&& value) {
    if (open_.empty()) {
      root_ = json(std::forward<Value>(value));
      return &root_;
    }
    json& container = *open_.back();
    if (container.is_array()) {
      container.emplace_back(std::forward<Value>(value));
      return &container.back();
    }
    *slot_ = json(std::forward<Value>(value));
    return slot_;
  }
  template <typename Value>
  bool add(Value&& value) {
    place(std::forward<Value>(value));
    return true;
  }
  bool open(json::value_t type) {
    open_.push_back(place(type));
    return true;
  }
  bool close() {
    open_.pop_back();
    return true;
  }

  json& root_;
  std::vector<json*> open_;
  json* slot_ = nullptr;
};

// The request text read into a PackingRequest. The parsed value is built in a variable of ours,
// not inside json::parse, so that it can be dismantled on every way out; the teardown's window is
// taken before parsing, as deep as the text can nest, so that running out of memory for it is an
// ordinary failure and the teardown stays linear however deep the value.
PackingRequest readText(const std::string& text) {
  std::vector<json*> window(deepestNesting(text) + 1);
  json value;
  try {
    ValueBuilder builder(value);
    json::sax_parse(text, &builder);
    PackingRequest request = readRequest(value);
    dismantle(value, window.data(), window.size());
    return request;
  } catch (...) {
    dismantle(value, window.data(), window.size());
    throw;
  }
}

std::string solveText(const char* request, const EngineOptions& options) {
  std::string text(request);
  PackingRequest parsed = readText(text);
  text.clear();
  const PackingOutcome outcome = Solver(options).solve(parsed.items, parsed.boxes);
  return responseText(outcome);
}

// A parse error quotes the input, which may not be valid UTF-8; then the strict dump throws and
// the envelope is written again with such bytes replaced by U+FFFD.
char* envelopeBlock(const char* message) noexcept {
  try {
    json envelope;
    const DismantleOnThrow guard(envelope);
    envelope["success"] = false;
    envelope["error"] = message;
    std::string text;
    try {
      text = envelope.dump(-1, ' ', false, json::error_handler_t::strict);
    } catch (const json::type_error&) {
      text = envelope.dump(-1, ' ', false, json::error_handler_t::replace);
    }
    return copyToBlock(text);
  } catch (...) {
    // Out of memory while building the envelope: a fixed text needs no allocation but the block.
    static const char kOutOfMemory[] = R"({"error":"std::bad_alloc","success":false})";
    return copyToBlock(kOutOfMemory, sizeof kOutOfMemory - 1);
  }
}

}  // namespace

char* solveWithOptions(const char* request, const EngineOptions& options) noexcept {
  try {
    return copyToBlock(solveText(request ? request : "{}", options));
  } catch (const std::exception& e) {
    return envelopeBlock(e.what());
  } catch (...) {
    return envelopeBlock("unknown failure");
  }
}

}  // namespace varbex

extern "C" VARBEX_API char* varbex_solve(const char* request) {
  // Every shortcut and the 250 ms balancing budget.
  static const varbex::EngineOptions kDefaults;
  return varbex::solveWithOptions(request, kDefaults);
}

extern "C" VARBEX_API void varbex_free(char* response) { std::free(response); }
