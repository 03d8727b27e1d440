// SPDX-License-Identifier: MIT
//
// hoverwin: the simulated host in a desktop window. The gauge is drawn and
// clicked live while the helicopter flies under it in real time.
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "sim/window/app.h"

namespace {

constexpr const char* kDescription =
    "hoverwin flies the hover gauge module live in a window: the gauge as the host\n"
    "draws it, clickable with the mouse; beside it the helicopter seen from above\n"
    "with the engage spot and the ADS-33 hover circles, a height tape, and strip\n"
    "charts of the last minute. With a scenario its timed events run as in\n"
    "hoversim and its summary is printed at the end or on quit.\n";

constexpr const char* kFooter = R"(
KEYS
  arrows        cyclic (or the gauge's stick)      Z X     pedals (or the stick's twist)
  PgUp PgDn     collective (or the height buttons)  J       keys and controller fly the
                                                             helicopter / the gauge's stick
  space         pause the simulation               1 2 3   1/4, 1, 4 times real time
  R             restart the scenario               F       failure 21 (panel lights)
  W, shift+W    wind 5 kt stronger / weaker        N       night lighting
  D, shift+D    wind veers / backs 30 deg          F12     write the window as a PNG
  T             next turbulence                    Esc     quit
  mouse         the gauge's buttons, held buttons repeat
  A game controller: left stick cyclic, right stick left-right pedals, triggers
  collective; on the gauge's stick A and B are the height buttons.

EXIT STATUS
  0 every expectation of the scenario held (or there was none); 1 one failed;
  2 no display, or the scenario or the module could not be loaded.
)";

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{kDescription, "hoverwin"};
    app.footer(kFooter);
    app.get_formatter()->column_width(30);
    window::AppOptions options;
    app.add_option("scenario", options.live.scenarioPath,
                   "Scenario file (TOML) to fly; without one, a hover over open ground");
    app.add_option(
        "-a,--aircraft", options.live.aircraftPath,
        "Fly this aircraft instead of the scenario's: a name (bo105, uh1h, puma: aircraft/<name>.toml "
        "beside this program) or a path to an aircraft file");
    app.add_option("--speed", options.speed, "Times real time: 0.25, 1 or 4 (default 1)")
        ->check(CLI::IsMember({0.25, 1.0, 4.0}));
    app.add_option("--scale", options.live.scale, "Draw the gauge and the views this many times their size")
        ->check(CLI::Range(0.5, 4.0));
    app.add_option("-m,--module", options.live.modulePath,
                   "The gauge module to load (default: hover.so beside this program)");
    app.add_option("--bitmaps", options.live.bitmaps,
                   "The module's bitmaps (default: bitmaps/ beside the module)");
    app.add_option(
        "--state-out", options.stateOut,
        "Write the layout and a state line per second of host time to this file ('-': standard output)");
    app.add_option("--quit-after", options.quitAfterS, "Quit after this many seconds of host time")
        ->check(CLI::PositiveNumber);
    app.add_option("--picture-dir", options.pictureDir, "Where F12 writes its pictures (default: here)");
    CLI11_PARSE(app, argc, argv);
    return window::runApp(options);
}
