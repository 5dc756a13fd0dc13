#include "api/json_writer.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

#include <nlohmann/json.hpp>

namespace varbex {
namespace {

// The length of the UTF-8 sequence that starts at text[i], or 0 when it is not well formed (the
// same rules as the decoder of nlohmann::json: no overlong forms, no surrogates, at most
// U+10FFFF).
std::size_t sequenceLength(std::string_view text, std::size_t i) {
  const auto byte = [&text](std::size_t at) { return static_cast<unsigned char>(text[at]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

void JsonWriter::open(char bracket) {
  separate();
  out_.push_back(bracket);
  if (depth_ + 1 >= kMaxDepth) throw std::length_error("JSON nested too deeply to write");
  hasElement_[++depth_] = false;
}

void JsonWriter::close(char bracket) {
  out_.push_back(bracket);
  --depth_;
}

void JsonWriter::separate() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (depth_ == 0) return;
  if (hasElement_[depth_]) out_.push_back(',');
  hasElement_[depth_] = true;
}

void JsonWriter::key(std::string_view name) {
  separate();
  escaped(name);
  out_.push_back(':');
  afterKey_ = true;
}

void JsonWriter::value(double number) {
  separate();
  if (!std::isfinite(number)) {
    out_.append("null");
    return;
  }
  std::array<char, 64> digits;
  char* end = nlohmann::detail::to_chars(digits.data(), digits.data() + digits.size(), number);
  out_.append(digits.data(), static_cast<std::size_t>(end - digits.data()));
}

void JsonWriter::value(std::uint64_t number) {
  separate();
  std::array<char, 24> digits;
  const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), number);
  out_.append(digits.data(), static_cast<std::size_t>(result.ptr - digits.data()));
}

void JsonWriter::value(std::int64_t number) {
  separate();
  std::array<char, 24> digits;
  const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), number);
  out_.append(digits.data(), static_cast<std::size_t>(result.ptr - digits.data()));
}

void JsonWriter::value(bool flag) {
  separate();
  out_.append(flag ? "true" : "false");
}

void JsonWriter::value(std::string_view text) {
  separate();
  escaped(text);
}

void JsonWriter::raw(std::string_view json) {
  separate();
  out_.append(json);
}

void JsonWriter::null() {
  separate();
  out_.append("null");
}

void JsonWriter::escaped(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out_.push_back('"');
  for (std::size_t i = 0; i < text.size();) {
    // Most text needs no escaping: it goes in runs.
    std::size_t plain = i;
    while (plain < text.size()) {
      const auto c = static_cast<unsigned char>(text[plain]);
      if (c < 0x20 || c == '"' || c == '\\' || c >= 0x80) break;
      ++plain;
    }
    out_.append(text.data() + i, plain - i);
    i = plain;
    if (i == text.size()) break;
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      // dump() with its strict handler refuses text that is not UTF-8; so does this.
      const std::size_t length = sequenceLength(text, i);
      if (length == 0) throw std::invalid_argument("a response text is not valid UTF-8");
      out_.append(text.data() + i, length);
      i += length;
      continue;
    }
    switch (c) {
      case 0x08: out_.append("\\b"); break;
      case 0x09: out_.append("\\t"); break;
      case 0x0A: out_.append("\\n"); break;
      case 0x0C: out_.append("\\f"); break;
      case 0x0D: out_.append("\\r"); break;
      case 0x22: out_.append("\\\""); break;
      case 0x5C: out_.append("\\\\"); break;
      default:
        if (c <= 0x1F) {
          const char code[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
          out_.append(code, sizeof code);
        } else {
          out_.push_back(static_cast<char>(c));
        }
    }
    ++i;
  }
  out_.push_back('"');
}

}  // namespace varbex
