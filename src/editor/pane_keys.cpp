// Keys: moving the caret, selecting, typing and deleting, each a call of
// edit(); and the undo pair told around every key that reaches the pane.
#include "editor/edit_pane.h"

#include "editor/line_ends.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QTextBoundaryFinder>
#include <QTextLine>

#include <algorithm>
#include <cstdlib>

namespace holvane {
namespace {

// The hardware key where the platform tells it: the key code of a release can
// differ from its press when a modifier went up in between.
quint64 keyIdentity(const QKeyEvent *e)
{
    return e->nativeScanCode() != 0 ? (quint64(1) << 32 | e->nativeScanCode()) : quint64(uint(e->key()));
}

// Alt alone only takes the keyboard to the menu bar. Were it recorded like
// other keys, its press would overwrite the snapshot of the last change just
// before the user reaches Undo in the edit menu, and Undo could never be
// reached from the keyboard.
bool opensMenuBar(const QKeyEvent *e)
{
    return e->key() == Qt::Key_Alt || e->key() == Qt::Key_AltGr;
}

// Whether a key's text is typed into the pane: the rule Qt's own text edits
// follow (QInputControl::isAcceptableInput).
bool typesText(const QKeyEvent *e)
{
    const QString text = e->text();
    if (text.isEmpty())
        return false;
    const QChar first = text.front();
    if (first.category() == QChar::Other_Format)
        return true;
    const Qt::KeyboardModifiers modifiers = e->modifiers();
    if (modifiers == Qt::ControlModifier || modifiers == (Qt::ShiftModifier | Qt::ControlModifier))
        return false;
    return first.isPrint() || first.category() == QChar::Other_PrivateUse || first == u'\t'
           || (first.isHighSurrogate() && text.size() > 1 && text[1].isLowSurrogate());
}

// A window of text around a position, for the boundary finders.
constexpr qsizetype kWindow = 64;

} // namespace

bool EditPane::isReserved(const QKeyEvent *e) const
{
    // The keypad's Delete (NumLock off) is the menu's Del all the same.
    const QKeySequence pressed(QKeyCombination(e->modifiers() & ~Qt::KeypadModifier, Qt::Key(e->key())));
    return std::any_of(m_reserved.cbegin(), m_reserved.cend(), [&](const QKeySequence &key) { return key == pressed; });
}

void EditPane::keyPressEvent(QKeyEvent *e)
{
    m_withdrawn.clear();
    m_keysDown.insert(keyIdentity(e));
    if (!opensMenuBar(e))
        emit beforeInput(snapshot());
    if (isReserved(e) || moveByKey(e) || editByKey(e)) {
        e->accept();
        return;
    }
    e->ignore();
}

void EditPane::keyReleaseEvent(QKeyEvent *e)
{
    // A release whose press never came here chose a menu item (the U of Alt,
    // E, U): recording it would overwrite the snapshot that command just used.
    if (m_keysDown.remove(keyIdentity(e)) && !opensMenuBar(e))
        emit afterInput(snapshot());
    QAbstractScrollArea::keyReleaseEvent(e);
}

qsizetype EditPane::nextCharacter(qsizetype position) const
{
    // A whole grapheme: a character with its combining marks, a surrogate pair, a CR LF.
    const QString window = m_buffer.mid(position, kWindow);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, window);
    finder.setPosition(0);
    const qsizetype next = finder.toNextBoundary();
    return m_buffer.caretPosition(position + (next > 0 ? next : std::min<qsizetype>(1, window.size())));
}

qsizetype EditPane::previousCharacter(qsizetype position) const
{
    const qsizetype from = std::max<qsizetype>(0, position - kWindow);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, m_buffer.mid(from, position - from));
    finder.toEnd();
    const qsizetype previous = finder.toPreviousBoundary();
    return m_buffer.caretPosition(previous >= 0 ? from + previous : std::max<qsizetype>(0, position - 1));
}

qsizetype EditPane::wordBoundary(qsizetype position, bool forward) const
{
    // Words as Qt's own text edits find them (Japanese too), within the line;
    // at a line's edge, on to the next or the previous line.
    ensureLayouts();
    const qsizetype line = m_buffer.lineOf(position);
    const qsizetype start = m_buffer.lineStart(line);
    const qsizetype length = m_buffer.lineLength(line);
    const qsizetype offset = position - start;
    if (forward && offset >= length)
        return line + 1 < m_buffer.lineCount() ? m_buffer.lineStart(line + 1) : position;
    if (!forward && offset == 0)
        return line > 0 ? m_buffer.lineEnd(line - 1) : 0;
    const LineLayouts::Part part = m_layouts.partAt(line, forward ? offset : offset - 1);
    const int local = int(offset - part.start);
    const int moved = forward ? part.layout->nextCursorPosition(local, QTextLayout::SkipWords)
                              : part.layout->previousCursorPosition(local, QTextLayout::SkipWords);
    return m_buffer.caretPosition(start + part.start + moved);
}

qsizetype EditPane::verticalMove(qsizetype from, qsizetype rows)
{
    ensureLayouts();
    const qsizetype line = m_buffer.lineOf(from);
    const QRectF caret = m_layouts.caretRect(line, from - m_buffer.lineStart(line));
    if (m_desiredX < 0)
        m_desiredX = caret.x();
    const qsizetype row = m_layouts.rowOfLine(line) + qsizetype(caret.y() / m_layouts.rowHeight());
    const qsizetype target = row + rows;
    // Past the first or the last row: to the start or the end of the text.
    if (target < 0)
        return 0;
    if (target >= m_layouts.rowCount())
        return m_buffer.size();
    const auto [toLine, rowInLine] = m_layouts.lineAtRow(target);
    const int height = m_layouts.rowHeight();
    const qsizetype offset = m_layouts.offsetAt(toLine, QPointF(m_desiredX, qreal(rowInLine * height) + height / 2.0));
    return m_buffer.caretPosition(m_buffer.lineStart(toLine) + offset);
}

