#pragma once

#include <string>

namespace varbex::insights {

// A number for a sentence: the shortest text that reads back as the same double, as the response
// writes numbers, but without the ".0" of a whole number ("12", "0.25", "1e+20").
std::string numberText(double value);

// "w × l × d" of three numbers.
std::string sizeText(double width, double length, double depth);

}  // namespace varbex::insights
