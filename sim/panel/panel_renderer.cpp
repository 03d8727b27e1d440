// SPDX-License-Identifier: MIT
#include "sim/panel/panel_renderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace panel {

namespace {

// Beyond this many pixels an element is off any picture the host could
// draw; such a value is reported rather than placed.
constexpr double kMaxOffsetPixels = 1.0e5;
// The gauge size used when the face bitmap is missing.
constexpr int kFallbackSize = 100;
// Text placement bits beyond those the records of this gauge use, with the
// meaning the platform's text drawing gives them.
constexpr uint32_t kTextRight = 0x2;
constexpr uint32_t kTextBottom = 0x8;
// The font's size (its em) as a share of the text box's height: capitals
// then fill about half the box, as the face's layout expects (its label and
// value boxes overlap by a quarter of their height).
constexpr double kFontSizeShare = 0.72;
// A font weight from which the face is drawn bold.
constexpr int32_t kBoldWeight = 600;

std::string where(const GaugeElement* element) {
    return "the element at (" + std::to_string(element->x) + "," + std::to_string(element->y) + ")";
}

// 0x00BBGGRR as cairo's red, green and blue.
void setColour(cairo_t* cr, uint32_t colour, double brightness) {
    const double r = static_cast<double>(colour & 0xFF) / 255.0;
    const double g = static_cast<double>((colour >> 8) & 0xFF) / 255.0;
    const double b = static_cast<double>((colour >> 16) & 0xFF) / 255.0;
    cairo_set_source_rgb(cr, r * brightness, g * brightness, b * brightness);
}

// Whole pixels; NaN, infinities and absurd offsets give none.
std::optional<int> pixels(double offset) {
    if (!std::isfinite(offset) || std::fabs(offset) > kMaxOffsetPixels) {
        return std::nullopt;
    }
    return static_cast<int>(std::lround(offset));
}

}  // namespace

PanelRenderer::PanelRenderer(GaugeHeader* gauge, BitmapSet bitmaps)
    : gauge_(gauge), bitmaps_(std::move(bitmaps)) {
    gaugeWidth_ = kFallbackSize;
    gaugeHeight_ = kFallbackSize;
    const GaugeElement* face =
        gauge_ != nullptr && gauge_->elements != nullptr ? gauge_->elements[0] : nullptr;
    const Bitmap* faceBitmap = face != nullptr ? bitmaps_.find(face->bitmapId) : nullptr;
    if (faceBitmap != nullptr) {
        gaugeWidth_ = faceBitmap->width;
        gaugeHeight_ = faceBitmap->height;
    } else {
        fault("the gauge's first element has no bitmap to size the gauge by");
    }
}

PanelRenderer::~PanelRenderer() {
    if (cr_ != nullptr) {
        cairo_destroy(cr_);
    }
    if (surface_ != nullptr) {
        cairo_surface_destroy(surface_);
    }
    for (auto& entry : surfaces_) {
        cairo_surface_destroy(entry.second);
    }
}

void PanelRenderer::fault(const std::string& description) {
    if (std::find(faults_.begin(), faults_.end(), description) == faults_.end()) {
        faults_.push_back(description);
    }
}

int PanelRenderer::width() const {
    return surface_ != nullptr ? cairo_image_surface_get_width(surface_) : 0;
}

int PanelRenderer::height() const {
    return surface_ != nullptr ? cairo_image_surface_get_height(surface_) : 0;
}

uint32_t PanelRenderer::pixel(int x, int y) const {
    if (surface_ == nullptr || x < 0 || y < 0 || x >= width() || y >= height()) {
        return 0;
    }
    cairo_surface_flush(surface_);
    const unsigned char* data = cairo_image_surface_get_data(surface_);
    const auto stride = static_cast<size_t>(cairo_image_surface_get_stride(surface_));
    uint32_t premultiplied = 0;
    std::memcpy(&premultiplied, data + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 4, 4);
    const uint32_t alpha = premultiplied >> 24;
    if (alpha == 0) {
        return 0;
    }
    uint32_t result = alpha << 24;
    for (unsigned shift = 0; shift < 24; shift += 8) {
        const uint32_t channel = (premultiplied >> shift) & 0xFF;
        result |= std::min<uint32_t>(255, (channel * 255 + alpha / 2) / alpha) << shift;
    }
    return result;
}

