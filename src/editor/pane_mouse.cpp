// The mouse: the caret and selections by click, drag, double and triple
// click; dragging text within the pane and to and from other programs; the
// middle button's paste of the X11 primary selection.
#include "editor/edit_pane.h"

#include "editor/line_ends.h"

#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyleHints>
#include <QTextBoundaryFinder>
#include <QTimer>

namespace holvane {
namespace {

constexpr int kAutoScrollInterval = 50;
constexpr qsizetype kWordWindow = 256;

// The selected text, read from its snapshot only when someone asks for it:
// a selection of a whole big page costs nothing until it is pasted.
class SelectionMimeData : public QMimeData {
public:
    SelectionMimeData(const EditPane *pane, TextSnapshot text, qsizetype from, qsizetype length)
        : m_pane(pane), m_text(std::move(text)), m_from(from), m_length(length)
    {
    }
    const EditPane *pane() const { return m_pane; }
    QStringList formats() const override { return {QStringLiteral("text/plain")}; }
    bool hasFormat(const QString &mime) const override { return mime == QLatin1String("text/plain"); }

protected:
    QVariant retrieveData(const QString &mime, QMetaType type) const override
    {
        if (mime != QLatin1String("text/plain"))
            return {};
        const QString text = m_text.mid(m_from, m_length);
        return type.id() == QMetaType::QByteArray ? QVariant(text.toUtf8()) : QVariant(text);
    }

private:
    const EditPane *m_pane;
    TextSnapshot m_text;
    qsizetype m_from, m_length;
};

} // namespace

QMimeData *EditPane::createMimeDataFromSelection() const
{
    return new SelectionMimeData(this, snapshot(), selectionStart(), selectionLength());
}

bool EditPane::isOwnDrag(const QMimeData *data) const
{
    const auto *own = dynamic_cast<const SelectionMimeData *>(data);
    return own && own->pane() == this;
}

void EditPane::mousePressEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton)
        return;
    commitReading();
    const QPoint at = e->position().toPoint();
    const qsizetype position = positionAt(at);
    const bool triple = m_sinceDoubleClick.isValid()
                        && m_sinceDoubleClick.elapsed() < QGuiApplication::styleHints()->mouseDoubleClickInterval()
                        && (at - m_pressedAt).manhattanLength() < QApplication::startDragDistance();
    m_sinceDoubleClick.invalidate();
    m_pressedAt = at;
    m_selecting = true;
    if (triple) {
        m_unit = Unit::Line;
        selectUnitAt(position);
    } else if (e->modifiers() & Qt::ShiftModifier) {
        m_unit = Unit::Character;
        setCaret(position, m_anchor);
    } else if (hasSelection() && position > selectionStart() && position < selectionStart() + selectionLength()) {
        // Pressed on the selection: a drag may start.
        m_mayDrag = true;
        m_selecting = false;
    } else {
        m_unit = Unit::Character;
        setCaret(position, position);
    }
}

void EditPane::mouseDoubleClickEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton)
        return;
    commitReading();
    m_pressedAt = e->position().toPoint();
    m_mayDrag = false;
    m_selecting = true;
    m_unit = Unit::Word;
    selectUnitAt(positionAt(m_pressedAt));
    m_sinceDoubleClick.start();
}

void EditPane::mouseMoveEvent(QMouseEvent *e)
{
    const QPoint at = e->position().toPoint();
    if (m_mayDrag && (e->buttons() & Qt::LeftButton)) {
        if ((at - m_pressedAt).manhattanLength() >= QApplication::startDragDistance()) {
            m_mayDrag = false;
            startDrag();
        }
        return;
    }
    if (!m_selecting || !(e->buttons() & Qt::LeftButton))
        return;
    extendSelectionTo(positionAt(at));
    // Outside the pane the selection goes on growing while the view scrolls.
    if (viewport()->rect().contains(at))
        m_autoScroll.stop();
    else if (!m_autoScroll.isActive())
        m_autoScroll.start(kAutoScrollInterval, this);
}

void EditPane::mouseReleaseEvent(QMouseEvent *e)
{
    m_autoScroll.stop();
    const qsizetype position = positionAt(e->position().toPoint());
    if (e->button() == Qt::LeftButton) {
        if (m_mayDrag) // a click on the selection, without a drag: the caret goes there
            setCaret(position, position);
        m_mayDrag = false;
        m_selecting = false;
    } else if (e->button() == Qt::MiddleButton && QGuiApplication::clipboard()->supportsSelection()) {
        pasteAt(position, QGuiApplication::clipboard()->text(QClipboard::Selection));
    }
    emit mouseUp(e->button(), e->modifiers(), e->globalPosition().toPoint());
}

