#include "Twips.h"

int Twips::toPixels(int twips)
{
    // Round half away from zero, so 280 twips (18.67 px) lands on 19 and not 18.
    const int half = perPixel / 2;
    return twips >= 0 ? (twips + half) / perPixel : -((-twips + half) / perPixel);
}
