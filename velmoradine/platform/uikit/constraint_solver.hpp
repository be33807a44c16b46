#pragma once

// Internal: places the subviews of a view from their active constraints.
//
// Each axis of a subview is solved on its own from what its constraints fix
// of that axis: two of the leading edge, trailing edge, centre and size give
// the placement; one edge or the centre alone takes the size from the view's
// intrinsic content size, or else keeps its current size. A constraint may
// refer to the container (its bounds) or to any view of the same window (its
// rectangle converted into the container). Constraints between siblings are
// solved by repeated passes until nothing moves; constraints that contradict
// each other are not detected: the edges win over the size. The size and
// centre are set (not the frame), so a view's transform stays as it is.

namespace velmoradine {

class UIView;

void solveConstraints(UIView& container);

}  // namespace velmoradine
