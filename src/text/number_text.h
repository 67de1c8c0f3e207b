#pragma once

#include <string>

namespace qv::text {

// A number with one decimal and a point whatever the locale: a Qt program
// takes the desktop's, which may write a comma.
std::string oneDecimal(double value);

// The status bar's clipping figures, the shares of the darkest and the
// brightest bin in percent: "C:%.1f%% Ś:%.1f%%" (UTF-8).
std::string clippingText(double darkPercent, double lightPercent);

}  // namespace qv::text