bool PanelRenderer::writePng(const std::string& path, std::string& error) const {
    if (surface_ == nullptr) {
        error = "nothing drawn yet";
        return false;
    }
    const cairo_status_t status = cairo_surface_write_to_png(surface_, path.c_str());
    if (status != CAIRO_STATUS_SUCCESS) {
        error = "cannot write " + path + ": " + cairo_status_to_string(status);
        return false;
    }
    return true;
}

void PanelRenderer::draw(const walk::Frame& frame, const RenderOptions& options) {
    options_ = options;
    const int w = std::max(1, static_cast<int>(std::lround(gaugeWidth_ * options.scale)));
    const int h = std::max(1, static_cast<int>(std::lround(gaugeHeight_ * options.scale)));
    if (surface_ == nullptr || width() != w || height() != h) {
        if (cr_ != nullptr) {
            cairo_destroy(cr_);
        }
        if (surface_ != nullptr) {
            cairo_surface_destroy(surface_);
        }
        surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
        cr_ = cairo_create(surface_);
    }
    cairo_save(cr_);
    cairo_set_operator(cr_, CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr_);
    cairo_restore(cr_);

    cairo_save(cr_);
    cairo_scale(cr_, options.scale, options.scale);
    useHostTextOptions(cr_);

    drawings_.clear();
    // Below an element that hides itself, nothing of its lists is drawn.
    constexpr int kNoneHidden = std::numeric_limits<int>::max();
    int hiddenDepth = kNoneHidden;
    for (const walk::ElementVisit& visit : frame.elements) {
        if (visit.depth > hiddenDepth) {
            continue;
        }
        hiddenDepth = kNoneHidden;
        ElementDrawing drawing;
        drawing.element = visit.element;
        drawing.depth = visit.depth;
        if (!visit.failed) {
            drawElement(visit, drawing);
            if ((visit.drawFlags & kDrawHidden) != 0) {
                hiddenDepth = visit.depth;
            }
        }
        drawings_.push_back(std::move(drawing));
    }
    cairo_restore(cr_);
    cairo_surface_flush(surface_);
}

void PanelRenderer::drawElement(const walk::ElementVisit& visit, ElementDrawing& drawing) {
    const GaugeElement* element = visit.element;
    const bool hidden = (visit.drawFlags & kDrawHidden) != 0;
    drawing.called = visit.called;
    drawing.value = visit.value;
    drawing.xValue = visit.xValue;
    drawing.yValue = visit.yValue;
    drawing.text = visit.text;
    switch (element->kind) {
    case kElementStaticImage:
        if (!hidden) {
            paintBitmap(element->bitmapId, element, element->x, element->y, drawing);
        }
        break;
    case kElementIcon:
        drawIcon(reinterpret_cast<const IconElement*>(element), hidden, drawing);
        break;
    case kElementSlider:
        drawSlider(reinterpret_cast<const SliderElement*>(element), hidden, drawing);
        break;
    case kElementMovingImage:
        drawMovingImage(reinterpret_cast<const MovingImageElement*>(element), hidden, drawing);
        break;
    case kElementText:
        drawText(reinterpret_cast<const TextElement*>(element), hidden, drawing);
        break;
    default:
        fault(where(element) + " is of kind " + std::to_string(element->kind)
              + ", which this host does not draw");
        break;
    }
}

void PanelRenderer::drawIcon(const IconElement* icon, bool hidden, ElementDrawing& drawing) {
    const GaugeElement* element = &icon->base;
    const double value = drawing.value.value_or(0.0);
    if (hidden || value == -1.0) {
        return;
    }
    const uint32_t count = std::max<uint32_t>(icon->imageCount, 1);
    if (!(value >= 0.0 && value < static_cast<double>(count))) {
        fault(where(element) + " has an icon value outside 0 .. " + std::to_string(count - 1) + " and -1");
        return;
    }
    const int32_t id = element->bitmapId + static_cast<int32_t>(value);
    paintBitmap(id, element, element->x, element->y, drawing);
}

