// SPDX-License-Identifier: MIT
//
// Checks a screenshot of the whole X screen against what hoverwin said it
// was showing: the state lines and picture lines it wrote (the engaged lamp
// among the bitmaps it painted, the helicopter's place), the module's own
// bitmaps, and the colours of the situation view.
//
//   hoverwin_screencheck SCREEN.png STATE.txt BITMAP_DIR WINDOW_X WINDOW_Y
//
// Exit status 0 when the screen shows the panel with the lamp lit and the
// situation view, 1 with the reasons otherwise, 2 on bad input.
#include <cairo.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "sim/panel/bitmap.h"
#include "sim/window/view.h"

namespace {

// A screen pixel matches a bitmap pixel within this per channel (the X
// server at 24 bits shows exactly what was drawn; the slack is for a
// renderer that filters).
constexpr int kChannelTolerance = 24;
// Shares of pixels that must match.
constexpr double kLampShare = 0.9;
constexpr double kFaceShare = 0.6;
constexpr double kGroundShare = 0.5;

struct Placed {
    int id = 0;
    int x = 0, y = 0, w = 0, h = 0;
};

bool close(uint32_t a, uint32_t b) {
    for (unsigned shift = 0; shift < 24; shift += 8) {
        const int ca = static_cast<int>((a >> shift) & 0xFF);
        const int cb = static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(ca - cb) > kChannelTolerance)
            return false;
    }
    return true;
}

