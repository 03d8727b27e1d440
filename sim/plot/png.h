// SPDX-License-Identifier: MIT
//
// Saving a finished cairo picture, as every picture-writing tool of the
// simulator does it: the surface is written as PNG and destroyed either way.
#ifndef HOVER_SIM_PLOT_PNG_H
#define HOVER_SIM_PLOT_PNG_H

#include <cairo.h>

#include <string>

namespace plot {

// False, with "cannot write PATH: reason" in `error`, when the file cannot
// be written.
inline bool writeAndDestroyPng(cairo_surface_t* surface, const std::string& path, std::string& error) {
    const cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        error = "cannot write " + path + ": " + cairo_status_to_string(status);
        return false;
    }
    return true;
}

}  // namespace plot

#endif
