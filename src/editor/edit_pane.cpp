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
#include <QTimer>

#include <algorithm>
#include <cstring>

namespace holvane {
namespace {

// What the document takes before the first paint, and then at each step of
// filling: a screenful at most, and about 15 ms of building blocks.
constexpr qsizetype kFirstScreen = 64 * 1024;
constexpr qsizetype kFillStep = 512 * 1024;

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

// The end of a step of filling: `size` characters on from `from`, then on to
// the next block separator, so that no line end, and no CR LF, is cut.
qsizetype stepEnd(const QString &shown, qsizetype from, qsizetype size)
{
    qsizetype at = std::min(from + size, shown.size());
    while (at < shown.size()) {
        const char16_t last = shown[at - 1].unicode();
        if (PaneText::isLineEndCharacter(last) && !(last == u'\r' && shown[at] == u'\n'))
            break;
        ++at;
    }
    return at;
}

// How many characters two texts share at their start, and at their end.
// Undo compares whole documents; memcmp goes through the long equal parts
// many characters at a time.
qsizetype commonPrefix(QStringView a, QStringView b)
{
    constexpr qsizetype kBlock = 4096;
    const qsizetype n = std::min(a.size(), b.size());
    qsizetype at = 0;
    while (at + kBlock <= n && std::memcmp(a.data() + at, b.data() + at, kBlock * sizeof(QChar)) == 0)
        at += kBlock;
    while (at < n && a[at] == b[at])
        ++at;
    return at;
}

qsizetype commonSuffix(QStringView a, QStringView b)
{
    constexpr qsizetype kBlock = 4096;
    const qsizetype n = std::min(a.size(), b.size());
    qsizetype at = 0;
    while (at + kBlock <= n
           && std::memcmp(a.data() + a.size() - at - kBlock, b.data() + b.size() - at - kBlock, kBlock * sizeof(QChar))
                  == 0)
        at += kBlock;
    while (at < n && a[a.size() - 1 - at] == b[b.size() - 1 - at])
        ++at;
    return at;
}

QString withFolds(const QString &text, const std::vector<qsizetype> &folds)
{
    if (folds.empty())
        return text;
    QString shown = text;
    for (auto fold = folds.rbegin(); fold != folds.rend(); ++fold)
        shown.insert(*fold, QChar(QChar::ParagraphSeparator));
    return shown;
}

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

// Whether the pane takes a key's text as typed text: Qt's own rule for
// text edits (QInputControl::isAcceptableInput).
bool typesTextInto(const QKeyEvent *e)
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

bool movesByCharacterOrWord(const QKeyEvent *e)
{
    for (const auto key : {QKeySequence::MoveToNextChar, QKeySequence::MoveToPreviousChar,
                           QKeySequence::SelectNextChar, QKeySequence::SelectPreviousChar,
                           QKeySequence::MoveToNextWord, QKeySequence::MoveToPreviousWord,
                           QKeySequence::SelectNextWord, QKeySequence::SelectPreviousWord})
        if (e->matches(key))
            return true;
    return false;
}

} // namespace

EditPane::EditPane(const QString &name, Wrap wrap, QWidget *parent)
    : QPlainTextEdit(parent), m_text(wrap == Wrap::None ? kPieceLengthUnwrapped : kPieceLengthWrapped)
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
    // Dragging the scroll bar while the document fills reaches its real end.
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this, &EditPane::completeDocument);
}

void EditPane::setText(const QString &text)
{
    setTextWithCaret(text, Caret::AtStart);
}

void EditPane::setTextWithCaret(const QString &text, Caret caret)
{
    m_text.setText(text);
    m_caretOnLoad = caret;
    m_display = QString();
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
    const QString shown = m_text.shownText();
    const qsizetype first = stepEnd(shown, 0, kFirstScreen);
    if (first < shown.size()) {
        setPlainText(shown.left(first));
        m_display = shown;
        m_shown = first;
    } else {
        setPlainText(shown);
        m_display = QString();
    }
    if (m_caretOnLoad == Caret::AtEnd)
        completeDocument();
    QTextCursor c = textCursor();
    c.movePosition(m_caretOnLoad == Caret::AtEnd ? QTextCursor::End : QTextCursor::Start);
    setTextCursor(c);
}

void EditPane::appendShown(qsizetype end)
{
    QScopedValueRollback guard(m_ownEdit, true);
    QTextCursor c(document());
    c.movePosition(QTextCursor::End);
    c.insertText(m_display.mid(m_shown, end - m_shown));
    m_shown = end;
    if (m_shown >= m_display.size())
        m_display = QString();
}

