// SPDX-License-Identifier: MIT
#include "sim/panel/run_pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace panel {

bool RunPictures::start(GaugeHeader* gauge, const std::string& modulePath, const PictureRequest& request,
                        std::string& error) {
    request_ = request;
    pending_ = request.times;
    std::sort(pending_.begin(), pending_.end());
    nextEvery_ = 0.0;
    if (pending_.empty() && !(request.every > 0.0)) {
        return true;
    }
    const std::string directory = findBitmapDirectory(request.bitmaps, modulePath);
    if (directory.empty()) {
        error = request.bitmaps.empty()
                    ? "no bitmap directory beside " + modulePath + " (give one with --bitmaps)"
                    : "no bitmap directory " + request.bitmaps;
        return false;
    }
    BitmapSet bitmaps;
    if (!bitmaps.loadDirectory(directory, error)) {
        return false;
    }
    renderer_ = std::make_unique<PanelRenderer>(gauge, std::move(bitmaps));
    return true;
}

void RunPictures::frame(double hostTime, double frameStep, bool lastFrame, const walk::Frame& walk) {
    if (renderer_ == nullptr) {
        return;
    }
    // A time is drawn at the frame nearest it.
    const double reach = hostTime + frameStep / 2.0;
    bool due = false;
    while (!pending_.empty() && (pending_.front() < reach || lastFrame)) {
        pending_.erase(pending_.begin());
        due = true;
    }
    if (request_.every > 0.0 && nextEvery_ < reach) {
        due = true;
        while (nextEvery_ < reach) {
            nextEvery_ += request_.every;
        }
    }
    if (!due) {
        return;
    }
    RenderOptions options;
    options.scale = request_.scale;
    renderer_->draw(walk, options);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%06.1fs.png", std::max(0.0, hostTime));
    const std::string path = request_.prefix + stamp;
    std::string error;
    if (renderer_->writePng(path, error)) {
        written_.push_back(path);
    } else if (std::find(writeErrors_.begin(), writeErrors_.end(), error) == writeErrors_.end()) {
        writeErrors_.push_back(error);
    }
}

std::vector<std::string> RunPictures::problems() const {
    std::vector<std::string> all = writeErrors_;
    if (renderer_ != nullptr) {
        all.insert(all.end(), renderer_->faults().begin(), renderer_->faults().end());
    }
    return all;
}

}  // namespace panel
