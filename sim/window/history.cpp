// SPDX-License-Identifier: MIT
#include "sim/window/history.h"

#include <algorithm>

namespace window {

History::History(size_t capacity) : ring_(std::max<size_t>(capacity, 1)) {}

void History::add(const Sample& sample) {
    if (count_ < ring_.size()) {
        ring_[(first_ + count_) % ring_.size()] = sample;
        ++count_;
        return;
    }
    ring_[first_] = sample;
    first_ = (first_ + 1) % ring_.size();
}

void History::clear() {
    first_ = 0;
    count_ = 0;
}

const Sample& History::at(size_t index) const {
    return ring_[(first_ + index) % ring_.size()];
}

}  // namespace window
