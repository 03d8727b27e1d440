// SPDX-License-Identifier: MIT
//
// The pictures of docs/guide.md, each drawn from the real module: the unit
// is put into a state on the bench (the simulated host), through its service calls, its tokens
// and clicks on its face, and the renderer draws what the module's records
// and callbacks then show. tools/make-guide.sh writes them; a test draws
// them again and compares them with the committed files.
#ifndef HOVER_SIM_GUIDE_GUIDE_PICTURES_H
#define HOVER_SIM_GUIDE_GUIDE_PICTURES_H

#include <cairo.h>

#include <string>
#include <vector>

#include "sim/guide/cockpit.h"

namespace guide {

struct GuidePicture {
    std::string name;     // the file is docs/images/<name>.png
    std::string caption;  // what it shows
};

// Every picture of the guide, in the order the guide shows them.
const std::vector<GuidePicture>& guidePictures();

// The guide's pictures are the gauge at twice its size.
constexpr double kGuideScale = 2.0;

// Draws one picture; the caller destroys the surface. Null, with the reason
// in `error`, when the module cannot be loaded or the name is unknown.
cairo_surface_t* drawGuidePicture(const std::string& name, const GaugeFiles& files, std::string& error);

}  // namespace guide

#endif