void EditPane::selectUnitAt(qsizetype position)
{
    // The word under the pointer, or its line with the line end.
    const qsizetype line = m_buffer.lineOf(position);
    const auto [from, to] = m_unit == Unit::Word
                                ? m_buffer.unitAround(position, QTextBoundaryFinder::Word, kWordWindow)
                                : std::pair{m_buffer.lineStart(line), m_buffer.lineStart(line + 1)};
    m_unitAnchorFrom = from;
    m_unitAnchorTo = to;
    setCaret(to, from);
}

void EditPane::extendSelectionTo(qsizetype position)
{
    if (m_unit == Unit::Character) {
        setCaret(position, m_anchor);
        return;
    }
    const qsizetype from = m_unitAnchorFrom, to = m_unitAnchorTo;
    selectUnitAt(position);
    const qsizetype unitFrom = m_unitAnchorFrom, unitTo = m_unitAnchorTo;
    m_unitAnchorFrom = from;
    m_unitAnchorTo = to;
    if (unitFrom < from)
        setCaret(unitFrom, to);
    else
        setCaret(std::max(unitTo, to), from);
}

void EditPane::autoScroll()
{
    const QPoint at = viewport()->mapFromGlobal(QCursor::pos());
    const int rowHeight = m_layouts.rowHeight();
    if (at.y() < 0)
        scrollToRow(topRow() - 1 - (-at.y()) / rowHeight);
    else if (at.y() > viewport()->height())
        scrollToRow(topRow() + 1 + (at.y() - viewport()->height()) / rowHeight);
    if (m_wrap == Wrap::None && (at.x() < 0 || at.x() > viewport()->width())) {
        m_scrollX = std::max(0, m_scrollX + (at.x() < 0 ? at.x() : at.x() - viewport()->width()));
        updateScrollBars();
    }
    const QPoint inside(std::clamp(at.x(), 0, viewport()->width()), std::clamp(at.y(), 0, viewport()->height() - 1));
    extendSelectionTo(positionAt(inside));
}

void EditPane::startDrag()
{
    const qsizetype from = selectionStart(), length = selectionLength();
    auto *drag = new QDrag(this);
    drag->setMimeData(createMimeDataFromSelection());
    m_droppedHere = false;
    const Qt::DropAction done = drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
    // Moved to another program: the text leaves this one. A move within the
    // pane was done whole by the drop.
    if (done == Qt::MoveAction && !m_droppedHere)
        recordedInput([&] { edit(from, length, {}); });
}

void EditPane::dragEnterEvent(QDragEnterEvent *e)
{
    dragMoveEvent(e);
}

void EditPane::dragMoveEvent(QDragMoveEvent *e)
{
    // Text only; where it would go shows as a caret of its own.
    if (!e->mimeData()->hasText()) {
        e->ignore();
        return;
    }
    e->acceptProposedAction();
    m_dropCaret = positionAt(e->position().toPoint());
    viewport()->update();
}

void EditPane::dragLeaveEvent(QDragLeaveEvent *)
{
    m_dropCaret = -1;
    viewport()->update();
}

void EditPane::dropEvent(QDropEvent *e)
{
    m_dropCaret = -1;
    viewport()->update();
    if (!e->mimeData()->hasText()) {
        e->ignore();
        return;
    }
    commitReading();
    const qsizetype at = positionAt(e->position().toPoint());
    const bool here = isOwnDrag(e->mimeData());
    const bool move = here && e->dropAction() == Qt::MoveAction;
    const qsizetype from = selectionStart(), length = selectionLength();
    // Text from another program gets the editor's line ends, as a paste does.
    const QString text = here ? e->mimeData()->text() : withOwnLineEnds(e->mimeData()->text());
    m_droppedHere = here;
    e->setDropAction(move ? Qt::MoveAction : Qt::CopyAction);
    e->accept();
    if (move && at >= from && at <= from + length)
        return; // onto itself: nothing moves
    recordedInput([&] {
        qsizetype to = at;
        if (move) {
            edit(from, length, {});
            if (at > from)
                to -= length;
        }
        edit(to, 0, text);
        setCaret(to + text.size(), to); // the dropped text, selected
    });
    setFocus(Qt::MouseFocusReason);
}

void EditPane::pasteAt(qsizetype position, const QString &text)
{
    if (text.isEmpty())
        return;
    commitReading();
    recordedInput([&] { edit(m_buffer.caretPosition(position), 0, withOwnLineEnds(text)); });
}

void EditPane::offerPrimarySelection()
{
    // On X11 a selection is the primary selection, which the middle button
    // pastes elsewhere; offered once the selection settles, and read lazily.
    if (m_primaryPending || !QGuiApplication::clipboard()->supportsSelection())
        return;
    m_primaryPending = true;
    QTimer::singleShot(0, this, [this] {
        m_primaryPending = false;
        if (hasSelection())
            QGuiApplication::clipboard()->setMimeData(createMimeDataFromSelection(), QClipboard::Selection);
    });
}

} // namespace holvane
