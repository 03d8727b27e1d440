// SPDX-License-Identifier: MIT
//
// palettepng: writes PNG files again as the simulator's tools write their
// pictures (plot::writePalettePng), for the pictures that come from
// elsewhere: the X screen of hoverwin, the host's panel pictures.
//
//   palettepng FILE.png ...      each file is rewritten in place
#include <cairo.h>

#include <cstdio>
#include <string>

#include "sim/plot/png.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: palettepng FILE.png ...\n");
        return 2;
    }
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string path = argv[i];
        cairo_surface_t* picture = cairo_image_surface_create_from_png(path.c_str());
        if (cairo_surface_status(picture) != CAIRO_STATUS_SUCCESS) {
            std::fprintf(stderr, "palettepng: cannot read %s: %s\n", path.c_str(),
                         cairo_status_to_string(cairo_surface_status(picture)));
            cairo_surface_destroy(picture);
            status = 1;
            continue;
        }
        std::string error;
        if (!plot::writeAndDestroyPng(picture, path, error)) {
            std::fprintf(stderr, "palettepng: %s\n", error.c_str());
            status = 1;
        }
    }
    return status;
}
