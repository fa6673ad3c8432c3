#include "commands/pane_commands.h"

#include "commands/clock_text.h"
#include "commands/tag_tables.h"
#include "editor/edit_pane.h"
#include "platform/services.h"

#include <QDateTime>
#include <QLocale>

namespace holvane {

void wrapSelection(EditPane &pane, const PairedTag &tag)
{
    const QString selected = pane.SelText();
    if (selected.isEmpty())
        return;
    pane.setSelText(QString::fromUtf8(tag.opening) + selected + QString::fromUtf8(tag.closing));
}

void insertSingleTag(EditPane &pane, const SingleTag &tag)
{
    pane.setSelText(QString::fromUtf8(tag.text));
}

void removeTagPair(EditPane &pane)
{
    if (const auto kept = textBetweenFirstTags(pane.SelText()))
        pane.setSelText(*kept);
}

void copySelection(const EditPane &pane, Clipboard &clipboard)
{
    clipboard.setText(pane.SelText());
}

void cutSelection(EditPane &pane, Clipboard &clipboard)
{
    clipboard.setText(pane.SelText());
    pane.setSelText(QString());
}

void pasteClipboard(EditPane &pane, const Clipboard &clipboard)
{
    pane.setSelText(PaneText::withOwnLineEnds(clipboard.text()));
}

void deleteSelection(EditPane &pane)
{
    if (!pane.SelText().isEmpty())
        pane.setSelText(QString());
}

void selectAll(EditPane &pane)
{
    pane.setSelStart(0);
    pane.setSelLength(pane.Text().size());
}

void insertTime(EditPane &pane, const QDateTime &now)
{
    pane.setSelText(timeText(now.time(), QLocale()));
}

void insertDate(EditPane &pane, const QDateTime &now)
{
    pane.setSelText(dateText(now.date()));
}

} // namespace holvane
