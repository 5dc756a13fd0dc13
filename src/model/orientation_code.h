#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <ostream>
#include <string>

namespace varbex {

// An orientation code such as "WLD": which of the item's own dimensions lies along x, y and z.
// Held inline (up to seven letters; longer text is cut) so that copying an oriented item, which
// the fillers do constantly, copies no string.
class OrientationCode {
 public:
  static constexpr std::size_t kMaxLetters = 7;

  OrientationCode() = default;
  // Implicit, so that codes can be written and compared as text.
  OrientationCode(const char* text) { assign(text, std::strlen(text)); }
  OrientationCode(const std::string& text) { assign(text.data(), text.size()); }

  std::size_t size() const { return size_; }
  const char* c_str() const { return letters_.data(); }
  std::string str() const { return std::string(letters_.data(), size_); }
  operator std::string() const { return str(); }

  char& operator[](std::size_t i) { return letters_[i]; }
  char operator[](std::size_t i) const { return letters_[i]; }

  friend bool operator==(const OrientationCode& a, const OrientationCode& b) {
    return a.size_ == b.size_ && std::memcmp(a.letters_.data(), b.letters_.data(), a.size_) == 0;
  }
  friend bool operator!=(const OrientationCode& a, const OrientationCode& b) { return !(a == b); }
  friend std::ostream& operator<<(std::ostream& out, const OrientationCode& code) {
    return out << code.c_str();
  }

 private:
  void assign(const char* text, std::size_t size) {
    size_ = size < kMaxLetters ? size : kMaxLetters;
    std::memcpy(letters_.data(), text, size_);
    letters_[size_] = '\0';
  }

  std::array<char, kMaxLetters + 1> letters_{};
  unsigned char size_ = 0;
};

}  // namespace varbex
