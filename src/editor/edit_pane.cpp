#include "editor/edit_pane.h"

#include <QFont>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

#include <algorithm>

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

} // namespace

EditPane::EditPane(const QString &name, Wrap wrap, QWidget *parent) : QPlainTextEdit(parent)
{
    setObjectName(name);
    registerFontSubstitutes();
    setFont(QFont(kPaneFontFamily, kPaneFontSize, QFont::Normal));
    // The editor's undo is the snapshot pair, nothing else.
    setUndoRedoEnabled(false);
    if (wrap == Wrap::None) {
        setLineWrapMode(QPlainTextEdit::NoWrap);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    } else {
        setLineWrapMode(QPlainTextEdit::WidgetWidth);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(document(), &QTextDocument::contentsChange, this, &EditPane::onContentsChange);
}

void EditPane::setText(const QString &text)
{
    setTextWithCaret(text, Caret::AtStart);
}

void EditPane::setTextWithCaret(const QString &text, Caret caret)
{
    m_text.setText(text);
    m_caretOnLoad = caret;
    const bool explicitlyHidden = testAttribute(Qt::WA_WState_ExplicitShowHide) && testAttribute(Qt::WA_WState_Hidden);
    if (explicitlyHidden)
        m_documentStale = true;
    else
        loadDocument();
}

void EditPane::loadDocument()
{
    QScopedValueRollback guard(m_ownEdit, true);
    m_documentStale = false;
    setPlainText(m_text.text());
    QTextCursor c = textCursor();
    c.movePosition(m_caretOnLoad == Caret::AtEnd ? QTextCursor::End : QTextCursor::Start);
    setTextCursor(c);
}

void EditPane::ensureDocument() const
{
    if (m_documentStale)
        const_cast<EditPane *>(this)->loadDocument();
}

void EditPane::setVisible(bool visible)
{
    if (visible)
        ensureDocument();
    QPlainTextEdit::setVisible(visible);
}

qsizetype EditPane::SelStart() const
{
    ensureDocument();
    return m_text.toText(textCursor().selectionStart());
}

qsizetype EditPane::SelLength() const
{
    ensureDocument();
    const QTextCursor c = textCursor();
    return m_text.toText(c.selectionEnd()) - m_text.toText(c.selectionStart());
}

QString EditPane::SelText() const
{
    ensureDocument();
    const QTextCursor c = textCursor();
    const qsizetype from = m_text.toText(c.selectionStart());
    return m_text.text().mid(from, m_text.toText(c.selectionEnd()) - from);
}

void EditPane::setSelStart(qsizetype start)
{
    ensureDocument();
    QTextCursor c = textCursor();
    c.setPosition(int(m_text.toDocument(std::clamp<qsizetype>(start, 0, m_text.text().size()))));
    setTextCursor(c);
}

void EditPane::setSelLength(qsizetype length)
{
    ensureDocument();
    QTextCursor c = textCursor();
    const qsizetype start = m_text.toText(c.selectionStart());
    const qsizetype end = std::clamp<qsizetype>(start + length, start, m_text.text().size());
    c.setPosition(c.selectionStart());
    c.setPosition(int(m_text.toDocument(end)), QTextCursor::KeepAnchor);
    setTextCursor(c);
}

void EditPane::setSelText(const QString &text)
{
    ensureDocument();
    QTextCursor c = textCursor();
    const int from = c.selectionStart();
    const int to = c.selectionEnd();
    // U+2028 and U+2029 would show as line breaks that no file keeps as one.
    QString inserted = text;
    inserted.replace(QChar(QChar::LineSeparator), QLatin1String("\r\n"))
        .replace(QChar(QChar::ParagraphSeparator), QLatin1String("\r\n"));
    {
        QScopedValueRollback guard(m_ownEdit, true);
        c.insertText(inserted);
    }
    joinLineEnds(m_text.replace(from, to - from, inserted));
    setTextCursor(c);
}

void EditPane::replaceAllCaretAtEnd(const QString &text)
{
    const QString &old = m_text.text();
    const qsizetype common = std::min(old.size(), text.size());
    qsizetype prefix = 0;
    while (prefix < common && old[prefix] == text[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < common - prefix && old[old.size() - 1 - suffix] == text[text.size() - 1 - suffix])
        ++suffix;
    // Never cut a CR LF in two: widen the changed part to take it whole.
    if (prefix > 0 && old[prefix - 1] == u'\r')
        --prefix;
    if (suffix > 0 && old[old.size() - suffix] == u'\n')
        --suffix;
    const qsizetype removedEnd = old.size() - suffix;
    if (prefix == 0 && suffix == 0) {
        setTextWithCaret(text, Caret::AtEnd);
        return;
    }
    ensureDocument();
    const qsizetype from = m_text.toDocument(prefix);
    const qsizetype to = m_text.toDocument(removedEnd);
    const QString fragment = text.mid(prefix, text.size() - suffix - prefix);
    QTextCursor c = textCursor();
    c.setPosition(int(from));
    c.setPosition(int(to), QTextCursor::KeepAnchor);
    {
        QScopedValueRollback guard(m_ownEdit, true);
        c.insertText(fragment);
    }
    joinLineEnds(m_text.replace(from, to - from, fragment));
    QTextCursor end = textCursor();
    end.movePosition(QTextCursor::End);
    setTextCursor(end);
}

bool EditPane::isReserved(const QKeyEvent *e) const
{
    // The keypad's Delete (NumLock off) is the menu's Del all the same.
    const QKeySequence pressed(QKeyCombination(e->modifiers() & ~Qt::KeypadModifier, Qt::Key(e->key())));
    return std::any_of(m_reserved.cbegin(), m_reserved.cend(),
                       [&](const QKeySequence &key) { return key == pressed; });
}

bool EditPane::event(QEvent *e)
{
    // QPlainTextEdit claims Ctrl+A, Ctrl+C, Del and the like for itself before
    // the menu sees them; let the menu have the keys that are its own.
    if (e->type() == QEvent::ShortcutOverride && isReserved(static_cast<QKeyEvent *>(e))) {
        e->ignore();
        return true;
    }
    return QPlainTextEdit::event(e);
}

// Alt alone only takes the keyboard to the menu bar. Were it recorded like
// other keys, its press would overwrite the snapshot of the last change just
// before the user reaches Undo in the edit menu, and Undo could never be
// reached from the keyboard.
static bool opensMenuBar(const QKeyEvent *e)
{
    return e->key() == Qt::Key_Alt || e->key() == Qt::Key_AltGr;
}

// The hardware key where the platform tells it: the key code of a release can
// differ from its press when a modifier went up in between.
static quint64 keyIdentity(const QKeyEvent *e)
{
    return e->nativeScanCode() != 0 ? (quint64(1) << 32 | e->nativeScanCode()) : quint64(uint(e->key()));
}

void EditPane::keyPressEvent(QKeyEvent *e)
{
    m_withdrawn.clear();
    m_keysDown.insert(keyIdentity(e));
    if (!opensMenuBar(e))
        emit keyDown();
    if (isReserved(e)) {
        e->accept();
        return;
    }
    if (e->matches(QKeySequence::InsertLineSeparator)) {
        // Shift+Return would type U+2028: a line break on screen that is no
        // line end in the file. It types the editor's line end, as Return does.
        QKeyEvent plain(e->type(), Qt::Key_Return, e->modifiers() & ~Qt::ShiftModifier, QStringLiteral("\r"),
                        e->isAutoRepeat(), e->count());
        QPlainTextEdit::keyPressEvent(&plain);
        e->setAccepted(plain.isAccepted());
        return;
    }
    QPlainTextEdit::keyPressEvent(e);
}

void EditPane::keyReleaseEvent(QKeyEvent *e)
{
    QPlainTextEdit::keyReleaseEvent(e);
    // A release whose press never came here chose a menu item (the U of Alt,
    // E, U): recording it would overwrite the snapshot that command just used.
    if (m_keysDown.remove(keyIdentity(e)) && !opensMenuBar(e))
        emit keyUp();
}

void EditPane::focusOutEvent(QFocusEvent *e)
{
    // Keys held now are released where the focus went.
    m_keysDown.clear();
    QPlainTextEdit::focusOutEvent(e);
}

bool EditPane::dropsWithdrawnReading(const QInputMethodEvent *e)
{
    // An input method withdraws a reading cancelled with Escape by emptying
    // the preedit; some platform plugins still hold it and commit it at the
    // next commit request (a menu opening, the focus moving, a command). That
    // commit is the cancelled reading coming back, not text the user typed.
    const bool drop = !m_withdrawn.isEmpty() && e->commitString() == m_withdrawn && e->preeditString().isEmpty()
                      && e->replacementLength() == 0;
    const bool withdraws = e->commitString().isEmpty() && e->preeditString().isEmpty() && !m_preedit.isEmpty();
    m_withdrawn = withdraws ? m_preedit : QString();
    m_preedit = e->preeditString();
    return drop;
}

void EditPane::inputMethodEvent(QInputMethodEvent *e)
{
    if (dropsWithdrawnReading(e)) {
        e->accept();
        return;
    }
    // Japanese text arrives as input method commits, not as keys; a commit
    // is recorded like a key. Composition alone changes no text.
    const bool changesText = !e->commitString().isEmpty() || e->replacementLength() > 0;
    if (changesText)
        emit keyDown();
    const QString commit = e->commitString();
    if (commit.contains(QChar(QChar::LineSeparator)) || commit.contains(QChar(QChar::ParagraphSeparator))) {
        QInputMethodEvent own(e->preeditString(), e->attributes());
        own.setCommitString(PaneText::withOwnLineEnds(commit), e->replacementStart(), e->replacementLength());
        QPlainTextEdit::inputMethodEvent(&own);
    } else {
        QPlainTextEdit::inputMethodEvent(e);
    }
    if (changesText)
        emit keyUp();
}

void EditPane::insertFromMimeData(const QMimeData *source)
{
    // Pasted or dropped text gets the editor's line ends, as the menu's paste does.
    if (!source->hasText())
        return;
    QMimeData own;
    own.setText(PaneText::withOwnLineEnds(source->text()));
    QPlainTextEdit::insertFromMimeData(&own);
}

void EditPane::mouseReleaseEvent(QMouseEvent *e)
{
    QPlainTextEdit::mouseReleaseEvent(e);
    emit mouseUp(e->button(), e->modifiers(), e->globalPosition().toPoint());
}

void EditPane::onContentsChange(int position, int removed, int added)
{
    if (m_ownEdit || m_documentStale)
        return;
    const qsizetype length = document()->characterCount() - 1;
    const qsizetype addedEnd = std::min<qsizetype>(qsizetype(position) + added, length);
    QTextCursor c(document());
    c.setPosition(position);
    c.setPosition(int(std::max<qsizetype>(addedEnd, position)), QTextCursor::KeepAnchor);
    joinLineEnds(m_text.applyDocumentChange(position, removed, c.selectedText()));
}

void EditPane::joinLineEnds(const PaneText::Joins &joins)
{
    // The separator of the CR's line goes: the empty line between the two
    // closes up, and a caret that stood on it lands before the new CR LF.
    QScopedValueRollback guard(m_ownEdit, true);
    for (const qsizetype at : joins) {
        QTextCursor c(document());
        c.setPosition(int(at));
        c.setPosition(int(at) + 1, QTextCursor::KeepAnchor);
        c.removeSelectedText();
    }
}

} // namespace holvane
