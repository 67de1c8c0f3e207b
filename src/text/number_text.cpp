#include "text/number_text.h"

#include <charconv>

namespace qv::text {

std::string oneDecimal(double value)
{
    char buffer[64];
    return {buffer, std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1).ptr};
}

std::string clippingText(double darkPercent, double lightPercent)
{
    return "C:" + oneDecimal(darkPercent) + "% \xC5\x9A:" + oneDecimal(lightPercent) + "%";
}

}  // namespace qv::text
