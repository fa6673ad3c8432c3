#include "editor/undo_pair.h"

#include "editor/edit_pane.h"

namespace holvane {

void UndoPair::restoreInto(EditPane &pane) const
{
    pane.replaceAllCaretAtEnd(pane.snapshot() == before ? after : before);
}

} // namespace holvane
