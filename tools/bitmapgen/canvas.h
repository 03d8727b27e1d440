// SPDX-License-Identifier: MIT
//
// Drawing with cairo and turning what was drawn into the gauge's indexed
// bitmaps. Text goes through fontconfig to Liberation Sans only, so the
// output does not depend on what other fonts a machine has.
#ifndef HOVER_TOOLS_BITMAPGEN_CANVAS_H
#define HOVER_TOOLS_BITMAPGEN_CANVAS_H

#include <cairo.h>

#include <functional>
#include <string>

#include "indexed_bitmap.h"

using DrawFn = std::function<void(cairo_t*)>;

// True when fontconfig resolves Liberation Sans, regular and bold, to the
// Liberation fonts themselves rather than to a substitute.
bool liberationSansAvailable(std::string& problem);

// An opaque picture drawn from scratch.
RgbImage renderOpaque(int width, int height, const DrawFn& draw);

// An opaque picture quantised with no pure black anywhere.
IndexedImage quantiseOpaque(const RgbImage& picture);

// A picture that lies over `below` (the same size): what is drawn is
// composited over it, anti-aliased edges included; a pixel that the drawing
// covers by less than `minCoverage` (0..1) stays pure black, the host's
// transparent colour.
IndexedImage renderOverlay(const RgbImage& below, double minCoverage, const DrawFn& draw);

// Pixel-exact pictures: every pixel is set by the caller.
IndexedImage quantiseExact(const RgbImage& picture);

// Cairo helpers.
void setColour(cairo_t* cr, Rgb colour);
void setColour(cairo_t* cr, Rgb colour, double alpha);
void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r);
void useFont(cairo_t* cr, double size, bool bold);
// Text centred on x with its baseline at y.
void textCentred(cairo_t* cr, const char* text, double x, double baseline);
// Text centred on (x, y) by its ink.
void textCentredInk(cairo_t* cr, const char* text, double x, double y);

void writePng(const RgbImage& picture, int scale, const std::string& path);

#endif
