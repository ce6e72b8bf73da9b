#pragma once
// Names a screen reader says for controls that stand in a grid under column
// captions and beside a row caption, as the editor's and Null/Span's boxes
// do: "Output #1, Set Point, Low". A control that has a name keeps it.

class QGridLayout;

namespace kelvt {

void NameGridControls(QGridLayout* grid);

}  // namespace kelvt
