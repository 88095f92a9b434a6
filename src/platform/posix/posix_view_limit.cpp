// The largest view the GL draws (see posix_view_limit.h).
#include "platform/posix/posix_view_limit.h"

#include <algorithm>

namespace lumivex {

bool ViewFitsGL(int width, int height) {
    return std::max(width, height) <= MaxViewSide;
}

int FitViewSide(int side) {
    return std::min(side, MaxViewSide);
}

std::string ViewTooLargeProblem(int width, int height) {
    const std::string limit = std::to_string(MaxViewSide);
    return "the window is " + std::to_string(width) + "x" + std::to_string(height) +
           " pixels, more than the " + limit + "x" + limit + " the GL draws";
}

} // namespace lumivex
