#include "editor/edit_pane.h"

#include <QFont>
#include <QInputMethodEvent>
#include <QKeyEvent>
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
    m_text.setText(text);
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
    c.movePosition(QTextCursor::Start);
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
    {
        QScopedValueRollback guard(m_ownEdit, true);
        c.insertText(text);
    }
    m_text.replace(from, to - from, text);
    setTextCursor(c);
}

void EditPane::replaceAllCaretAtEnd(const QString &text)
{
    ensureDocument();
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
        setText(text);
    } else {
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
        m_text.replace(from, to - from, fragment);
    }
    QTextCursor end = textCursor();
    end.movePosition(QTextCursor::End);
    setTextCursor(end);
}

bool EditPane::isReserved(const QKeyEvent *e) const
{
    const QKeySequence pressed(e->keyCombination());
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

void EditPane::keyPressEvent(QKeyEvent *e)
{
    if (!opensMenuBar(e))
        emit keyDown();
    if (isReserved(e)) {
        e->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(e);
}

void EditPane::keyReleaseEvent(QKeyEvent *e)
{
    QPlainTextEdit::keyReleaseEvent(e);
    if (!opensMenuBar(e))
        emit keyUp();
}

void EditPane::inputMethodEvent(QInputMethodEvent *e)
{
    // Japanese text arrives as input method commits, not as keys; a commit
    // is recorded like a key. Composition alone changes no text.
    const bool changesText = !e->commitString().isEmpty() || e->replacementLength() > 0;
    if (changesText)
        emit keyDown();
    QPlainTextEdit::inputMethodEvent(e);
    if (changesText)
        emit keyUp();
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
    m_text.applyDocumentChange(position, removed, c.selectedText());
}

} // namespace holvane