class Screen {
public:
    explicit Screen(const std::string& path) : surface_(cairo_image_surface_create_from_png(path.c_str())) {}
    ~Screen() { cairo_surface_destroy(surface_); }
    bool ok() const { return cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS; }
    int width() const { return cairo_image_surface_get_width(surface_); }
    int height() const { return cairo_image_surface_get_height(surface_); }
    uint32_t rgb(int x, int y) const {
        if (x < 0 || y < 0 || x >= width() || y >= height())
            return 0xFF000000;  // matches nothing
        const unsigned char* data = cairo_image_surface_get_data(surface_);
        uint32_t pixel = 0;
        std::memcpy(
            &pixel,
            data + static_cast<size_t>(y) * static_cast<size_t>(cairo_image_surface_get_stride(surface_))
                + static_cast<size_t>(x) * 4,
            4);
        return pixel & 0xFFFFFF;
    }

private:
    cairo_surface_t* surface_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::cerr << "usage: hoverwin_screencheck SCREEN.png STATE.txt BITMAP_DIR WINDOW_X WINDOW_Y\n";
        return 2;
    }
    const Screen screen(argv[1]);
    if (!screen.ok()) {
        std::cerr << "screencheck: cannot read " << argv[1] << "\n";
        return 2;
    }
    const int originX = std::atoi(argv[4]);
    const int originY = std::atoi(argv[5]);

    // The last block of the state file: its state line, the bitmaps painted
    // and the helicopter's place; the layout from the lines before any block.
    std::ifstream stateFile(argv[2]);
    std::string line;
    std::string state;
    std::vector<Placed> bitmaps;
    int heliX = -1, heliY = -1;
    window::Box situation;
    while (std::getline(stateFile, line)) {
        std::istringstream in(line);
        std::string kind;
        in >> kind;
        if (kind == "state") {
            state = line;
            bitmaps.clear();
        } else if (kind == "bitmap") {
            Placed p;
            in >> p.id >> p.x >> p.y >> p.w >> p.h;
            bitmaps.push_back(p);
        } else if (kind == "helicopter") {
            in >> heliX >> heliY;
        } else if (kind == "situation") {
            in >> situation.x >> situation.y >> situation.w >> situation.h;
        }
    }
    std::vector<std::string> faults;
    if (state.find(" engaged=1") == std::string::npos || state.find(" lamp=1") == std::string::npos) {
        faults.push_back("the last state is not engaged with the lamp lit: " + state);
    }

    // The module's bitmaps by id, from their files.
    panel::BitmapSet files;
    std::string error;
    if (!files.loadDirectory(argv[3], error)) {
        std::cerr << "screencheck: " << error << "\n";
        return 2;
    }
    // The lamp is the bitmap whose file is named for it.
    const auto share = [&](const Placed& p, const panel::Bitmap& b, bool skipBlack,
                           const std::vector<Placed>& over) {
        int matched = 0, counted = 0;
        for (int y = 0; y < b.height; ++y) {
            for (int x = 0; x < b.width; ++x) {
                const uint32_t want = b.at(x, y);
                if (skipBlack && want == 0)
                    continue;
                bool covered = false;
                for (const Placed& o : over) {
                    covered =
                        covered
                        || (p.x + x >= o.x && p.x + x < o.x + o.w && p.y + y >= o.y && p.y + y < o.y + o.h);
                }
                if (covered)
                    continue;
                ++counted;
                matched += close(screen.rgb(originX + p.x + x, originY + p.y + y), want) ? 1 : 0;
            }
        }
        return counted == 0 ? 0.0 : static_cast<double>(matched) / counted;
    };
    // The lamp's file is <id>_engaged_lamp.bmp.
    int lampId = -1;
    for (const auto& entry : std::filesystem::directory_iterator(argv[3])) {
        const std::string name = entry.path().filename().string();
        const size_t at = name.find("_engaged_lamp.");
        if (at != std::string::npos && at > 0)
            lampId = std::atoi(name.substr(0, at).c_str());
    }
    bool lampSeen = false;
    for (const Placed& p : bitmaps) {
        const panel::Bitmap* b = files.find(p.id);
        if (b == nullptr || p.w != b->width || p.h != b->height)
            continue;
        if (p.id == lampId) {
            lampSeen = true;
            const double s = share(p, *b, true, {});
            std::printf("lamp (bitmap %d at %d,%d): %.0f %% of its pixels on the screen\n", p.id, p.x, p.y,
                        s * 100.0);
            if (s < kLampShare)
                faults.push_back("the engaged lamp is not on the screen");
        } else if (&p == &bitmaps.front()) {
            std::vector<Placed> over(bitmaps.begin() + 1, bitmaps.end());
            const double s = share(p, *b, false, over);
            std::printf("face (bitmap %d): %.0f %% of its uncovered pixels on the screen\n", p.id, s * 100.0);
            if (s < kFaceShare)
                faults.push_back("the gauge's face is not on the screen");
        }
    }
    if (!lampSeen)
        faults.push_back("hoverwin painted no engaged lamp in its last drawing");

    // The situation view: mostly ground, and the helicopter where it said.
    int ground = 0, all = 0;
    for (int y = static_cast<int>(situation.y); y < static_cast<int>(situation.y + situation.h); y += 2) {
        for (int x = static_cast<int>(situation.x); x < static_cast<int>(situation.x + situation.w); x += 2) {
            ++all;
            ground += close(screen.rgb(originX + x, originY + y), window::kGroundColour) ? 1 : 0;
        }
    }
    const double groundShare = all == 0 ? 0.0 : static_cast<double>(ground) / all;
    std::printf("situation view: %.0f %% ground\n", groundShare * 100.0);
    if (groundShare < kGroundShare)
        faults.push_back("the situation view is not on the screen");
    int heliPixels = 0;
    for (int dy = -3; dy <= 3; ++dy) {
        for (int dx = -3; dx <= 3; ++dx) {
            heliPixels +=
                close(screen.rgb(originX + heliX + dx, originY + heliY + dy), window::kHelicopterColour) ? 1
                                                                                                         : 0;
        }
    }
    std::printf("helicopter at %d,%d: %d of 49 pixels around it in its colour\n", heliX, heliY, heliPixels);
    if (heliPixels < 5)
        faults.push_back("the helicopter is not where hoverwin put it");

    for (const std::string& fault : faults)
        std::cout << "FAIL: " << fault << "\n";
    return faults.empty() ? 0 : 1;
}