qsizetype EditPane::rowEdge(qsizetype position, bool end)
{
    ensureLayouts();
    const qsizetype line = m_buffer.lineOf(position);
    const qsizetype start = m_buffer.lineStart(line);
    // Without wrapping a row is the line, however it is cut into segments.
    if (m_wrap == Wrap::None)
        return end ? start + m_buffer.lineLength(line) : start;
    const LineLayouts::Part part = m_layouts.partAt(line, position - start);
    const QTextLine row = part.layout->lineForTextPosition(int(position - start - part.start));
    if (!row.isValid())
        return position;
    qsizetype edge = part.start + row.textStart() + (end ? row.textLength() : 0);
    // The end of a row that wraps at a blank is before the blank, or the
    // caret would show on the next row.
    if (end && row.lineNumber() + 1 < part.layout->lineCount() && row.textLength() > 0
        && QChar(m_buffer.at(start + edge - 1)).isSpace())
        --edge;
    return m_buffer.caretPosition(start + edge);
}

bool EditPane::moveByKey(QKeyEvent *e)
{
    enum class Move { Character, Word, Row, Page, RowEdge, TextEdge };
    struct Binding {
        QKeySequence::StandardKey move, select;
        Move how;
        bool forward;
    };
    static const Binding kBindings[] = {
        {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, Move::Character, true},
        {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar, Move::Character, false},
        {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord, Move::Word, true},
        {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord, Move::Word, false},
        {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, Move::Row, true},
        {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine, Move::Row, false},
        {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage, Move::Page, true},
        {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage, Move::Page, false},
        {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, Move::RowEdge, true},
        {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, Move::RowEdge, false},
        {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument, Move::TextEdge, true},
        {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument, Move::TextEdge, false},
    };
    for (const Binding &b : kBindings) {
        const bool selecting = e->matches(b.select);
        if (!selecting && !e->matches(b.move))
            continue;
        qsizetype to = m_caret;
        switch (b.how) {
        case Move::Character:
            // An arrow over a selection lands on its edge.
            if (hasSelection() && !selecting)
                to = b.forward ? selectionStart() + selectionLength() : selectionStart();
            else
                to = b.forward ? nextCharacter(m_caret) : previousCharacter(m_caret);
            break;
        case Move::Word:
            to = wordBoundary(m_caret, b.forward);
            break;
        case Move::Row:
            to = verticalMove(m_caret, b.forward ? 1 : -1);
            break;
        case Move::Page: {
            const qsizetype rows = b.forward ? visibleRows() : -visibleRows();
            to = verticalMove(m_caret, rows);
            scrollToRow(topRow() + rows);
            break;
        }
        case Move::RowEdge:
            to = rowEdge(m_caret, b.forward);
            break;
        case Move::TextEdge:
            to = b.forward ? m_buffer.size() : 0;
            break;
        }
        const qreal aim = m_desiredX; // set by a move by rows
        setCaret(to, selecting ? m_anchor : to);
        // Up and Down keep aiming at the column they started from.
        if (b.how == Move::Row || b.how == Move::Page)
            m_desiredX = aim;
        return true;
    }
    return false;
}

void EditPane::typeText(const QString &text)
{
    edit(selectionStart(), selectionLength(), text);
}

bool EditPane::editByKey(QKeyEvent *e)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    const qsizetype from = selectionStart(), length = selectionLength();
    // The deleting keys take the selection, or the text up to a place.
    auto eraseTo = [&](qsizetype to) {
        if (hasSelection())
            edit(from, length, {});
        else
            edit(std::min(to, m_caret), std::abs(to - m_caret), {});
    };
    if (e->matches(QKeySequence::Copy)) {
        if (hasSelection())
            clipboard->setText(selectedText());
    } else if (e->matches(QKeySequence::Cut)) {
        if (hasSelection()) {
            clipboard->setText(selectedText());
            edit(from, length, {});
        }
    } else if (e->matches(QKeySequence::Paste)) {
        typeText(withOwnLineEnds(clipboard->text()));
    } else if (e->matches(QKeySequence::DeleteStartOfWord)) {
        eraseTo(wordBoundary(m_caret, false));
    } else if (e->matches(QKeySequence::DeleteEndOfWord)) {
        eraseTo(wordBoundary(m_caret, true));
    } else if (e->matches(QKeySequence::Delete)) {
        eraseTo(nextCharacter(m_caret));
    } else if (e->key() == Qt::Key_Backspace && !(e->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier))) {
        // One character back: a surrogate pair or a CR LF at once, but a
        // combining mark alone.
        eraseTo(m_buffer.caretPosition(m_caret - 1));
    } else if (e->matches(QKeySequence::InsertParagraphSeparator) || e->matches(QKeySequence::InsertLineSeparator)) {
        // Shift+Return too: Qt's line separator would be a line break on
        // screen that no file keeps as a line end.
        typeText(QStringLiteral("\r\n"));
    } else if (e->key() == Qt::Key_Backtab) {
        // Shift+Tab types nothing and moves no focus.
    } else if (typesText(e)) {
        typeText(withOwnLineEnds(e->text()));
    } else {
        return false;
    }
    return true;
}

} // namespace holvane
