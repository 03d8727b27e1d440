// SPDX-License-Identifier: MIT
//
// Panel pictures during a simulated flight: at chosen host times and every
// so many seconds, the host draws the gauge once more with the renderer and
// writes it as <prefix><time>s.png (time as 0060.0). A picture is painted
// from the frame's own walk of the gauge, so it calls nothing more in the
// module than the frame did.
#ifndef HOVER_SIM_PANEL_RUN_PICTURES_H
#define HOVER_SIM_PANEL_RUN_PICTURES_H

#include <memory>
#include <string>
#include <vector>

#include "sim/panel/panel_renderer.h"

namespace panel {

struct PictureRequest {
    std::vector<double> times;  // host times, s; one past the run's end is drawn at its last frame
    double every = 0.0;         // s; 0 for none
    std::string prefix = "panel_";
    std::string bitmaps;  // empty: the folder "bitmaps" beside the module
    double scale = 1.0;
};

class RunPictures {
public:
    // False, with the reason, when pictures are asked for and the module's
    // bitmaps cannot be found or read.
    bool start(GaugeHeader* gauge, const std::string& modulePath, const PictureRequest& request,
               std::string& error);
    bool active() const { return renderer_ != nullptr; }

    // After the host's walk of the frame at `hostTime`.
    void frame(double hostTime, double frameStep, bool lastFrame, const walk::Frame& walk);

    const std::vector<std::string>& written() const { return written_; }
    // Pictures that could not be written, and what the renderer found wrong
    // in the module's records.
    std::vector<std::string> problems() const;

private:
    PictureRequest request_;
    std::unique_ptr<PanelRenderer> renderer_;
    std::vector<double> pending_;  // the chosen times not yet drawn, sorted
    double nextEvery_ = 0.0;
    std::vector<std::string> written_;
    std::vector<std::string> writeErrors_;
};

}  // namespace panel

#endif
