// The input method: the reading drawn at the caret, commits, and what the
// input method may ask of the pane.
//
// A composition typed over a selection takes the selection out of the text
// while the reading shows, as other editors do, and keeps the text as it
// was before the composition's first change. A commit then tells the undo
// pair that text and the text after the commit, so that one Undo brings the
// selection back; a reading cancelled puts the selection back as it was and
// tells nobody.
#include "editor/edit_pane.h"

#include "editor/line_ends.h"

#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QTextCharFormat>

namespace holvane {
namespace {

// What the pane offers as the text around the caret: its line, but no more
// than this much on either side of the caret, so that a 2 MiB line is not
// copied for every question.
constexpr qsizetype kSurroundingReach = 1024;

} // namespace

bool EditPane::dropsWithdrawnReading(const QInputMethodEvent *e)
{
    // An input method withdraws a reading cancelled with Escape by emptying
    // the preedit; some platform plugins still hold it and commit it at the
    // next commit request (a menu opening, the focus moving, a command). That
    // commit is the cancelled reading coming back, not text the user typed.
    const bool drop = !m_withdrawn.isEmpty() && e->commitString() == m_withdrawn && e->preeditString().isEmpty()
                      && e->replacementLength() == 0;
    const bool withdraws = e->commitString().isEmpty() && e->preeditString().isEmpty() && !m_preedit.isEmpty();
    // An event that carries nothing (the preedit emptied once more) leaves
    // the withdrawn reading as it is: its commit may still follow.
    const bool carries = !e->commitString().isEmpty() || !e->preeditString().isEmpty() || e->replacementLength() > 0;
    if (withdraws)
        m_withdrawn = m_preedit;
    else if (carries)
        m_withdrawn.clear();
    m_preedit = e->preeditString();
    return drop;
}

void EditPane::commitReading()
{
    // Committed here, as the input method would commit it, where it shows:
    // asked to commit, ibus with Mozc commits twice (once more on the reset
    // that follows, at the caret the click moved) and fcitx5 with Mozc not
    // at all. The input method is then told the composition is over; a
    // commit of the same reading that still comes is this one, and dropped.
    if (m_preedit.isEmpty())
        return;
    const QString reading = m_preedit;
    QInputMethodEvent commit;
    commit.setCommitString(reading);
    inputMethodEvent(&commit);
    m_withdrawn = reading;
    QGuiApplication::inputMethod()->reset();
}

void EditPane::endComposition()
{
    keepTypedOverSelectionOut();
    m_preedit.clear();
    m_withdrawn.clear();
    m_layouts.setPreedit({});
    if (hasFocus())
        QGuiApplication::inputMethod()->reset();
}

void EditPane::keepTypedOverSelectionOut()
{
    m_typedOverAt = -1;
    m_beforeComposition.reset();
}

void EditPane::takeTypedOverSelection()
{
    if (!hasSelection())
        return;
    m_typedOverAt = selectionStart();
    m_typedOverLength = selectionLength();
    m_typedOverWasForward = m_caret > m_anchor;
    edit(selectionStart(), selectionLength(), {}, Change::WhileComposing);
}

void EditPane::giveBackTypedOverSelection()
{
    if (m_typedOverAt < 0)
        return;
    const qsizetype at = m_typedOverAt, length = m_typedOverLength;
    edit(at, 0, *m_beforeComposition, at, length, Change::WhileComposing);
    m_typedOverAt = -1;
    setCaret(m_typedOverWasForward ? at + length : at, m_typedOverWasForward ? at : at + length);
}

void EditPane::inputMethodEvent(QInputMethodEvent *e)
{
    e->accept();
    if (dropsWithdrawnReading(e))
        return;
    const bool commits = !e->commitString().isEmpty() || e->replacementLength() > 0;
    const bool reading = !e->preeditString().isEmpty();
    if (commits) {
        const TextSnapshot before = snapshot();
        keepTypedOverSelectionOut();
        // A commit goes where its reading shows, even where the caret moved
        // since (a click the input method did not hear of); without a
        // reading it replaces the selection. The replacement range the input
        // method gives counts from there.
        const qsizetype shownAt = m_layouts.preedit().position;
        if (shownAt < 0 && hasSelection())
            edit(selectionStart(), selectionLength(), {}, Change::WhileComposing);
        const qsizetype at = shownAt >= 0 ? std::min(shownAt, m_buffer.size()) : m_caret;
        const qsizetype from = std::clamp<qsizetype>(at + e->replacementStart(), 0, m_buffer.size());
        const qsizetype length = std::clamp<qsizetype>(e->replacementLength(), 0, m_buffer.size() - from);
        edit(from, length, withOwnLineEnds(e->commitString()));
        emit beforeInput(before);
        emit afterInput(m_buffer.snapshot());
        if (reading)
            m_beforeComposition = m_buffer.snapshot();
    } else if (reading && !m_beforeComposition) {
        m_beforeComposition = m_buffer.snapshot();
        takeTypedOverSelection();
    } else if (!reading && m_beforeComposition) {
        giveBackTypedOverSelection();
        m_beforeComposition.reset();
    }
    showPreedit(e);
}

void EditPane::showPreedit(const QInputMethodEvent *e)
{
    LineLayouts::Preedit preedit;
    if (!e->preeditString().isEmpty()) {
        preedit.position = m_caret;
        preedit.text = e->preeditString();
        preedit.cursor = preedit.text.size();
        for (const QInputMethodEvent::Attribute &a : e->attributes()) {
            if (a.type == QInputMethodEvent::TextFormat) {
                const QTextCharFormat format = qvariant_cast<QTextFormat>(a.value).toCharFormat();
                if (format.isValid())
                    preedit.formats << QTextLayout::FormatRange{a.start, a.length, format};
            } else if (a.type == QInputMethodEvent::Cursor) {
                preedit.cursor = std::clamp<qsizetype>(a.start, 0, preedit.text.size());
            }
        }
        // An input method that sends no formats still gets its reading underlined.
        if (preedit.formats.isEmpty()) {
            QTextCharFormat underlined;
            underlined.setFontUnderline(true);
            preedit.formats << QTextLayout::FormatRange{0, int(preedit.text.size()), underlined};
        }
    }
    m_layouts.setPreedit(preedit);
    ensureCaretVisible();
    restartBlinking();
    viewport()->update();
    QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle);
}

