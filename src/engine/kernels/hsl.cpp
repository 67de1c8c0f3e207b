#include "engine/kernels/hsl.h"

#include <algorithm>

namespace qv {

Hsl rgbToHsl(const Rgb& c)
{
    const double hi = std::max({c.red, c.green, c.blue});
    const double lo = std::min({c.red, c.green, c.blue});
    const double l = (hi + lo) / 2;
    if (hi == lo)
        return {0.0, 0.0, l};

    const double d = hi - lo;
    const double s = l <= 0.5 ? d / (hi + lo) : d / (2 - hi - lo);
    double h;
    if (hi == c.red)
        h = 60 * ((c.green - c.blue) / d);
    else if (hi == c.green)
        h = 60 * ((c.blue - c.red) / d + 2);
    else
        h = 60 * ((c.red - c.green) / d + 4);
    if (h < 0)
        h += 360;
    return {h, s, l};
}

namespace {

// One channel of the conversion back, t being the channel's hue in turns.
double hueToChannel(double p, double q, double t)
{
    if (t < 0)
        t += 1;
    if (t > 1)
        t -= 1;
    if (t < 1.0 / 6)
        return p + (q - p) * 6 * t;
    if (t < 1.0 / 2)
        return q;
    if (t < 2.0 / 3)
        return p + (q - p) * (2.0 / 3 - t) * 6;
    return p;
}

}  // namespace

Rgb hslToRgb(const Hsl& c)
{
    const double l = c.lightness;
    const double s = c.saturation;
    if (s == 0)
        return {l, l, l};
    const double q = l < 0.5 ? l * (1 + s) : l + s - l * s;
    const double p = 2 * l - q;
    const double h = c.hue / 360;
    return {hueToChannel(p, q, h + 1.0 / 3), hueToChannel(p, q, h), hueToChannel(p, q, h - 1.0 / 3)};
}

}  // namespace qv
