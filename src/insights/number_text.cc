#include "insights/number_text.h"

#include <array>
#include <cmath>

#include <nlohmann/json.hpp>

namespace varbex::insights {

std::string numberText(double value) {
  if (std::isnan(value)) return "not a number";
  if (std::isinf(value)) return value > 0 ? "infinity" : "-infinity";
  std::array<char, 64> digits;
  char* end = nlohmann::detail::to_chars(digits.data(), digits.data() + digits.size(), value);
  std::string text(digits.data(), static_cast<std::size_t>(end - digits.data()));
  if (text.size() > 2 && text.compare(text.size() - 2, 2, ".0") == 0) text.resize(text.size() - 2);
  return text;
}

std::string sizeText(double width, double length, double depth) {
  return numberText(width) + " \u00d7 " + numberText(length) + " \u00d7 " + numberText(depth);
}

}  // namespace varbex::insights
