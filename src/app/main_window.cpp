#include "app/main_window.h"

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

Form1::Form1(Services services, QWidget *parent)
    : QMainWindow(parent), m_services(services), CD(services.dialogs, kFileFilter)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kStartCaption);
    setWindowIcon(QIcon(QStringLiteral(":/holvane/holvane.ico")));

    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    client->installEventFilter(this);

    Mains = new EditPane(QStringLiteral("Mains"), EditPane::Wrap::None, client);
    Mains2 = new EditPane(QStringLiteral("Mains2"), EditPane::Wrap::AtRightEdge, client);
    Mains2->hide();
    setTabOrder(Mains, Mains2);
    Mains->setFocus();

    connect(Mains, &EditPane::keyDown, this, &Form1::Mains_KeyDown);
    connect(Mains, &EditPane::keyUp, this, &Form1::Mains_KeyUp);
    connect(Mains2, &EditPane::keyDown, this, &Form1::Mains2_KeyDown);
    connect(Mains2, &EditPane::keyUp, this, &Form1::Mains2_KeyUp);
    connect(Mains, &EditPane::mouseUp, this,
            [this](Qt::MouseButton b, Qt::KeyboardModifiers m, QPoint at) { paneMouseUp(*Mains, b, m, at); });
    connect(Mains2, &EditPane::mouseUp, this,
            [this](Qt::MouseButton b, Qt::KeyboardModifiers m, QPoint at) { paneMouseUp(*Mains2, b, m, at); });

    buildMenus();
}

Form1::~Form1() = default;

void Form1::Form_Load(const QString &argument)
{
    if (!argument.isEmpty() && loadDocument(argument, false)) {
        setDocumentCaption(argument);
        CD.FileName = argument;
    }
    resize(twips(kStartWidthTwips, this), twips(kStartHeightTwips, this));
}

void Form1::showEvent(QShowEvent *event)
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

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == centralWidget() && event->type() == QEvent::Resize)
        Form_Resize();
    return QMainWindow::eventFilter(watched, event);
}

void Form1::Form_Resize()
{
    const QSize client = centralWidget()->size();
    Mains->setGeometry(0, 0, client.width(), client.height());
    Mains2->setGeometry(0, 0, client.width(), client.height());
}

void Form1::ends_Click()
{
    close();
    QCoreApplication::quit();
}

EditPane &Form1::activePane() const
{
    return item("rightturn")->isChecked() ? *Mains2 : *Mains;
}

void Form1::editActivePane(const std::function<void(EditPane &)> &change)
{
    EditPane &pane = activePane();
    // A composition still open in the input method is committed first, so
    // that the command neither drops it nor finds it typed twice later.
    QGuiApplication::inputMethod()->commit();
    m_undo.before = pane.Text();
    change(pane);
    m_undo.after = pane.Text();
}

void Form1::Mains_KeyDown() { m_undo.before = Mains->Text(); }
void Form1::Mains_KeyUp() { m_undo.after = Mains->Text(); }
void Form1::Mains2_KeyDown() { m_undo.before = Mains2->Text(); }
void Form1::Mains2_KeyUp() { m_undo.after = Mains2->Text(); }

void Form1::undo_Click()
{
    QGuiApplication::inputMethod()->commit();
    m_undo.restoreInto(activePane());
}

void Form1::rightturn_Click()
{
    QAction *wrap = item("rightturn");
    wrap->setChecked(!wrap->isChecked());
}

void Form1::showPaneForWrapState(bool wrapping)
{
    EditPane *from = wrapping ? Mains : Mains2;
    EditPane *to = wrapping ? Mains2 : Mains;
    const bool hadFocus = from->hasFocus();
    to->setText(from->Text());
    to->show();
    from->hide();
    if (hadFocus)
        to->setFocus();
}

void Form1::paneMouseUp(EditPane &pane, Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint at)
{
    if (pane.SelText().isEmpty() || button != Qt::LeftButton || modifiers != Qt::ShiftModifier)
        return;
    item("hihihi")->setVisible(true);
    item("Canceler")->setVisible(true);
    menu("html")->exec(at);
    item("hihihi")->setVisible(false);
    item("Canceler")->setVisible(false);
}

void Form1::edits_Click()
{
    const bool selected = !activePane().SelText().isEmpty();
    for (const char *name : {"deleatem", "copys", "cuts"})
        item(name)->setEnabled(selected);
}

void Form1::kaku_Click()
{
    Form4 dialog(activePane().Text(), this);
    dialog.exec();
}

void Form1::fonts_Click()
{
    if (!m_form3)
        m_form3 = new Form3(m_services.dialogs, {Mains, Mains2}, this);
    m_form3->exec();
}

void Form1::versionman_Click()
{
    Form5 dialog(this);
    dialog.exec();
}

} // namespace holvane
