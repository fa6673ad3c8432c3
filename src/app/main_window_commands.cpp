// The editing commands of the menu bar, each under the undo protocol.
#include "app/main_window.h"

#include "editor/edit_pane.h"
#include "commands/pane_commands.h"

namespace holvane {

void MainWindow::wrapInTag(const PairedTag &tag)
{
    editActivePane([&](EditPane &pane) { wrapSelection(pane, tag); });
}

void MainWindow::insertTag(const SingleTag &tag)
{
    editActivePane([&](EditPane &pane) { insertSingleTag(pane, tag); });
}

void MainWindow::removeTags()
{
    editActivePane([](EditPane &pane) { removeTagPair(pane); });
}

void MainWindow::cut()
{
    editActivePane([this](EditPane &pane) { cutSelection(pane, m_services.clipboard); });
}

void MainWindow::copy()
{
    editActivePane([this](EditPane &pane) { copySelection(pane, m_services.clipboard); });
}

void MainWindow::paste()
{
    editActivePane([this](EditPane &pane) { pasteClipboard(pane, m_services.clipboard); });
}

void MainWindow::deleteSelected()
{
    editActivePane([](EditPane &pane) { deleteSelection(pane); });
}

void MainWindow::selectAll()
{
    holvane::selectAll(activePane()); // selecting changes no text: no snapshots
}

void MainWindow::insertTime()
{
    editActivePane([this](EditPane &pane) { holvane::insertTime(pane, m_services.clock.now()); });
}

void MainWindow::insertDate()
{
    editActivePane([this](EditPane &pane) { holvane::insertDate(pane, m_services.clock.now()); });
}

} // namespace holvane
