#include "app/main_window.h"

#include "app/document_recovery.h"
#include "editor/edit_pane.h"
#include "platform/twips.h"
#include "dialogs/display_settings_dialog.h"
#include "dialogs/sheet_count_dialog.h"
#include "dialogs/about_dialog.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QInputMethod>
#include <QMenu>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>

namespace holvane {
namespace {

constexpr int kStartWidthTwips = 8985;
constexpr int kStartHeightTwips = 6165;
const QString kStartCaption = QStringLiteral("holvas v1.20");
const QString kFileFilter = QStringLiteral("html file|*.htm;*.html|text file|*.txt|all file|*.*");

} // namespace

MainWindow::MainWindow(Services services, QWidget *parent)
    : QMainWindow(parent), m_services(services), m_fileDialog(services.dialogs, kFileFilter)
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(kStartCaption);
    setWindowIcon(QIcon(QStringLiteral(":/holvane/holvane.ico")));

    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    client->installEventFilter(this);

    m_unwrappedPane = new EditPane(QStringLiteral("unwrappedPane"), EditPane::Wrap::None, client);
    m_wrappingPane = new EditPane(QStringLiteral("wrappingPane"), EditPane::Wrap::AtRightEdge, client);
    m_wrappingPane->hide();
    // What a screen reader says for each pane, in the words of the menu.
    m_unwrappedPane->setAccessibleName(QStringLiteral("本文"));
    m_wrappingPane->setAccessibleName(QStringLiteral("本文 (右端で折り返す)"));
    setTabOrder(m_unwrappedPane, m_wrappingPane);
    m_unwrappedPane->setFocus();

    for (EditPane *pane : {m_unwrappedPane, m_wrappingPane}) {
        // Keys, commits, drops and pastes of the mouse record the undo snapshots.
        connect(pane, &EditPane::beforeInput, this, [this](const TextSnapshot &text) { m_undo.before = text; });
        connect(pane, &EditPane::afterInput, this, [this](const TextSnapshot &text) { m_undo.after = text; });
        connect(pane, &EditPane::mouseUp, this,
                [this, pane](Qt::MouseButton b, Qt::KeyboardModifiers m, QPoint at) { offerTagMenu(*pane, b, m, at); });
        // Cut, Copy and Delete follow the selection as it changes, not only
        // when the edit menu opens: their keys then act on whatever is
        // selected, and stay dead while nothing is.
        connect(pane, &EditPane::copyAvailable, this, [this, pane] {
            if (pane == &activePane())
                updateEditActions();
        });
    }

    buildMenus();
    watchForRecovery();
}

MainWindow::~MainWindow()
{
    m_recovery.reset(); // writes what is left while the panes are still there
}

void MainWindow::openFromCommandLine(const QString &argument)
{
    if (!argument.isEmpty() && loadDocument(argument, false)) {
        setDocumentCaption(argument);
        m_fileDialog.path = argument;
    }
    resize(twips(kStartWidthTwips, this), twips(kStartHeightTwips, this));
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    // The start size is the outer size, frame included; the frame is known
    // only once a window manager has put one around the window.
    QTimer::singleShot(0, this, [this] {
        const QSize frame = frameGeometry().size() - geometry().size();
        const QSize outer(twips(kStartWidthTwips, this), twips(kStartHeightTwips, this));
        resize(outer - frame);
        if (const QScreen *s = screen())
            move(s->availableGeometry().center() - QPoint(outer.width() / 2, outer.height() / 2));
        if (!m_pendingNotice.isEmpty())
            m_services.messages.information(this, std::exchange(m_pendingNotice, QString()));
    });
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == centralWidget() && event->type() == QEvent::Resize)
        layOutPanes();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::layOutPanes()
{
    const QSize client = centralWidget()->size();
    m_unwrappedPane->setGeometry(0, 0, client.width(), client.height());
    m_wrappingPane->setGeometry(0, 0, client.width(), client.height());
}

void MainWindow::quit()
{
    close();
    QCoreApplication::quit();
}

EditPane &MainWindow::activePane() const
{
    return action("edit.wrap")->isChecked() ? *m_wrappingPane : *m_unwrappedPane;
}

void MainWindow::editActivePane(const std::function<void(EditPane &)> &change)
{
    EditPane &pane = activePane();
    // A composition still open in the input method is committed first, so
    // that the command neither drops it nor finds it typed twice later.
    QGuiApplication::inputMethod()->commit();
    m_undo.before = pane.snapshot();
    change(pane);
    m_undo.after = pane.snapshot();
}

void MainWindow::undo()
{
    QGuiApplication::inputMethod()->commit();
    m_undo.restoreInto(activePane());
}

void MainWindow::toggleWrap()
{
    QAction *wrap = action("edit.wrap");
    wrap->setChecked(!wrap->isChecked());
}

void MainWindow::showPaneForWrapState(bool wrapping)
{
    // A reading still open goes into the pane it was typed in, before that
    // pane's text is carried over.
    QGuiApplication::inputMethod()->commit();
    EditPane *from = wrapping ? m_unwrappedPane : m_wrappingPane;
    EditPane *to = wrapping ? m_wrappingPane : m_unwrappedPane;
    const bool hadFocus = from->hasFocus();
    const auto copying = m_recovery->replacingText();
    to->setSnapshot(from->snapshot());
    to->show();
    from->hide();
    updateEditActions();
    if (hadFocus)
        to->setFocus();
}

void MainWindow::offerTagMenu(EditPane &pane, Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint at)
{
    if (!pane.hasSelection() || button != Qt::LeftButton || modifiers != Qt::ShiftModifier)
        return;
    action("tag.separator_cancel")->setVisible(true);
    action("tag.cancel")->setVisible(true);
    menu("tag")->exec(at);
    action("tag.separator_cancel")->setVisible(false);
    action("tag.cancel")->setVisible(false);
}

void MainWindow::updateEditActions()
{
    const bool selected = activePane().hasSelection();
    for (const char *id : {"edit.delete", "edit.copy", "edit.cut"})
        action(id)->setEnabled(selected);
}

void MainWindow::showSheetCount()
{
    SheetCountDialog dialog(activePane().text(), this);
    dialog.exec();
}

void MainWindow::showDisplaySettings()
{
    if (!m_displaySettings)
        m_displaySettings = new DisplaySettingsDialog(m_services.dialogs, {m_unwrappedPane, m_wrappingPane}, this);
    m_displaySettings->exec();
}

void MainWindow::showAbout()
{
    AboutDialog dialog(this);
    dialog.exec();
}

} // namespace holvane
