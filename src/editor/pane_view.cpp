// Scrolling and drawing: the pane shows rows of one height from its first
// line on screen down, each line laid out by LineLayouts.
#include "editor/edit_pane.h"

#include <QGuiApplication>
#include <QInputMethod>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>
#include <QTextLine>

#include <cmath>
#include <limits>

namespace holvane {
namespace {

// The gap around the text, as QPlainTextEdit's document margin had it.
constexpr int kMargin = 4;
constexpr int kHorizontalStep = 20;

QString boxLabel(char16_t code)
{
    if (code >= 0xDC00 && code <= 0xDCFF) // a byte the decoder kept
        return QStringLiteral("%1").arg(code - 0xDC00, 2, 16, QLatin1Char('0')).toUpper();
    if (code == 0x2028)
        return QStringLiteral("LS");
    if (code == 0x2029)
        return QStringLiteral("PS");
    return QStringLiteral("%1").arg(code, code < 0x100 ? 2 : 4, 16, QLatin1Char('0')).toUpper();
}

} // namespace

void EditPane::ensureLayouts() const
{
    if (m_wrap == Wrap::AtRightEdge && m_layouts.setWrapWidth(viewport()->width() - 2 * kMargin))
        m_layoutsStale = true;
    if (!m_layoutsStale)
        return;
    m_layoutsStale = false;
    m_layouts.reset();
}

void EditPane::layOutAgain()
{
    m_layoutsStale = true;
    if (isVisible())
        updateScrollBars();
    viewport()->update();
}

qsizetype EditPane::visibleRows() const
{
    return std::max<qsizetype>(1, (viewport()->height() - kMargin) / m_layouts.rowHeight());
}

qsizetype EditPane::topRow() const
{
    return m_layouts.rowOfLine(m_topLine) + m_topRowInLine;
}

void EditPane::scrollToRow(qsizetype row)
{
    ensureLayouts();
    row = std::clamp<qsizetype>(row, 0, std::max<qsizetype>(0, m_layouts.rowCount() - visibleRows()));
    std::tie(m_topLine, m_topRowInLine) = m_layouts.lineAtRow(row);
    updateScrollBars();
    viewport()->update();
}

void EditPane::updateScrollBars()
{
    ensureLayouts();
    QScrollBar *vertical = verticalScrollBar();
    if (!vertical->isSliderDown()) {
        // Set quietly: these follow the view, they do not move it.
        const QSignalBlocker blocker(vertical);
        vertical->setRange(0, int(std::max<qsizetype>(0, m_layouts.rowCount() - visibleRows())));
        vertical->setPageStep(int(visibleRows()));
        vertical->setSingleStep(1);
        vertical->setValue(int(topRow()));
    }
    if (m_wrap == Wrap::None) {
        QScrollBar *horizontal = horizontalScrollBar();
        const QSignalBlocker blocker(horizontal);
        const int width = viewport()->width();
        const qreal widest = std::min(m_layouts.widestLine(), qreal(std::numeric_limits<int>::max() / 2));
        horizontal->setRange(0, std::max(0, int(std::ceil(widest)) + 2 * kMargin + 1 - width));
        horizontal->setPageStep(width);
        horizontal->setSingleStep(kHorizontalStep);
        m_scrollX = std::clamp(m_scrollX, 0, horizontal->maximum());
        horizontal->setValue(m_scrollX);
    }
}

void EditPane::scrollContentsBy(int dx, int dy)
{
    ensureLayouts();
    if (dy != 0)
        std::tie(m_topLine, m_topRowInLine) = m_layouts.lineAtRow(verticalScrollBar()->value());
    if (dx != 0)
        m_scrollX = horizontalScrollBar()->value();
    viewport()->update();
    if (hasFocus())
        QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle);
}

qsizetype EditPane::layOutRows(qsizetype line, qsizetype fromRow, qsizetype rows) const
{
    m_layouts.visitParts(line, fromRow, fromRow + rows, m_scrollX - kMargin, m_scrollX + viewport()->width(),
                         [](const LineLayouts::Part &) {});
    return m_layouts.rowsOfLine(line);
}

void EditPane::walkDown(qreal limit, const std::function<bool(qsizetype, qreal, qsizetype)> &visit) const
{
    const int rowHeight = m_layouts.rowHeight();
    qreal top = kMargin - qreal(m_topRowInLine * rowHeight);
    for (qsizetype line = m_topLine; line < m_buffer.lineCount() && top < limit; ++line) {
        const qsizetype fromRow = line == m_topLine ? m_topRowInLine : 0;
        // Only the rows from the first one shown down to the limit: the top
        // line may have thousands above the screen.
        const qreal shownFrom = top + qreal(fromRow * rowHeight);
        const qsizetype rows = layOutRows(line, fromRow, qsizetype((limit - shownFrom) / rowHeight) + 1);
        if (visit(line, top, rows))
            return;
        top += qreal(rows * rowHeight);
    }
}

