// SPDX-License-Identifier: MIT
//
// guidepictures: draws the pictures of docs/guide.md from the real module.
//
//   guidepictures --module hover.so --bitmaps DIR --out DIR [NAME ...]
//
// Without names it draws every picture; --list prints their names.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sim/guide/guide_pictures.h"
#include "sim/plot/png.h"

int main(int argc, char** argv) {
    guide::GaugeFiles files;
    std::string out = ".";
    std::vector<std::string> names;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--module" && hasValue) {
            files.module = argv[++i];
        } else if (arg == "--bitmaps" && hasValue) {
            files.bitmaps = argv[++i];
        } else if (arg == "--out" && hasValue) {
            out = argv[++i];
        } else if (arg == "--list") {
            for (const guide::GuidePicture& p : guide::guidePictures()) {
                std::printf("%s\t%s\n", p.name.c_str(), p.caption.c_str());
            }
            return 0;
        } else if (!arg.empty() && arg[0] != '-') {
            names.push_back(arg);
        } else {
            std::fprintf(stderr,
                         "usage: guidepictures --module FILE --bitmaps DIR --out DIR [NAME ...] | --list\n");
            return 2;
        }
    }
    if (files.module.empty() || files.bitmaps.empty()) {
        std::fprintf(stderr, "guidepictures: --module and --bitmaps are needed\n");
        return 2;
    }
    if (names.empty()) {
        for (const guide::GuidePicture& p : guide::guidePictures()) {
            names.push_back(p.name);
        }
    }
    for (const std::string& name : names) {
        std::string error;
        cairo_surface_t* picture = guide::drawGuidePicture(name, files, error);
        if (picture == nullptr) {
            std::fprintf(stderr, "guidepictures: %s\n", error.c_str());
            return 1;
        }
        const std::string path = out + "/" + name + ".png";
        // Written as every picture of the guide is: indexed colour.
        if (!plot::writeAndDestroyPng(picture, path, error)) {
            std::fprintf(stderr, "guidepictures: %s\n", error.c_str());
            return 1;
        }
        std::printf("%s\n", path.c_str());
    }
    return 0;
}
