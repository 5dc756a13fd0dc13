#pragma once

#include <cstddef>
#include <exception>
#include <iterator>
#include <string>

#include <nlohmann/json.hpp>

namespace varbex {

// Empties a JSON value from the leaves up without allocating. The JSON library's own destructor
// first moves the children into a new array as wide as the widest container; once memory has run
// out, that allocation throws from inside a destructor and ends the caller's process. Here only
// the last child of a container is ever removed, and the way down is kept in `window`, reused
// round when the nesting is deeper than it; the way back up from beyond it is then found by
// walking again from the root, so a window as deep as the value keeps the teardown linear.
inline void dismantle(nlohmann::json& root, nlohmann::json** window, std::size_t size) noexcept {
  using nlohmann::json;
  std::size_t held = 0;  // ancestors of `current` in the window, the nearest at `next - 1`
  std::size_t next = 0;
  const auto holdsValues = [](const json& v) { return v.is_structured() && !v.empty(); };
  json* current = &root;
  while (true) {
    json* child = nullptr;
    if (current->is_array() && !current->empty()) {
      json::array_t& array = current->get_ref<json::array_t&>();
      if (!holdsValues(array.back())) {
        array.pop_back();
        continue;
      }
      child = &array.back();
    } else if (current->is_object() && !current->empty()) {
      json::object_t& object = current->get_ref<json::object_t&>();
      const auto last = std::prev(object.end());
      if (!holdsValues(last->second)) {
        object.erase(last);
        continue;
      }
      child = &last->second;
    }
    if (child != nullptr) {
      window[next] = current;
      next = next + 1 == size ? 0 : next + 1;
      held = held < size ? held + 1 : size;
      current = child;
    } else if (current == &root) {
      return;
    } else if (held > 0) {
      next = next == 0 ? size - 1 : next - 1;
      --held;
      current = window[next];
    } else {
      current = &root;
    }
  }
}

// For values of little depth, such as the ones the library builds itself.
inline void dismantle(nlohmann::json& root) noexcept {
  constexpr std::size_t kWindow = 4096;
  nlohmann::json* window[kWindow];
  dismantle(root, window, kWindow);
}

// The deepest nesting of arrays and objects in a JSON text, or more when the text is not JSON:
// brackets inside strings are skipped as the parser skips them, so up to the first fault, where a
// parser stops, the count is exact. Sizes the window for the teardown of what the parse builds.
inline std::size_t deepestNesting(const std::string& text) noexcept {
  std::size_t depth = 0;
  std::size_t deepest = 0;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      deepest = ++depth > deepest ? depth : deepest;
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return deepest;
}

// Dismantles a value when its scope is left by an exception, before the value's destructor runs;
// declare it right after the value.
class DismantleOnThrow {
 public:
  explicit DismantleOnThrow(nlohmann::json& value) noexcept : value_(value) {}
  DismantleOnThrow(const DismantleOnThrow&) = delete;
  DismantleOnThrow& operator=(const DismantleOnThrow&) = delete;
  ~DismantleOnThrow() {
    if (std::uncaught_exceptions() > exceptions_) dismantle(value_);
  }

 private:
  nlohmann::json& value_;
  int exceptions_ = std::uncaught_exceptions();
};

}  // namespace varbex
