// SPDX-License-Identifier: MIT
#include "sim/panel/text_faces.h"

#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>

namespace panel {

namespace {

cairo_font_options_t* hostTextOptions() {
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    return options;
}

cairo_font_face_t* resolve(const std::string& family, bool bold) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    // The weights and the order of the steps are those cairo takes for a
    // face chosen by name; the options go in before the machine's settings
    // so that they win.
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_MEDIUM);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    cairo_font_options_t* options = hostTextOptions();
    cairo_ft_font_options_substitute(options, pattern);
    cairo_font_options_destroy(options);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr) {
        return cairo_toy_font_face_create(family.c_str(), CAIRO_FONT_SLANT_NORMAL,
                                          bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    }
    cairo_font_face_t* face = cairo_ft_font_face_create_for_pattern(match);
    FcPatternDestroy(match);
    return face;
}

}  // namespace

void useHostTextOptions(cairo_t* cr) {
    cairo_font_options_t* options = hostTextOptions();
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
}

TextFaces::~TextFaces() {
    for (auto& entry : faces_) {
        cairo_font_face_destroy(entry.second);
    }
}

cairo_font_face_t* TextFaces::face(const std::string& family, bool bold) {
    for (const auto& entry : faces_) {
        if (entry.first.first == family && entry.first.second == bold) {
            return entry.second;
        }
    }
    cairo_font_face_t* made = resolve(family, bold);
    faces_.emplace_back(std::make_pair(family, bold), made);
    return made;
}

}  // namespace panel
