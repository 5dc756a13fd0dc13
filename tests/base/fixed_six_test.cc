#include "base/fixed_six.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

namespace varbex {
namespace {

std::string printfFixed(double value) {
  char text[512];
  std::snprintf(text, sizeof text, "%f", value);
  return text;
}

double fromBits(std::uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// Values printf rounds at a tie, just beside one, across every exponent, and at the extremes.
std::vector<double> hardValues() {
  std::vector<double> values = {0.0, -0.0, INFINITY, -INFINITY, NAN, -NAN, DBL_MAX, -DBL_MAX,
                                DBL_MIN, DBL_TRUE_MIN, 0.5e-6, 1.5e-6, 2.5e-6, 999999.9999995,
                                0.0000005, -0.0000005, 9.9999995, 1e9, 2e9, 123456789.123456789};
  for (int i = -300; i <= 300; ++i) {
    values.push_back(std::ldexp(i, -7));   // seven decimals ending in 5: ties at the sixth
    values.push_back(std::ldexp(i, -20));
  }
  for (int e = -1074; e <= 1023; ++e) {
    const double power = std::ldexp(1.0, e);
    values.insert(values.end(), {power, std::nextafter(power, 0.0), -power * 3});
  }
  std::mt19937_64 random(18);
  for (int i = 0; i < 20000; ++i) {
    values.push_back(fromBits(random()));
    values.push_back(std::ldexp(static_cast<double>(random() % 100000000), -static_cast<int>(random() % 40)));
  }
  return values;
}

// The formatting is the C library's "%f" in the C locale, digit for digit.
TEST(FixedSixTest, WritesWhatPrintfWritesInTheCLocale) {
  for (const double value : hardValues()) {
    ASSERT_EQ(fixedSix(value), printfFixed(value)) << std::hexfloat << value;
  }
}

}  // namespace
}  // namespace varbex
