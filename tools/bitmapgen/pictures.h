// SPDX-License-Identifier: MIT
//
// The twelve pictures of the gauge, in gauge pixels: x to the right, y down,
// origin at the face plate's top left corner.
#ifndef HOVER_TOOLS_BITMAPGEN_PICTURES_H
#define HOVER_TOOLS_BITMAPGEN_PICTURES_H

#include <string>
#include <vector>

#include "indexed_bitmap.h"

struct GaugeBitmap {
    int id;
    std::string fileName;
    IndexedImage image;
};

// All twelve, in resource id order.
std::vector<GaugeBitmap> drawGaugeBitmaps();

// The logging gauge's five, in resource id order (its face is 200 x 72).
std::vector<GaugeBitmap> drawLoggerBitmaps();

#endif
