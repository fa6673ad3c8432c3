#include "commands/pane_commands.h"

#include "commands/clock_text.h"
#include "commands/tag_tables.h"
#include "editor/edit_pane.h"
#include "editor/line_ends.h"
#include "platform/services.h"

#include <QDateTime>
#include <QLocale>

namespace holvane {

void wrapSelection(EditPane &pane, const PairedTag &tag)
{
    if (pane.hasSelection())
        pane.surroundSelection(QString::fromUtf8(tag.opening), QString::fromUtf8(tag.closing));
}

void insertSingleTag(EditPane &pane, const SingleTag &tag)
{
    pane.replaceSelection(QString::fromUtf8(tag.text));
}

void removeTagPair(EditPane &pane)
{
    if (const auto kept = textBetweenFirstTags(pane.selectedText()))
        pane.replaceSelection(*kept);
}

void copySelection(const EditPane &pane, Clipboard &clipboard)
{
    clipboard.setText(pane.selectedText());
}

void cutSelection(EditPane &pane, Clipboard &clipboard)
{
    clipboard.setText(pane.selectedText());
    pane.replaceSelection(QString());
}

void pasteClipboard(EditPane &pane, const Clipboard &clipboard)
{
    pane.replaceSelection(withOwnLineEnds(clipboard.text()));
}

void deleteSelection(EditPane &pane)
{
    if (pane.hasSelection())
        pane.replaceSelection(QString());
}

void selectAll(EditPane &pane)
{
    pane.setSelectionStart(0);
    pane.setSelectionLength(pane.buffer().size());
}

void insertTime(EditPane &pane, const QDateTime &now)
{
    pane.replaceSelection(timeText(now.time(), QLocale()));
}

void insertDate(EditPane &pane, const QDateTime &now)
{
    pane.replaceSelection(dateText(now.date()));
}

} // namespace holvane
