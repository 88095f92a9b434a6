// The largest view the GL draws, the same on both Linux back ends: a screen, a host's window or
// the outputs of a compositor side by side.
#pragma once

#include <string>

namespace lumivex {

// The longest side of a view the GL draws: the viewport limit of Mesa and of most hardware, and
// the largest offscreen picture they make. Larger windows (a host's can be 32767 pixels a side)
// make Mesa's image upload abort.
constexpr int MaxViewSide = 16384;

// Whether the GL draws a view of width x height pixels.
bool ViewFitsGL(int width, int height);
// One side of a view, cut to what the GL draws.
int FitViewSide(int side);
// Why a view of width x height pixels is not drawn, in one line.
std::string ViewTooLargeProblem(int width, int height);

} // namespace lumivex