void PanelRenderer::drawSlider(const SliderElement* slider, bool hidden, ElementDrawing& drawing) {
    const GaugeElement* element = &slider->base;
    if (hidden) {
        return;
    }
    const double xScale = slider->xScale;
    const double yScale = slider->yScale;
    // An axis without a callback does not move.
    const std::optional<int> dx = drawing.xValue ? pixels(*drawing.xValue * xScale) : std::optional<int>(0);
    const std::optional<int> dy = drawing.yValue ? pixels(*drawing.yValue * yScale) : std::optional<int>(0);
    if (!dx || !dy) {
        fault(where(element) + " is a slider whose value cannot be placed");
        return;
    }
    paintBitmap(element->bitmapId, element, element->x + *dx, element->y + *dy, drawing);
}

void PanelRenderer::drawMovingImage(const MovingImageElement* moving, bool hidden, ElementDrawing& drawing) {
    const GaugeElement* element = &moving->base;
    const double value = drawing.value.value_or(0.0);
    if (hidden) {
        return;
    }
    const Bitmap* strip = bitmaps_.find(element->bitmapId);
    if (strip == nullptr) {
        fault("no bitmap " + std::to_string(element->bitmapId) + " for " + where(element));
        return;
    }
    const int32_t windowId = element->bitmapId + 1;
    if (bitmaps_.find(windowId) == nullptr) {
        fault("no window bitmap " + std::to_string(windowId) + " for the strip of " + where(element));
    } else {
        ElementDrawing windowDrawing;
        paintBitmap(windowId, element, element->x, element->y, windowDrawing);
    }

    const double first = moving->yFirstBound;
    const double second = moving->ySecondBound;
    const double share = (value - first) / (second - first);
    const int travel = strip->height / 2;
    const std::optional<int> lift = pixels(std::clamp(share, 0.0, 1.0) * travel);
    if (!std::isfinite(share) || !lift) {
        fault(where(element) + " is a moving image whose value cannot be placed between its bounds");
        return;
    }
    cairo_save(cr_);
    cairo_rectangle(cr_, element->x, element->y, strip->width, travel);
    cairo_clip(cr_);
    paintBitmap(element->bitmapId, element, element->x, element->y - *lift, drawing);
    cairo_restore(cr_);
}

void PanelRenderer::drawText(const TextElement* text, bool hidden, ElementDrawing& drawing) {
    const GaugeElement* element = &text->base;
    if (hidden) {
        return;
    }

    const double light = brightness(element);
    const double boxX = element->x;
    const double boxY = element->y;
    const double boxWidth = text->boxWidth;
    const double boxHeight = text->boxHeight;
    if (!(boxWidth > 0.0 && boxHeight > 0.0)) {
        fault(where(element) + " is a text with an empty box");
        return;
    }
    cairo_save(cr_);
    cairo_rectangle(cr_, boxX, boxY, boxWidth, boxHeight);
    cairo_clip(cr_);
    const uint32_t background = text->backgroundColour & 0xFFFFFF;
    if (!(background == 0 && (element->drawFlags & kDrawTransparentBlack) != 0)) {
        setColour(cr_, background, light);
        cairo_paint(cr_);
    }

    // A line of the face's characters, control characters shown as blanks.
    std::string line = drawing.text;
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20) {
            c = ' ';
        }
    }
    char faceName[sizeof text->fontFace + 1] = {};
    std::memcpy(faceName, text->fontFace, sizeof text->fontFace);
    if (faceName[0] == '\0') {
        std::strcpy(faceName, "Sans");
    }
    const int32_t weight = text->fontWeight;
    cairo_set_font_face(cr_, faces_.face(faceName, weight >= kBoldWeight));
    const double size = boxHeight * kFontSizeShare;
    cairo_set_font_size(cr_, size);
    cairo_font_extents_t font;
    cairo_font_extents(cr_, &font);
    cairo_text_extents_t extents;
    cairo_text_extents(cr_, line.c_str(), &extents);
    double lineWidth = extents.x_advance;
    if (lineWidth > boxWidth) {
        cairo_matrix_t condensed;
        cairo_matrix_init_scale(&condensed, size * boxWidth / lineWidth, size);
        cairo_set_font_matrix(cr_, &condensed);
        lineWidth = boxWidth;
    }
    const double ascent = font.ascent;
    const double lineHeight = font.ascent + font.descent;
    const uint32_t placement = text->placement;
    double x = boxX;
    if ((placement & kTextCentreHorizontal) != 0) {
        x = boxX + (boxWidth - lineWidth) / 2.0;
    } else if ((placement & kTextRight) != 0) {
        x = boxX + boxWidth - lineWidth;
    }
    double y = boxY + ascent;
    if ((placement & kTextCentreVertical) != 0) {
        y = boxY + (boxHeight - lineHeight) / 2.0 + ascent;
    } else if ((placement & kTextBottom) != 0) {
        y = boxY + boxHeight - lineHeight + ascent;
    }
    setColour(cr_, text->textColour & 0xFFFFFF, light);
    cairo_move_to(cr_, x, y);
    cairo_show_text(cr_, line.c_str());
    cairo_restore(cr_);
    drawing.drawn = true;
    drawing.left = element->x;
    drawing.top = element->y;
}

