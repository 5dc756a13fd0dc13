#pragma once

#include <string>

namespace varbex {

// The text printf's "%f" gives for `value` in the C locale: exact, rounded half to even at the
// sixth decimal, "-" on every negative sign (also -0 and NaN), and "inf"/"nan" for the rest.
// Made here, so that no C library and no locale a host process sets can change it.
std::string fixedSix(double value);

}  // namespace varbex
