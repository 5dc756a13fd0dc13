#include "orient/shape_key.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <random>
#include <string>

#include <gtest/gtest.h>

namespace varbex {
namespace {

std::string printed(double x) {
  char text[512];
  std::snprintf(text, sizeof text, "%f", x);
  return text;
}

// The numeric form written back as "%f" would write it.
std::string fromMicros(const Micros& m) {
  char text[64];
  std::snprintf(text, sizeof text, "%s%lld.%06lld", m.negative ? "-" : "",
                static_cast<long long>(m.count / 1000000), static_cast<long long>(m.count % 1000000));
  return text;
}

void expectSameAsPrintf(double x) {
  const std::optional<Micros> micros = roundedMicros(x);
  if (!micros) {
    // Refused only when the text reaches 1e9 or the value is not a number.
    EXPECT_TRUE(std::isnan(x) || std::fabs(x) >= 999999999.9999995) << printed(x);
    return;
  }
  EXPECT_EQ(fromMicros(*micros), printed(x)) << "x = " << x;
}

TEST(ShapeKeyTest, RoundsHalvesOfTheLastDigitToEvenAsPrintfDoes) {
  // Dyadic fractions with seven decimals are exact halves of the sixth: 0.0078125 is 2^-7.
  for (int k = 7; k <= 30; ++k) {
    for (int m = 1; m < 200; ++m) {
      const double x = std::ldexp(static_cast<double>(m), -k);
      SCOPED_TRACE(x);
      expectSameAsPrintf(x);
      expectSameAsPrintf(-x);
      expectSameAsPrintf(std::nextafter(x, 0));
      expectSameAsPrintf(std::nextafter(x, 1));
    }
  }
}

TEST(ShapeKeyTest, AgreesWithPrintfNearEveryHalfOverTheWholeRange) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> unit(0, 1);
  for (int i = 0; i < 50000; ++i) {
    const double x = unit(random) * std::pow(10.0, unit(random) * 18.4 - 9);
    const double half = (std::floor(x * 1e6) + 0.5) / 1e6;
    expectSameAsPrintf(x);
    expectSameAsPrintf(half);
    expectSameAsPrintf(std::nextafter(half, 0));
    expectSameAsPrintf(std::nextafter(half, 2e9));
  }
}

TEST(ShapeKeyTest, KeepsTheSignOfValuesThatRoundToZero) {
  // "%f" writes -0.000000 for them, which differs from 0.000000.
  EXPECT_EQ(roundedMicros(-0.0)->negative, true);
  EXPECT_EQ(roundedMicros(-1e-9)->count, 0);
  EXPECT_FALSE(*roundedMicros(-1e-9) == *roundedMicros(1e-9));
}

TEST(ShapeKeyTest, ValuesRoundingToOneBillionTakeTheTextForm) {
  // 999999999.9999996 prints as 1000000000.000000, the text of 1e9 itself: both must be refused,
  // or the two would land under different keys despite equal texts.
  EXPECT_FALSE(roundedMicros(999999999.9999996).has_value());
  EXPECT_FALSE(roundedMicros(1e9).has_value());
  EXPECT_FALSE(roundedMicros(std::nan("")).has_value());
  EXPECT_TRUE(roundedMicros(999999999.999999).has_value());
}

TEST(ShapeKeyTest, EqualKeysExactlyWhenTheTextsAreEqual) {
  const auto box = std::make_shared<ConcreteBox>("B", 100, 80, 60, -1, 0, true);
  const auto item = [](double w, double l, double d) {
    return std::make_shared<ConcreteItem>("I", "I", w, l, d, 1, RotationPolicy::BestFit);
  };
  EXPECT_EQ(shapeKeyText(*item(10, 20, 5), *box),
            "10.000000|20.000000|5.000000|2|100.000000|80.000000|60.000000");
  const double pairs[][2] = {{10, 10.0000001}, {10, 10.000001}, {0.0000005, 0.000001},
                             {0.0000015, 0.000002}, {-0.0, 0.0}, {2.5e-7, 0}};
  for (const auto& pair : pairs) {
    SCOPED_TRACE(pair[1]);
    const bool textsEqual =
        shapeKeyText(*item(pair[0], 1, 1), *box) == shapeKeyText(*item(pair[1], 1, 1), *box);
    EXPECT_EQ(*shapeKeyOf(*item(pair[0], 1, 1), *box) == *shapeKeyOf(*item(pair[1], 1, 1), *box),
              textsEqual);
  }
}

}  // namespace
}  // namespace varbex
