#pragma once

#include <QString>

namespace holvane {

class EditPane;

// What a screen reader gets of an edit pane: its text, the caret, the
// selection and their changes, through Qt's accessibility (AT-SPI on Linux).

// Makes Qt give every edit pane its text interfaces; once is enough.
void registerPaneAccessibility();

// After a change of [from, from + removed) into `inserted` characters.
void tellAccessibility(EditPane *pane, qsizetype from, qsizetype removed, const QString &removedText,
                       qsizetype inserted);
// After the caret or the selection moved.
void tellAccessibilityCaret(EditPane *pane);

} // namespace holvane