QPointF EditPane::lineOrigin(qsizetype line) const
{
    // A line on screen stands where painting puts it; one off screen, where
    // the estimated rows of the lines between put it.
    qreal y = qQNaN();
    if (line >= m_topLine)
        walkDown(viewport()->height() + m_layouts.rowHeight(), [&](qsizetype each, qreal top, qsizetype) {
            if (each == line)
                y = top;
            return each >= line;
        });
    if (qIsNaN(y))
        y = kMargin + qreal((m_layouts.rowOfLine(line) - topRow()) * m_layouts.rowHeight());
    return QPointF(kMargin - m_scrollX, y);
}

void EditPane::ensureCaretVisible()
{
    if (!isVisible())
        return; // shown from its start, or where it is told to go then
    ensureLayouts();
    const int rowHeight = m_layouts.rowHeight();
    const qsizetype line = m_buffer.lineOf(m_caret);
    const QRectF caret = m_layouts.caretRect(line, m_caret - m_buffer.lineStart(line));
    const qsizetype caretRow = qsizetype(caret.y() / rowHeight);
    if (line < m_topLine || (line == m_topLine && caretRow < m_topRowInLine)) {
        m_topLine = line;
        m_topRowInLine = caretRow;
    } else if (lineOrigin(line).y() + caret.y() + rowHeight > viewport()->height()) {
        // Below the screen: the caret's row becomes the last, the rows
        // above it laid out as they will show.
        qsizetype above = visibleRows() - 1;
        qsizetype at = line, row = caretRow;
        while (row < above && at > 0) {
            above -= row + 1;
            --at;
            const qsizetype rows = m_layouts.rowsOfLine(at);
            row = layOutRows(at, std::max<qsizetype>(0, rows - above - 1), above + 1) - 1;
        }
        m_topLine = at;
        m_topRowInLine = std::max<qsizetype>(0, row - above);
    }
    updateScrollBars();
    viewport()->update();
    if (m_wrap == Wrap::None) {
        const int width = viewport()->width() - 2 * kMargin;
        const int x = int(std::min(caret.x(), qreal(std::numeric_limits<int>::max() / 2)));
        if (x < m_scrollX)
            m_scrollX = std::max(0, x - width / 4);
        else if (x > m_scrollX + width - 2)
            m_scrollX = x - width + width / 4;
        updateScrollBars();
    }
}

QRect EditPane::caretRectangle() const
{
    ensureLayouts();
    const qsizetype line = m_buffer.lineOf(m_caret);
    const QRectF caret = m_layouts.caretRect(line, m_caret - m_buffer.lineStart(line));
    return caret.translated(lineOrigin(line) + viewport()->pos()).toAlignedRect();
}

QRect EditPane::characterRectangle(qsizetype position) const
{
    ensureLayouts();
    position = std::clamp<qsizetype>(position, 0, m_buffer.size());
    const qsizetype line = m_buffer.lineOf(position);
    const qsizetype offset = position - m_buffer.lineStart(line);
    QRectF left = m_layouts.caretRect(line, offset);
    if (offset < m_buffer.lineLength(line)) {
        const QRectF right = m_layouts.caretRect(line, offset + 1);
        if (right.y() == left.y())
            left.setRight(right.x());
    }
    return left.translated(lineOrigin(line)).toAlignedRect();
}

qsizetype EditPane::positionAt(QPoint point) const
{
    ensureLayouts();
    const int rowHeight = m_layouts.rowHeight();
    // On screen, the line painting put there; above or far below it, the
    // line the estimated rows put there.
    qsizetype line = -1, rowInLine = 0;
    if (point.y() >= 0 && point.y() < viewport()->height() + 2 * rowHeight)
        walkDown(point.y() + 1, [&](qsizetype each, qreal top, qsizetype rows) {
            line = each;
            rowInLine = std::min(rows - 1, qsizetype(std::floor((point.y() - top) / rowHeight)));
            return point.y() < top + qreal(rows * rowHeight);
        });
    if (line < 0) {
        const qsizetype row = topRow() + qsizetype(std::floor(qreal(point.y() - kMargin) / rowHeight));
        if (row < 0)
            return 0;
        if (row >= m_layouts.rowCount())
            return m_buffer.size();
        std::tie(line, rowInLine) = m_layouts.lineAtRow(row);
    }
    rowInLine = std::max<qsizetype>(rowInLine, 0);
    const qsizetype offset =
        m_layouts.offsetAt(line, QPointF(point.x() - kMargin + m_scrollX, qreal(rowInLine * rowHeight) + rowHeight / 2.0));
    return m_buffer.caretPosition(m_buffer.lineStart(line) + offset);
}

void EditPane::resizeEvent(QResizeEvent *e)
{
    QAbstractScrollArea::resizeEvent(e);
    if (m_wrap == Wrap::AtRightEdge)
        m_topRowInLine = 0; // the rows of the top line are laid out anew
    updateScrollBars();
}

void EditPane::showEvent(QShowEvent *e)
{
    QAbstractScrollArea::showEvent(e);
    updateScrollBars();
}

void EditPane::changeEvent(QEvent *e)
{
    QAbstractScrollArea::changeEvent(e);
    if (e->type() == QEvent::FontChange) {
        m_layouts.setFont(font());
        layOutAgain();
    } else if (e->type() == QEvent::PaletteChange || e->type() == QEvent::ActivationChange) {
        viewport()->update();
    }
}