void EditPane::fillSome()
{
    m_fillScheduled = false;
    if (!isFilling())
        return;
    appendShown(stepEnd(m_display, m_shown, kFillStep));
    if (isFilling()) {
        m_fillScheduled = true;
        QTimer::singleShot(0, this, &EditPane::fillSome);
    }
}

void EditPane::completeDocument()
{
    if (isFilling())
        appendShown(m_display.size());
}

void EditPane::ensureDocument() const
{
    auto *self = const_cast<EditPane *>(this);
    if (m_documentStale)
        self->loadDocument();
    self->completeDocument();
}

void EditPane::setVisible(bool visible)
{
    if (visible && m_documentStale)
        loadDocument();
    QPlainTextEdit::setVisible(visible);
}

void EditPane::paintEvent(QPaintEvent *e)
{
    QPlainTextEdit::paintEvent(e);
    if (isFilling() && !m_fillScheduled) {
        m_fillScheduled = true;
        QTimer::singleShot(0, this, &EditPane::fillSome);
    }
}

qsizetype EditPane::lineCount() const
{
    ensureDocument();
    return document()->blockCount() - m_text.softBreakCount();
}

qsizetype EditPane::selectionStart() const
{
    ensureDocument();
    return m_text.toText(textCursor().selectionStart());
}

qsizetype EditPane::selectionLength() const
{
    ensureDocument();
    const QTextCursor c = textCursor();
    return m_text.toText(c.selectionEnd()) - m_text.toText(c.selectionStart());
}

QString EditPane::selectedText() const
{
    ensureDocument();
    const QTextCursor c = textCursor();
    const qsizetype from = m_text.toText(c.selectionStart());
    return m_text.text().mid(from, m_text.toText(c.selectionEnd()) - from);
}

void EditPane::setSelectionStart(qsizetype start)
{
    ensureDocument();
    QTextCursor c = textCursor();
    c.setPosition(int(m_text.toDocument(std::clamp<qsizetype>(start, 0, m_text.text().size()))));
    setTextCursor(c);
}

void EditPane::setSelectionLength(qsizetype length)
{
    ensureDocument();
    QTextCursor c = textCursor();
    const qsizetype start = m_text.toText(c.selectionStart());
    const qsizetype end = std::clamp<qsizetype>(start + length, start, m_text.text().size());
    c.setPosition(c.selectionStart());
    c.setPosition(int(m_text.toDocument(end)), QTextCursor::KeepAnchor);
    setTextCursor(c);
}

void EditPane::replaceSelection(const QString &text)
{
    // U+2028 and U+2029 would show as line breaks that no file keeps as one.
    QString inserted = text;
    inserted.replace(QChar(QChar::LineSeparator), QLatin1String("\r\n"))
        .replace(QChar(QChar::ParagraphSeparator), QLatin1String("\r\n"));
    insertAtSelection(inserted);
}

void EditPane::insertAtSelection(const QString &text)
{
    ensureDocument();
    QTextCursor c = textCursor();
    const int from = c.selectionStart();
    const int to = c.selectionEnd();
    const std::vector<qsizetype> folds = m_text.foldsFor(text);
    {
        QScopedValueRollback guard(m_ownEdit, true);
        c.insertText(withFolds(text, folds));
    }
    applyFixes(m_text.replace(from, to - from, text, folds));
    setTextCursor(c);
}

void EditPane::replaceAllCaretAtEnd(const QString &text)
{
    const QString &old = m_text.text();
    qsizetype prefix = commonPrefix(old, text);
    qsizetype suffix = commonSuffix(QStringView(old).sliced(prefix), QStringView(text).sliced(prefix));
    // Never cut a CR LF in two: widen the changed part to take it whole.
    if (prefix > 0 && old[prefix - 1] == u'\r')
        --prefix;
    if (suffix > 0 && old[old.size() - suffix] == u'\n')
        --suffix;
    if (prefix == 0 && suffix == 0) {
        setTextWithCaret(text, Caret::AtEnd);
        return;
    }
    ensureDocument();
    QTextCursor c = textCursor();
    c.setPosition(int(m_text.toDocument(prefix)));
    c.setPosition(int(m_text.toDocument(old.size() - suffix)), QTextCursor::KeepAnchor);
    setTextCursor(c);
    insertAtSelection(text.mid(prefix, text.size() - suffix - prefix));
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
    switch (e->type()) {
    case QEvent::ShortcutOverride:
        // QPlainTextEdit claims Ctrl+A, Ctrl+C, Del and the like for itself
        // before the menu sees them; let the menu have the keys that are its own.
        if (isReserved(static_cast<QKeyEvent *>(e))) {
            e->ignore();
            return true;
        }
        break;
    case QEvent::KeyPress:
    case QEvent::InputMethod:
        completeDocument();
        break;
    default:
        break;
    }
    return QPlainTextEdit::event(e);
}

