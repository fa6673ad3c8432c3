#pragma once

#include <QString>

namespace holvane {

class EditPane;

// The one-step undo: whole-text snapshots of the active pane before and
// after the last recorded change. Undo puts back whichever of the two the
// pane does not show now, so it also serves as its own redo.
struct UndoPair {
    QString before;
    QString after;

    void restoreInto(EditPane &pane) const;
};

} // namespace holvane
