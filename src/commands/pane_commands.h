#pragma once

#include <QString>

class QDateTime;

namespace holvane {

class Clipboard;
class EditPane;
struct PairedTag;
struct SingleTag;

// What each editing command does to the pane it works on. The undo
// snapshots around them are the caller's.

void wrapSelection(EditPane &pane, const PairedTag &tag);
void insertSingleTag(EditPane &pane, const SingleTag &tag);
void removeTagPair(EditPane &pane);

void cutSelection(EditPane &pane, Clipboard &clipboard);
void copySelection(const EditPane &pane, Clipboard &clipboard);
void pasteClipboard(EditPane &pane, const Clipboard &clipboard);
void deleteSelection(EditPane &pane);
void selectAll(EditPane &pane);
void insertTime(EditPane &pane, const QDateTime &now);
void insertDate(EditPane &pane, const QDateTime &now);

} // namespace holvane
