// The pane's text, caret and selection, and the one function that changes
// the text. Drawing and scrolling are in pane_view.cpp, keys in
// pane_keys.cpp, the mouse and drops in pane_mouse.cpp, the input method in
// pane_input_method.cpp, what a screen reader reads in pane_accessibility.cpp.
#include "editor/edit_pane.h"

#include "editor/line_ends.h"
#include "editor/pane_accessibility.h"

#include <QAccessible>
#include <QFont>
#include <QGuiApplication>
#include <QInputMethod>
#include <QScrollBar>
#include <QStyleHints>

namespace holvane {
namespace {

// The Windows family does not exist on Linux, where fontconfig would hand
// out a proportional Latin font for it; name the Japanese fonts that stand in.
void registerFontSubstitutes()
{
    static const bool done = [] {
        const QStringList japanese{QStringLiteral("IPAGothic"), QStringLiteral("IPAexGothic"),
                                   QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("Noto Sans CJK JP"),
                                   QStringLiteral("VL Gothic"), QStringLiteral("TakaoGothic")};
        QFont::insertSubstitutions(kPaneFontFamily, japanese);
        QFont::insertSubstitutions(QStringLiteral("MS Gothic"), japanese);
        return true;
    }();
    Q_UNUSED(done);
}

LineLayouts::Wrap layoutWrap(EditPane::Wrap wrap)
{
    return wrap == EditPane::Wrap::None ? LineLayouts::Wrap::None : LineLayouts::Wrap::AtWidth;
}

} // namespace

EditPane::EditPane(const QString &name, Wrap wrap, QWidget *parent)
    : QAbstractScrollArea(parent), m_wrap(wrap), m_layouts(m_buffer, layoutWrap(wrap))
{
    setObjectName(name);
    registerPaneAccessibility();
    registerFontSubstitutes();
    setFont(QFont(kPaneFontFamily, kPaneFontSize, QFont::Normal));
    m_layouts.setFont(font());
    setAttribute(Qt::WA_InputMethodEnabled);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true); // drops arrive where the text is drawn
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(false); // every pixel is painted
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setHorizontalScrollBarPolicy(wrap == Wrap::None ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // A scroll bar held by the user is left alone while the heights of lines
    // not yet laid out are corrected; it takes the corrected range when let go.
    connect(verticalScrollBar(), &QAbstractSlider::sliderReleased, this, &EditPane::updateScrollBars);
    m_layoutsStale = true;
}

EditPane::~EditPane() = default;

void EditPane::setText(const QString &text)
{
    setSnapshot(TextSnapshot(text));
}

void EditPane::setSnapshot(const TextSnapshot &text)
{
    const bool hadSelection = hasSelection();
    const qsizetype oldSize = m_buffer.size();
    const QString removed = QAccessible::isActive() ? m_buffer.text() : QString();
    endComposition();
    m_buffer.setSnapshot(text);
    m_anchor = m_caret = 0;
    m_desiredX = -1;
    m_topLine = m_topRowInLine = 0;
    m_scrollX = 0;
    layOutAgain();
    tellAccessibility(this, 0, oldSize, removed, m_buffer.size());
    emit textChanged();
    selectionMayHaveChanged(hadSelection);
}

void EditPane::setSelectionStart(qsizetype start)
{
    setCaret(start, start);
}

void EditPane::setSelectionLength(qsizetype length)
{
    const qsizetype start = selectionStart();
    setCaret(start + std::max<qsizetype>(length, 0), start);
}

void EditPane::setCaret(qsizetype caret, qsizetype anchor)
{
    const bool hadSelection = hasSelection();
    const qsizetype oldCaret = m_caret, oldAnchor = m_anchor;
    m_caret = m_buffer.caretPosition(caret);
    m_anchor = m_buffer.caretPosition(anchor);
    if (m_caret == oldCaret && m_anchor == oldAnchor)
        return;
    m_desiredX = -1;
    ensureCaretVisible();
    restartBlinking();
    viewport()->update();
    tellAccessibilityCaret(this);
    if (hasFocus())
        QGuiApplication::inputMethod()->update(Qt::ImQueryAll);
    if (hadSelection || hasSelection())
        selectionMayHaveChanged(hadSelection);
}

void EditPane::selectionMayHaveChanged(bool hadSelection)
{
    if (hadSelection != hasSelection())
        emit copyAvailable(hasSelection());
    if (hadSelection || hasSelection()) {
        emit selectionChanged();
        offerPrimarySelection();
    }
}

void EditPane::replaceSelection(const QString &text)
{
    // U+2028 and U+2029 would show as characters that no file reads as a
    // line end, where the command meant one.
    edit(selectionStart(), selectionLength(), withSeparatorsAsLineEnds(text));
}

void EditPane::surroundSelection(const QString &opening, const QString &closing)
{
    const qsizetype start = selectionStart();
    const qsizetype end = start + selectionLength();
    edit(end, 0, closing);
    edit(start, 0, opening);
    setCaret(end + opening.size() + closing.size(), end + opening.size() + closing.size());
}

void EditPane::replaceAllCaretAtEnd(const TextSnapshot &text)
{
    keepTypedOverSelectionOut(); // what differs is worked out against the text as it stands
    const TextSnapshot current = m_buffer.snapshot();
    const qsizetype prefix = TextSnapshot::commonPrefix(current, text);
    const qsizetype suffix = TextSnapshot::commonSuffix(current, text, prefix);
    // What differs comes back as the snapshot's own pieces, not as a copy.
    edit(prefix, current.size() - prefix - suffix, text, prefix, text.size() - prefix - suffix);
    setCaret(m_buffer.size(), m_buffer.size());
}

void EditPane::recordedInput(const std::function<void()> &change)
{
    const TextSnapshot before = snapshot();
    change();
    emit beforeInput(before);
    emit afterInput(snapshot());
}

void EditPane::edit(qsizetype from, qsizetype removed, const QString &inserted, Change change)
{
    changeText(from, removed, inserted.size(), change, [&] { m_buffer.replace(from, removed, inserted); });
}

void EditPane::edit(qsizetype from, qsizetype removed, const TextSnapshot &source, qsizetype sourceFrom,
                    qsizetype length, Change change)
{
    changeText(from, removed, length, change, [&] { m_buffer.replace(from, removed, source, sourceFrom, length); });
}

void EditPane::changeText(qsizetype &from, qsizetype &removed, qsizetype inserted, Change change,
                          const std::function<void()> &replace)
{
    from = std::clamp<qsizetype>(from, 0, m_buffer.size());
    removed = std::clamp<qsizetype>(removed, 0, m_buffer.size() - from);
    const bool hadSelection = hasSelection();
    // The lines the change touches; a CR just before it may join an LF it brings.
    const qsizetype firstLine = from > 0 && m_buffer.at(from - 1) == u'\r' ? m_buffer.lineOf(from - 1)
                                                                            : m_buffer.lineOf(from);
    const qsizetype lastLineBefore = m_buffer.lineOf(from + removed);
    const qsizetype firstLineStart = m_buffer.lineStart(firstLine);
    const qsizetype firstLineLength = m_buffer.lineLength(firstLine);
    const QString removedText = QAccessible::isActive() ? m_buffer.mid(from, removed) : QString();
    // A change in the middle of a composition over a selection (the input
    // method did not commit first): the selection stays gone.
    if (change == Change::Real)
        keepTypedOverSelectionOut();

    replace();

    const qsizetype lastLineAfter = m_buffer.lineOf(from + inserted);
    if (!m_layoutsStale) {
        // Within one line, unless a CR and an LF met or parted at its end:
        // then its length is not what the change alone makes it.
        if (lastLineBefore == firstLine && lastLineAfter == firstLine
            && m_buffer.lineLength(firstLine) == firstLineLength - removed + inserted)
            m_layouts.lineEdited(firstLine, from - firstLineStart, removed, inserted);
        else
            m_layouts.linesReplaced(firstLine, lastLineBefore - firstLine + 1, lastLineAfter - firstLine + 1);
    }
    m_caret = m_anchor = m_buffer.caretPosition(from + inserted);
    m_desiredX = -1;
    // A reading still shown (a command the input method did not commit
    // for) stays at the caret.
    if (change == Change::Real && m_layouts.preedit().position >= 0) {
        LineLayouts::Preedit preedit = m_layouts.preedit();
        preedit.position = m_caret;
        m_layouts.setPreedit(preedit);
    }
    tellAccessibility(this, from, removed, removedText, inserted);
    updateScrollBars();
    ensureCaretVisible();
    restartBlinking();
    viewport()->update();
    if (change == Change::Real)
        emit textChanged();
    selectionMayHaveChanged(hadSelection);
    if (hasFocus())
        QGuiApplication::inputMethod()->update(Qt::ImQueryAll);
}

bool EditPane::event(QEvent *e)
{
    switch (e->type()) {
    case QEvent::ShortcutOverride:
        // The menu's keys are the menu's; every other key is the pane's.
        if (isReserved(static_cast<QKeyEvent *>(e))) {
            e->ignore();
            return true;
        }
        break;
    case QEvent::KeyPress: {
        // Tab types a tab here instead of moving the focus.
        auto *key = static_cast<QKeyEvent *>(e);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
            && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            keyPressEvent(key);
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QAbstractScrollArea::event(e);
}

void EditPane::focusInEvent(QFocusEvent *e)
{
    QAbstractScrollArea::focusInEvent(e);
    restartBlinking();
    viewport()->update();
}

void EditPane::focusOutEvent(QFocusEvent *e)
{
    // Keys held now are released where the focus went.
    m_keysDown.clear();
    m_blink.stop();
    m_caretShown = false;
    QAbstractScrollArea::focusOutEvent(e);
    viewport()->update();
}

void EditPane::restartBlinking()
{
    m_caretShown = true;
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    if (hasFocus() && flash >= 2)
        m_blink.start(flash / 2, this);
    else
        m_blink.stop();
}

void EditPane::timerEvent(QTimerEvent *e)
{
    if (e->timerId() == m_blink.timerId()) {
        m_caretShown = !m_caretShown;
        viewport()->update(caretRectangle().translated(-viewport()->pos()).adjusted(-2, -2, 2, 2));
    } else if (e->timerId() == m_autoScroll.timerId()) {
        autoScroll();
    } else {
        QAbstractScrollArea::timerEvent(e);
    }
}

} // namespace holvane