bool EditPane::viewportEvent(QEvent *e)
{
    switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::DragEnter:
    case QEvent::ContextMenu:
        completeDocument();
        break;
    default:
        break;
    }
    return QPlainTextEdit::viewportEvent(e);
}

void EditPane::stepOntoTextAcrossFold(const QKeyEvent *e)
{
    // At a fold, the end of one piece and the start of the next are the same
    // place in the text; a key that deletes must find a character there, not
    // the fold.
    QTextCursor c = textCursor();
    if (c.hasSelection())
        return;
    const int at = c.position();
    if ((e->matches(QKeySequence::DeleteStartOfWord) || e->key() == Qt::Key_Backspace) && at > 0
        && m_text.isSoftBreak(at - 1))
        c.setPosition(at - 1);
    else if ((e->matches(QKeySequence::DeleteEndOfWord) || e->matches(QKeySequence::Delete))
             && m_text.isSoftBreak(at))
        c.setPosition(at + 1);
    else
        return;
    setTextCursor(c);
}

bool EditPane::movedOnlyAcrossFold(const QKeyEvent *e, int positionBefore, qsizetype indexBefore) const
{
    const int at = textCursor().position();
    return at != positionBefore && m_text.toText(at) == indexBefore && movesByCharacterOrWord(e);
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
        const Typing typing(this);
        QPlainTextEdit::keyPressEvent(&plain);
        e->setAccepted(plain.isAccepted());
        return;
    }
    const QString typed = e->text();
    if (typesTextInto(e)
        && (typed.contains(QChar(QChar::LineSeparator)) || typed.contains(QChar(QChar::ParagraphSeparator)))) {
        // So would a key that types U+2028 or U+2029: the text goes in with
        // the editor's line ends, as pasted text does.
        insertAtSelection(PaneText::withOwnLineEnds(typed));
        ensureCursorVisible();
        e->accept();
        return;
    }
    stepOntoTextAcrossFold(e);
    const int positionBefore = textCursor().position();
    const qsizetype indexBefore = m_text.toText(positionBefore);
    {
        const Typing typing(this);
        QPlainTextEdit::keyPressEvent(e);
    }
    // Arrow keys step over a fold as over nothing.
    if (movedOnlyAcrossFold(e, positionBefore, indexBefore))
        QPlainTextEdit::keyPressEvent(e);
    collapseSelectionOfAFold();
}

void EditPane::collapseSelectionOfAFold()
{
    // A selection that covers a fold and nothing else selects no text; left
    // as it is, the next arrow key would only collapse it and seem lost.
    QTextCursor c = textCursor();
    if (c.hasSelection() && m_text.toText(c.anchor()) == m_text.toText(c.position())) {
        c.clearSelection();
        setTextCursor(c);
    }
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
    const Typing typing(this, e->replacementLength() == 0);
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

void EditPane::mouseReleaseEvent(QMouseEvent *e)
{
    QPlainTextEdit::mouseReleaseEvent(e);
    emit mouseUp(e->button(), e->modifiers(), e->globalPosition().toPoint());
}

QMimeData *EditPane::createMimeDataFromSelection() const
{
    // What the pane copies or drags is the text, with its own line ends and
    // without the folds of the display.
    auto *data = new QMimeData;
    data->setText(selectedText());
    return data;
}

void EditPane::insertFromMimeData(const QMimeData *source)
{
    // Pasted or dropped text gets the editor's line ends, as the menu's paste does.
    if (!source->hasText())
        return;
    insertAtSelection(PaneText::withOwnLineEnds(source->text()));
    ensureCursorVisible();
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
    applyFixes(m_text.applyDocumentChange(position, removed, c.selectedText(), m_typedOver));
}

void EditPane::applyFixes(const PaneText::Fixes &fixes)
{
    QScopedValueRollback guard(m_ownEdit, true);
    for (const PaneText::Fix &fix : fixes) {
        QTextCursor c(document());
        c.setPosition(int(fix.position));
        if (fix.kind == PaneText::Fix::Kind::Insert) {
            c.insertBlock();
        } else {
            c.setPosition(int(fix.position) + 1, QTextCursor::KeepAnchor);
            c.removeSelectedText();
        }
    }
}

} // namespace holvane
