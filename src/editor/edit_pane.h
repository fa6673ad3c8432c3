#pragma once

#include "editor/pane_text.h"

#include <QKeySequence>
#include <QList>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QSet>

namespace holvane {

// The panes' font at start. The family is the Windows one, which users and
// their settings know; here it stands for an installed Japanese font.
inline const QString kPaneFontFamily = QStringLiteral("ＭＳ ゴシック");
inline constexpr int kPaneFontSize = 12;

// An edit pane: a plain-text editor that speaks in the documents' own terms.
// `Text` holds each line end as it came (CR LF for lines typed here), and
// selectionStart and selectionLength count a CR LF as two characters.
//
// A line longer than the pane's piece length is shown folded into pieces
// (see PaneText); Home and End go to the edges of a piece.
class EditPane : public QPlainTextEdit {
    Q_OBJECT
public:
    enum class Wrap { None, AtRightEdge };

    // Where a long line is folded. The pane that does not wrap draws every
    // character of every line it shows, so its pieces are short; the one
    // that wraps only lays out the piece that changes.
    static constexpr qsizetype kPieceLengthUnwrapped = 1024;
    static constexpr qsizetype kPieceLengthWrapped = 4096;

    EditPane(const QString &name, Wrap wrap, QWidget *parent = nullptr);

    QString text() const { return m_text.text(); }
    void setText(const QString &text);

    qsizetype selectionStart() const;
    void setSelectionStart(qsizetype start); // also empties the selection
    qsizetype selectionLength() const;
    void setSelectionLength(qsizetype length); // selects from selectionStart
    QString selectedText() const;
    // Replaces the selection, or inserts at the caret; afterwards nothing is
    // selected and the caret stands after the inserted text.
    void replaceSelection(const QString &text);

    // Replaces the whole text and leaves the caret at its end, changing only
    // the part that differs, so that a small change to a big text stays quick.
    void replaceAllCaretAtEnd(const QString &text);

    // Keys that belong to menu commands. They never edit the pane: a menu
    // shortcut wins over the pane's own binding for the same key, and while
    // the command is disabled the key does nothing at all.
    void setReservedKeys(const QList<QKeySequence> &keys) { m_reserved = keys; }

    // The text model behind the display, for what looks at the display itself.
    const PaneText &model() const { return m_text; }
    // Lines as the document has them: pieces of a folded line count as one.
    qsizetype lineCount() const;

    void setVisible(bool visible) override;

signals:
    void keyDown();
    void keyUp();
    void mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint globalPosition);

protected:
    bool event(QEvent *e) override;
    bool viewportEvent(QEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void keyReleaseEvent(QKeyEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void inputMethodEvent(QInputMethodEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    QMimeData *createMimeDataFromSelection() const override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    enum class Caret { AtStart, AtEnd };

    bool isReserved(const QKeyEvent *e) const;
    bool dropsWithdrawnReading(const QInputMethodEvent *e);
    void stepOntoTextAcrossFold(const QKeyEvent *e);
    bool movedOnlyAcrossFold(const QKeyEvent *e, int positionBefore, qsizetype indexBefore) const;
    void insertAtSelection(const QString &text);
    void collapseSelectionOfAFold();
    void onContentsChange(int position, int removed, int added);
    void applyFixes(const PaneText::Fixes &fixes);
    void setTextWithCaret(const QString &text, Caret caret);

    // The document fills in three stages. A hidden pane takes no text into
    // it: nobody sees or edits it there. A pane that shows loads enough for
    // its first screen at once and the rest once that screen is painted, a
    // piece at a time, so a big document is on screen without waiting for
    // all of its blocks. Whatever needs the whole document (a key, the mouse,
    // any position asked for) completes it first.
    void ensureDocument() const;
    void loadDocument();
    void appendShown(qsizetype end);
    void fillSome();
    void completeDocument();
    bool isFilling() const { return !m_display.isNull(); }

    PaneText m_text;
    QList<QKeySequence> m_reserved;
    bool m_ownEdit = false;
    // The selection a key or the input method is typing over, while it does.
    DocumentRange m_typedOver;
    struct Typing {
        QScopedValueRollback<DocumentRange> over;
        explicit Typing(EditPane *pane, bool atSelection = true)
            : over(pane->m_typedOver, atSelection ? DocumentRange{pane->textCursor().selectionStart(),
                                                                    pane->textCursor().selectionEnd()}
                                                  : DocumentRange{})
        {
        }
    };
    bool m_documentStale = false;
    Caret m_caretOnLoad = Caret::AtStart;
    // The text as the document shows it (folds included) while the document
    // is being filled, and how much of it the document holds so far.
    QString m_display;
    qsizetype m_shown = 0;
    bool m_fillScheduled = false;
    // Keys whose press this pane received and whose release is still to come.
    QSet<quint64> m_keysDown;
    // The input method's reading as it stood before the last composition
    // event, and the reading that event withdrew without a commit.
    QString m_preedit;
    QString m_withdrawn;
};

} // namespace holvane
