#pragma once

namespace qv {

// A colour as hue (degrees, 0..360), saturation and lightness (0..1).
struct Hsl {
    double hue;
    double saturation;
    double lightness;
};

// A colour as red, green and blue in 0..1.
struct Rgb {
    double red;
    double green;
    double blue;
};

// The usual hexcone conversions, in double precision.
Hsl rgbToHsl(const Rgb& c);
Rgb hslToRgb(const Hsl& c);

}  // namespace qv