double PanelRenderer::brightness(const GaugeElement* element) const {
    if (options_.lighting == Lighting::kNight && (element->drawFlags & kDrawLit) == 0) {
        return kNightDimming;
    }
    return 1.0;
}

cairo_surface_t* PanelRenderer::bitmapSurface(int32_t id, bool blackTransparent) {
    const auto key = std::make_pair(id, blackTransparent);
    for (const auto& entry : surfaces_) {
        if (entry.first == key) {
            return entry.second;
        }
    }
    const Bitmap* bitmap = bitmaps_.find(id);
    if (bitmap == nullptr) {
        return nullptr;
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, bitmap->width, bitmap->height);
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const auto stride = static_cast<size_t>(cairo_image_surface_get_stride(surface));
    for (int y = 0; y < bitmap->height; ++y) {
        for (int x = 0; x < bitmap->width; ++x) {
            const uint32_t colour = bitmap->at(x, y);
            const uint32_t value = blackTransparent && colour == 0 ? 0u : 0xFF000000u | colour;
            std::memcpy(data + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 4, &value, 4);
        }
    }
    cairo_surface_mark_dirty(surface);
    surfaces_.emplace_back(key, surface);
    return surface;
}

void PanelRenderer::paintBitmap(int32_t id, const GaugeElement* element, double x, double y,
                                ElementDrawing& drawing) {
    cairo_surface_t* surface = bitmapSurface(id, (element->drawFlags & kDrawTransparentBlack) != 0);
    if (surface == nullptr) {
        fault("no bitmap " + std::to_string(id) + " for " + where(element));
        return;
    }
    cairo_save(cr_);
    cairo_set_source_surface(cr_, surface, x, y);
    cairo_pattern_set_filter(cairo_get_source(cr_), CAIRO_FILTER_NEAREST);
    const double light = brightness(element);
    if (light < 1.0) {
        // Dimmed: the bitmap's own shape, darkened by a black veil over it.
        cairo_push_group(cr_);
        cairo_paint(cr_);
        cairo_set_operator(cr_, CAIRO_OPERATOR_ATOP);
        cairo_set_source_rgba(cr_, 0.0, 0.0, 0.0, 1.0 - light);
        cairo_paint(cr_);
        cairo_pop_group_to_source(cr_);
    }
    cairo_paint(cr_);
    cairo_restore(cr_);
    drawing.drawn = true;
    drawing.bitmapShown = id;
    drawing.left = static_cast<int>(std::lround(x));
    drawing.top = static_cast<int>(std::lround(y));
}

}  // namespace panel
