#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace varbex {

// Writes compact JSON text straight into a string, byte for byte as nlohmann::json's dump() writes
// the same values: numbers through its shortest round-trip formatting ("null" when not finite),
// strings escaped as it escapes them with UTF-8 kept as is. Building a json value first and then
// dumping it cost more than the solve of a small request. The caller writes object members in the
// order dump() would: sorted by key.
class JsonWriter {
 public:
  explicit JsonWriter(std::string& out) : out_(out) {}

  void beginObject() { open('{'); }
  void endObject() { close('}'); }
  void beginArray() { open('['); }
  void endArray() { close(']'); }

  // The next member's key; its value follows.
  void key(std::string_view name);

  void value(double number);
  void value(std::uint64_t number);
  void value(std::int64_t number);
  void value(std::int32_t number) { value(static_cast<std::int64_t>(number)); }
  void value(bool flag);
  void value(std::string_view text);
  void value(const std::string& text) { value(std::string_view(text)); }
  void value(const char* text) { value(std::string_view(text)); }
  void null();
  // A value already written as JSON text by a writer like this one.
  void raw(std::string_view json);

 private:
  static constexpr std::size_t kMaxDepth = 16;

  void open(char bracket);
  void close(char bracket);
  // A comma before every element of a container but the first; nothing after a key.
  void separate();
  void escaped(std::string_view text);

  std::string& out_;
  std::array<bool, kMaxDepth> hasElement_{};
  std::size_t depth_ = 0;
  bool afterKey_ = false;
};

}  // namespace varbex
