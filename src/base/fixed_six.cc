#include "base/fixed_six.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace varbex {
namespace {

constexpr int kDecimals = 6;
constexpr std::uint32_t kLimbBase = 1000000000;  // nine decimal digits a limb

// A non-negative integer in base 1e9, least significant limb first.
using Limbs = std::vector<std::uint32_t>;

void multiply(Limbs& number, std::uint32_t factor) {
  std::uint64_t carry = 0;
  for (std::uint32_t& limb : number) {
    const std::uint64_t product = std::uint64_t{limb} * factor + carry;
    limb = static_cast<std::uint32_t>(product % kLimbBase);
    carry = product / kLimbBase;
  }
  while (carry != 0) {
    number.push_back(static_cast<std::uint32_t>(carry % kLimbBase));
    carry /= kLimbBase;
  }
}

// number x base^count, in steps whose factor stays below 2^32.
void multiplyByPower(Limbs& number, std::uint32_t base, int count, std::uint32_t step,
                     int powersInStep) {
  for (; count >= powersInStep; count -= powersInStep) multiply(number, step);
  for (; count > 0; --count) multiply(number, base);
}

std::string decimalDigits(const Limbs& number) {
  std::string digits;
  for (std::uint32_t limb : number) {
    for (int i = 0; i < 9; ++i) {
      digits.push_back(static_cast<char>('0' + limb % 10));
      limb /= 10;
    }
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  return std::string(digits.rbegin(), digits.rend());
}

// Adds one to the last digit of a decimal string, carrying to the left.
void incrementLast(std::string& digits) {
  for (auto d = digits.rbegin(); d != digits.rend(); ++d) {
    if (*d != '9') {
      ++*d;
      return;
    }
    *d = '0';
  }
  digits.insert(digits.begin(), '1');
}

// The digits of round(|value| x 10^6), half to even, from the exact decimal expansion: a double is
// m x 2^e, and for e < 0 that is m x 5^-e / 10^-e, whose digits end after -e decimals.
std::string scaledDigits(double magnitude) {
  int exponent = 0;
  const double fraction = std::frexp(magnitude, &exponent);
  const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
  exponent -= 53;
  Limbs number{static_cast<std::uint32_t>(mantissa % kLimbBase),
               static_cast<std::uint32_t>(mantissa / kLimbBase)};
  if (exponent >= 0) {
    multiplyByPower(number, 2, exponent, std::uint32_t{1} << 31, 31);
    return decimalDigits(number) + std::string(kDecimals, '0');
  }
  const int places = -exponent;
  multiplyByPower(number, 5, places, 1220703125, 13);  // 5^13
  std::string digits = decimalDigits(number);
  if (digits.size() <= static_cast<std::size_t>(places)) {
    digits.insert(0, static_cast<std::size_t>(places) + 1 - digits.size(), '0');
  }
  if (places <= kDecimals) return digits + std::string(kDecimals - places, '0');
  const std::size_t kept = digits.size() - static_cast<std::size_t>(places - kDecimals);
  const char next = digits[kept];
  const bool restIsZero = digits.find_first_not_of('0', kept + 1) == std::string::npos;
  const bool lastIsOdd = (digits[kept - 1] - '0') % 2 == 1;
  digits.resize(kept);
  if (next > '5' || (next == '5' && (!restIsZero || lastIsOdd))) incrementLast(digits);
  return digits;
}

}  // namespace

std::string fixedSix(double value) {
  const std::string sign = std::signbit(value) ? "-" : "";
  if (std::isnan(value)) return sign + "nan";
  if (std::isinf(value)) return sign + "inf";
  const std::string digits =
      value == 0 ? std::string(kDecimals + 1, '0') : scaledDigits(std::fabs(value));
  // At least one whole digit, without leading zeros.
  const std::size_t wholeDigits = digits.size() - kDecimals;
  const std::size_t from = std::min(digits.find_first_not_of('0'), wholeDigits - 1);
  return sign + digits.substr(from, wholeDigits - from) + "." + digits.substr(wholeDigits);
}

}  // namespace varbex
