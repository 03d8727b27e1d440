// SPDX-License-Identifier: MIT
//
// Saving a finished cairo picture, as every picture-writing tool of the
// simulator does it: as an indexed-colour PNG of at most 256 colours, which
// keeps a drawing of a few colours and their anti-aliased edges readable at
// a fraction of the bytes of a true-colour file. A picture of at most 256
// colours is written exactly; one of more keeps its 256 commonest colours
// and gives every other pixel the nearest of them. The same picture always
// gives the same bytes.
#ifndef HOVER_SIM_PLOT_PNG_H
#define HOVER_SIM_PLOT_PNG_H

#include <cairo.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace plot {

// The most colours an indexed PNG holds.
constexpr std::size_t kPaletteColours = 256;

// Gives every pixel of an image surface (ARGB32 or RGB24) the colour it is
// written with. Returns the number of distinct colours the picture had
// before; at most kPaletteColours of them are left.
std::size_t reduceToPalette(cairo_surface_t* surface);

// Writes the picture as an indexed-colour PNG. False, with "cannot write
// PATH: reason" in `error`, when the file cannot be written.
bool writePalettePng(cairo_surface_t* surface, const std::string& path, std::string& error);

// As writePalettePng, and the surface is destroyed either way.
bool writeAndDestroyPng(cairo_surface_t* surface, const std::string& path, std::string& error);

}  // namespace plot

#endif
