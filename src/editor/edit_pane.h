#pragma once

#include "editor/pane_text.h"

#include <QKeySequence>
#include <QList>
#include <QPlainTextEdit>
#include <QSet>

namespace holvane {

// The panes' font at start. The family is the Windows one, which users and
// their settings know; here it stands for an installed Japanese font.
inline const QString kPaneFontFamily = QStringLiteral("ＭＳ ゴシック");
inline constexpr int kPaneFontSize = 12;

// An edit pane: a plain-text editor that speaks in the documents' own terms.
// `Text` holds each line end as it came (CR LF for lines typed here), and
// SelStart and SelLength count a CR LF as two characters.
class EditPane : public QPlainTextEdit {
    Q_OBJECT
public:
    enum class Wrap { None, AtRightEdge };

    EditPane(const QString &name, Wrap wrap, QWidget *parent = nullptr);

    QString Text() const { return m_text.text(); }
    void setText(const QString &text);

    qsizetype SelStart() const;
    void setSelStart(qsizetype start); // also empties the selection
    qsizetype SelLength() const;
    void setSelLength(qsizetype length); // selects from SelStart
    QString SelText() const;
    // Replaces the selection, or inserts at the caret; afterwards nothing is
    // selected and the caret stands after the inserted text.
    void setSelText(const QString &text);

    // Replaces the whole text and leaves the caret at its end, changing only
    // the part that differs, so that a small change to a big text stays quick.
    void replaceAllCaretAtEnd(const QString &text);

    // Keys that belong to menu commands. They never edit the pane: a menu
    // shortcut wins over the pane's own binding for the same key, and while
    // the command is disabled the key does nothing at all.
    void setReservedKeys(const QList<QKeySequence> &keys) { m_reserved = keys; }

    void setVisible(bool visible) override;

signals:
    void keyDown();
    void keyUp();
    void mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint globalPosition);

protected:
    bool event(QEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void keyReleaseEvent(QKeyEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void inputMethodEvent(QInputMethodEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    enum class Caret { AtStart, AtEnd };

    bool isReserved(const QKeyEvent *e) const;
    bool dropsWithdrawnReading(const QInputMethodEvent *e);
    void onContentsChange(int position, int removed, int added);
    void joinLineEnds(const PaneText::Joins &joins);
    void setTextWithCaret(const QString &text, Caret caret);
    // A hidden pane takes its text into the document only when it shows:
    // nobody sees or edits it before, and a big document costs a
    // quarter of a second per pane to lay out.
    void ensureDocument() const;
    void loadDocument();

    PaneText m_text;
    QList<QKeySequence> m_reserved;
    bool m_ownEdit = false;
    bool m_documentStale = false;
    Caret m_caretOnLoad = Caret::AtStart;
    // Keys whose press this pane received and whose release is still to come.
    QSet<quint64> m_keysDown;
    // The input method's reading as it stood before the last composition
    // event, and the reading that event withdrew without a commit.
    QString m_preedit;
    QString m_withdrawn;
};

} // namespace holvane
