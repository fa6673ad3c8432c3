#pragma once

#include "editor/text_buffer.h"

namespace holvane {

class EditPane;

// The one-step undo: whole-text snapshots of the active pane before and
// after the last recorded change. Undo puts back whichever of the two the
// pane does not show now, so it also serves as its own redo. The snapshots
// share the pane's pieces, so keeping them costs no copy of the text.
struct UndoPair {
    TextSnapshot before;
    TextSnapshot after;

    void restoreInto(EditPane &pane) const;
};

} // namespace holvane
