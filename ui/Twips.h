#pragma once

// Window layouts are drawn in twips; Qt places widgets in logical pixels and applies the
// screen's scale factor itself, so one conversion at 96 dpi (15 twips a pixel) is enough.
class Twips {
public:
    static constexpr int perPixel = 15;
    static int toPixels(int twips);
};
