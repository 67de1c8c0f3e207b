#pragma once

#include <string>

namespace qv::text {

// A number with one decimal and a point whatever the locale: a Qt program
// takes the desktop's, which may write a comma.
std::string oneDecimal(double value);

}  // namespace qv::text