void EditPane::paintEvent(QPaintEvent *e)
{
    ensureLayouts();
    QPainter painter(viewport());
    const QRect area = e->rect();
    painter.fillRect(area, palette().brush(QPalette::Base));
    const qsizetype rowsBefore = m_layouts.rowCount();
    const int rowHeight = m_layouts.rowHeight();
    walkDown(viewport()->height(), [&](qsizetype line, qreal top, qsizetype rows) {
        const qsizetype fromRow = line == m_topLine ? m_topRowInLine : 0;
        const qreal shownFrom = top + qreal(fromRow * rowHeight);
        if (top + qreal(rows * rowHeight) >= area.top() && top < area.bottom() + 1)
            paintLine(painter, line, top, fromRow, qsizetype((viewport()->height() - shownFrom) / rowHeight) + 1);
        return false;
    });
    m_layouts.trim();
    // Rows laid out just now may differ from what was estimated for them.
    if (m_layouts.rowCount() != rowsBefore)
        updateScrollBars();
}

void EditPane::paintLine(QPainter &painter, qsizetype line, qreal top, qsizetype fromRow, qsizetype rows)
{
    const QPalette::ColorGroup group = hasFocus() || !isActiveWindow() ? QPalette::Active : QPalette::Inactive;
    const QPalette &colors = palette();
    const qsizetype lineStart = m_buffer.lineStart(line);
    const qsizetype lineLength = m_buffer.lineLength(line);
    const qsizetype selectedFrom = selectionStart(), selectedTo = selectedFrom + selectionLength();
    const int rowHeight = m_layouts.rowHeight();
    const LineLayouts::Preedit &preedit = m_layouts.preedit();

    m_layouts.visitParts(line, fromRow, fromRow + rows, m_scrollX - kMargin, m_scrollX + viewport()->width(),
                         [&](const LineLayouts::Part &part) {
        const QPointF origin(kMargin - m_scrollX + part.x, top + qreal(part.row * rowHeight));
        const qsizetype partStart = lineStart + part.start, partEnd = partStart + part.length;
        // Where the layout has a character of the text: after a reading, further on.
        auto inLayout = [&](qsizetype local) {
            return part.reading >= 0 && local > part.reading ? local + preedit.text.size() : local;
        };

        QList<QTextLayout::FormatRange> selections;
        const qsizetype from = std::max(selectedFrom, partStart), to = std::min(selectedTo, partEnd);
        if (from < to) {
            QTextLayout::FormatRange range;
            range.start = int(inLayout(from - partStart));
            range.length = int(inLayout(to - partStart) - range.start);
            range.format.setBackground(colors.brush(group, QPalette::Highlight));
            range.format.setForeground(colors.brush(group, QPalette::HighlightedText));
            selections << range;
        }
        painter.setPen(colors.color(group, QPalette::Text));
        part.layout->draw(&painter, origin, selections);

        // Characters with nothing to draw, as a box with their code.
        if (!part.boxes->empty()) {
            QFont small = font();
            small.setPixelSize(std::max(6, rowHeight * 9 / 20));
            painter.save();
            painter.setFont(small);
            for (const auto &[at, code] : *part.boxes) {
                const int position = int(inLayout(at));
                const QTextLine row = part.layout->lineForTextPosition(position);
                const qreal x0 = row.cursorToX(position), x1 = row.cursorToX(position + 1);
                const QRectF box(origin.x() + x0 + 1, origin.y() + row.y() + 2, std::max<qreal>(x1 - x0 - 2, 4), rowHeight - 4);
                const bool selected = partStart + at >= selectedFrom && partStart + at < selectedTo;
                painter.setPen(colors.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
                painter.drawRect(box);
                painter.drawText(box, Qt::AlignCenter, boxLabel(code));
            }
            painter.restore();
        }

        const bool lastPart = part.start + part.length == lineLength;
        // A selected line end shows as a little selected space after the line.
        if (lastPart && selectedFrom <= lineStart + lineLength && selectedTo > lineStart + lineLength) {
            const QTextLine row = part.layout->lineAt(part.layout->lineCount() - 1);
            const qreal x = row.cursorToX(int(inLayout(part.length)));
            painter.fillRect(QRectF(origin.x() + x, origin.y() + row.y(), m_layouts.narrowWidth() / 2, rowHeight),
                             colors.brush(group, QPalette::Highlight));
        }
        for (const qsizetype caret : {m_caret, m_dropCaret}) {
            const bool here = caret >= partStart && (caret < partEnd || (lastPart && caret == partEnd));
            const bool shown = caret == m_dropCaret || (hasFocus() && m_caretShown);
            if (!here || !shown || caret < 0)
                continue;
            const QRectF rect = m_layouts.caretRect(line, caret - lineStart);
            painter.fillRect(QRectF(kMargin - m_scrollX + rect.x(), top + rect.y(), 1, rowHeight),
                             colors.color(group, QPalette::Text));
        }
    });
}

} // namespace holvane
