// The editing commands of the menu bar, each under the undo protocol.
#include "app/main_window.h"

#include "editor/edit_pane.h"
#include "commands/pane_commands.h"

namespace holvane {

void Form1::pairedTag_Click(const PairedTag &tag)
{
    editActivePane([&](EditPane &pane) { wrapSelection(pane, tag); });
}

void Form1::singleTag_Click(const SingleTag &tag)
{
    editActivePane([&](EditPane &pane) { insertSingleTag(pane, tag); });
}

void Form1::Tagerase_Click()
{
    editActivePane([](EditPane &pane) { removeTagPair(pane); });
}

void Form1::cuts_Click()
{
    editActivePane([this](EditPane &pane) { cutSelection(pane, m_services.clipboard); });
}

void Form1::copys_Click()
{
    editActivePane([this](EditPane &pane) { copySelection(pane, m_services.clipboard); });
}

void Form1::pattes_Click()
{
    editActivePane([this](EditPane &pane) { pasteClipboard(pane, m_services.clipboard); });
}

void Form1::deleatem_Click()
{
    editActivePane([](EditPane &pane) { deleteSelection(pane); });
}

void Form1::Allok_Click()
{
    selectAll(activePane()); // selecting changes no text: no snapshots
}

void Form1::timesnow_Click()
{
    editActivePane([this](EditPane &pane) { insertTime(pane, m_services.clock.now()); });
}

void Form1::daysnow_Click()
{
    editActivePane([this](EditPane &pane) { insertDate(pane, m_services.clock.now()); });
}

} // namespace holvane
