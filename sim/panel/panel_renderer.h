// SPDX-License-Identifier: MIT
//
// The host drawing the gauge, for real: from the host's walk of the element
// tree (a walk::Frame of sdk/element_walk.h, which the simulated host's panel
// fills as it fills the slots and calls the callbacks), it paints what the
// records and the returned values ask for, with the module's own bitmaps,
// into a cairo image that can be written as PNG. It calls nothing in the
// module and knows the gauge only through the sdk/ headers, so it stands
// below the simulated host.
//
// How this host draws what the records leave to the host:
// - An element is drawn, then each element of its overlay list in order,
//   each followed by its own list.
// - Draw flag bit 25 (hidden), as the element's callback left it, hides the
//   element and everything in its overlay list: a gauge hides a whole part
//   of its face by hiding the element the part is drawn over.
// - An element the walk found hidden by the active failure is not drawn;
//   the elements of its overlay list are judged by their own failure lists.
// - Draw flag bit 0: pure black (0,0,0) pixels of its bitmaps, and a pure
//   black text background, are not drawn.
// - Draw flag bit 2 (lit): the element is a light source. By day everything
//   is drawn in its own colours; at night the unlit parts of the face are
//   dimmed to a fraction of their brightness and the lit ones keep theirs.
//   Bits 1 and 7 change nothing here.
// - Icon: bitmap id + value for a value in 0 .. count-1; nothing for -1 or
//   any other value.
// - Slider: the bitmap moved right by x value times x scale and down by y
//   value times y scale, rounded to whole gauge pixels; an axis without a
//   callback does not move.
// - Moving image: bitmap id + 1 is the window, drawn at the element's
//   position; the strip is drawn over it, clipped to a window the size of
//   the strip's lower half, and moved up from its rest (strip top at the
//   window top) by the y value's share of the way from the first bound to
//   the second, times the window's height.
// - Text: the box filled with the background colour, the text of the
//   callback in the text colour, in the named face and weight (fontconfig
//   resolves "Arial" to Liberation Sans) at an em of 0.72 times the box
//   height, condensed when the line would be wider than the box, placed by
//   the placement flags (centred or left/right, centred or top/bottom; the
//   line's ascent plus descent is what is centred), clipped to the box.
// - The host owns each text element's buffer: character count + 1 bytes,
//   put into the record before every call, followed by guard bytes that
//   tell when a callback wrote past its buffer.
#ifndef HOVER_SIM_PANEL_PANEL_RENDERER_H
#define HOVER_SIM_PANEL_PANEL_RENDERER_H

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sdk/element_walk.h"
#include "sdk/gauge_sdk.h"
#include "sim/panel/bitmap.h"
#include "sim/panel/text_faces.h"

namespace panel {

enum class Lighting {
    kDay,    // every element in its own colours
    kNight,  // unlit elements dimmed, lit ones at full brightness
};

struct RenderOptions {
    // The gauge drawn this many times its own pixel size, as a host draws a
    // gauge that a panel places at a larger size: bitmaps stretched without
    // smoothing, text set at the larger size.
    double scale = 1.0;
    Lighting lighting = Lighting::kDay;
};

// The brightness left to an unlit element at night.
constexpr double kNightDimming = 0.3;

// What one element showed in a drawing.
struct ElementDrawing {
    const GaugeElement* element = nullptr;
    int depth = 0;                 // 0 for the root list
    bool called = false;           // the walk called its callbacks
    bool drawn = false;            // something of it was painted
    std::optional<double> value;   // the callback's value (y for a moving image)
    std::optional<double> xValue;  // a slider's x callback
    std::optional<double> yValue;  // a slider's y callback
    int32_t bitmapShown = -1;      // the bitmap painted (the strip for a bar)
    int left = 0;                  // where that bitmap's top left corner went,
    int top = 0;                   //   in gauge pixels
    std::string text;              // a text element's text
};

class PanelRenderer {
public:
    PanelRenderer(GaugeHeader* gauge, BitmapSet bitmaps);
    ~PanelRenderer();
    PanelRenderer(const PanelRenderer&) = delete;
    PanelRenderer& operator=(const PanelRenderer&) = delete;

    // The gauge's own size in pixels: the size of the bitmap of the first
    // element of the root list (the face).
    int gaugeWidth() const { return gaugeWidth_; }
    int gaugeHeight() const { return gaugeHeight_; }

    // The picture of one walk of the gauge. It replaces the previous one.
    void draw(const walk::Frame& frame, const RenderOptions& options = {});

    // The picture of the last drawing: (scale x gauge size) pixels, ARGB with
    // what no element covered left transparent.
    cairo_surface_t* surface() const { return surface_; }
    int width() const;
    int height() const;
    // One pixel of the picture as 0xAARRGGBB (not premultiplied).
    uint32_t pixel(int x, int y) const;
    bool writePng(const std::string& path, std::string& error) const;

    // Every element met in the last drawing, in drawing order.
    const std::vector<ElementDrawing>& elements() const { return drawings_; }

    // Faults seen in the module's records or values, each described once:
    // a bitmap id with no bitmap, a value that cannot be placed, a kind of
    // element this host does not draw.
    const std::vector<std::string>& faults() const { return faults_; }

private:
    void drawElement(const walk::ElementVisit& visit, ElementDrawing& drawing);
    // Each paints nothing of a hidden element.
    void drawIcon(const IconElement* icon, bool hidden, ElementDrawing& drawing);
    void drawSlider(const SliderElement* slider, bool hidden, ElementDrawing& drawing);
    void drawMovingImage(const MovingImageElement* moving, bool hidden, ElementDrawing& drawing);
    void drawText(const TextElement* text, bool hidden, ElementDrawing& drawing);
    void paintBitmap(int32_t id, const GaugeElement* element, double x, double y, ElementDrawing& drawing);
    cairo_surface_t* bitmapSurface(int32_t id, bool blackTransparent);
    double brightness(const GaugeElement* element) const;
    void fault(const std::string& description);

    GaugeHeader* gauge_;
    BitmapSet bitmaps_;
    int gaugeWidth_ = 0;
    int gaugeHeight_ = 0;
    RenderOptions options_;
    cairo_surface_t* surface_ = nullptr;
    cairo_t* cr_ = nullptr;
    // Bitmaps as cairo surfaces, by id and by whether black is see-through.
    std::vector<std::pair<std::pair<int32_t, bool>, cairo_surface_t*>> surfaces_;
    std::vector<ElementDrawing> drawings_;
    std::vector<std::string> faults_;
    TextFaces faces_;
};

}  // namespace panel

#endif