QVariant EditPane::inputMethodQuery(Qt::InputMethodQuery query) const
{
    // The caret's line, cut to a reach around the caret.
    auto window = [this] {
        const qsizetype line = m_buffer.lineOf(m_caret);
        const qsizetype from = std::max(m_buffer.lineStart(line), m_caret - kSurroundingReach);
        const qsizetype to = std::min(m_buffer.lineEnd(line), m_caret + kSurroundingReach);
        return std::pair{from, to};
    };
    switch (query) {
    case Qt::ImEnabled:
        return true;
    case Qt::ImReadOnly:
        return false;
    case Qt::ImHints:
        return int(inputMethodHints() | Qt::ImhMultiLine);
    case Qt::ImFont:
        return font();
    case Qt::ImCursorRectangle:
        return QRectF(caretRectangle());
    case Qt::ImAnchorRectangle:
        return QRectF(characterRectangle(m_anchor).translated(viewport()->pos()));
    case Qt::ImAbsolutePosition:
        return qlonglong(m_caret);
    case Qt::ImCursorPosition:
        return int(m_caret - window().first);
    case Qt::ImAnchorPosition: {
        const auto [from, to] = window();
        return int(std::clamp(m_anchor, from, to) - from);
    }
    case Qt::ImSurroundingText: {
        const auto [from, to] = window();
        return m_buffer.mid(from, to - from);
    }
    case Qt::ImTextBeforeCursor: {
        const qsizetype from = window().first;
        return m_buffer.mid(from, m_caret - from);
    }
    case Qt::ImTextAfterCursor:
        return m_buffer.mid(m_caret, window().second - m_caret);
    case Qt::ImCurrentSelection:
        return selectedText();
    case Qt::ImMaximumTextLength:
        return QVariant();
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

} // namespace holvane
