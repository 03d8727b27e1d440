// SPDX-License-Identifier: MIT
//
// The faces this host draws text in, the same whatever was drawn before in
// the process. cairo resolves a face chosen by name (cairo_select_font_face)
// once per process, with the font options of the first drawing that uses
// it, and keeps that for every later drawing: a text drawn after another
// with other options would take their antialiasing and hinting. A face from
// here is resolved through fontconfig with this host's own options each
// time, so a picture depends only on what it draws.
#ifndef HOVER_SIM_PANEL_TEXT_FACES_H
#define HOVER_SIM_PANEL_TEXT_FACES_H

#include <cairo.h>

#include <string>
#include <utility>
#include <vector>

namespace panel {

// Text as this host draws it on any machine: grey antialiasing and
// unhinted outlines, whatever the desktop's font settings say.
void useHostTextOptions(cairo_t* cr);

// Faces by family name and weight, each resolved once for the life of the
// set and released with it.
class TextFaces {
public:
    TextFaces() = default;
    ~TextFaces();
    TextFaces(const TextFaces&) = delete;
    TextFaces& operator=(const TextFaces&) = delete;

    // Never null: a family fontconfig cannot match falls back to cairo's
    // own face by that name.
    cairo_font_face_t* face(const std::string& family, bool bold);

private:
    std::vector<std::pair<std::pair<std::string, bool>, cairo_font_face_t*>> faces_;
};

}  // namespace panel

#endif
