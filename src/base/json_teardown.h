#pragma once

#include <exception>
#include <iterator>

#include <nlohmann/json.hpp>

namespace varbex {

// Empties a JSON value from the leaves up without allocating. The JSON library's own destructor
// first moves the children into a new array as wide as the widest container; once memory has run
// out, that allocation throws from inside a destructor and ends the caller's process. Here only
// the last child of a container is ever removed, and the way down is kept in a fixed window
// (walked again from the root when the nesting is deeper than the window).
inline void dismantle(nlohmann::json& root) noexcept {
  using nlohmann::json;
  constexpr std::size_t kWindow = 4096;
  json* above[kWindow];
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
      above[next] = current;
      next = (next + 1) % kWindow;
      held = held < kWindow ? held + 1 : kWindow;
      current = child;
    } else if (current == &root) {
      return;
    } else if (held > 0) {
      next = (next + kWindow - 1) % kWindow;
      --held;
      current = above[next];
    } else {
      current = &root;
    }
  }
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
