// SPDX-License-Identifier: MIT
//
// The host's drawing of the gauge as far as the module takes part in it:
// the element tree walked from the gauge header, every value callback
// called with its element, text elements with buffers the host owns.
#ifndef HOVER_BENCH_DRAW_PASS_H
#define HOVER_BENCH_DRAW_PASS_H

namespace bench {

// Gives every text element a buffer and fills every variable slot from the
// bench host's token values, as a host does before it draws; returns the
// number of value callbacks the tree holds.
int prepareDrawing();

// One pass over the tree, every callback called once; returns the sum of
// the values they gave, for the caller to keep.
double drawPass();

}  // namespace bench

#endif
