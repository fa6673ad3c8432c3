#pragma once

#include "editor/line_layouts.h"
#include "editor/text_buffer.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QElapsedTimer>
#include <QKeySequence>
#include <QList>
#include <QSet>

#include <functional>
#include <optional>

class QMimeData;
class QTextLayout;

namespace holvane {

// The panes' font at start. The family is the Windows one, which users and
// their settings know; here it stands for an installed Japanese font.
inline const QString kPaneFontFamily = QStringLiteral("ＭＳ ゴシック");
inline constexpr int kPaneFontSize = 12;

// An edit pane: the document's text, drawn as it is.
//
// The pane owns the text (a TextBuffer, each line end as it came) and draws
// only the lines on screen (LineLayouts). Every change, from a key, the input
// method, the mouse, a drop or a command, goes through one function, edit(),
// which changes the buffer, the layouts of the lines it touched, the caret,
// and tells whoever listens.
//
// Positions count the characters of the text: a CR LF counts two, and no
// caret stands between its CR and its LF or inside a surrogate pair.
class EditPane : public QAbstractScrollArea {
    Q_OBJECT
public:
    enum class Wrap { None, AtRightEdge };

    EditPane(const QString &name, Wrap wrap, QWidget *parent = nullptr);
    ~EditPane() override;

    Wrap wrap() const { return m_wrap; }

    // The whole text as it stands, shared: what the undo pair keeps. While
    // a reading is typed over a selection, the text with the selection.
    TextSnapshot snapshot() const
    {
        return m_typedOverAt >= 0 && m_beforeComposition ? *m_beforeComposition : m_buffer.snapshot();
    }
    // The same, as a string: a copy, made when asked.
    QString text() const { return snapshot().toString(); }
    // Sets the whole text, with the caret at the start and nothing selected.
    void setText(const QString &text);
    void setSnapshot(const TextSnapshot &text);
    qsizetype lineCount() const { return m_buffer.lineCount(); }
    const TextBuffer &buffer() const { return m_buffer; }
    const LineLayouts &layouts() const { return m_layouts; }

    qsizetype selectionStart() const { return std::min(m_anchor, m_caret); }
    void setSelectionStart(qsizetype start); // also empties the selection
    qsizetype selectionLength() const { return std::max(m_anchor, m_caret) - selectionStart(); }
    void setSelectionLength(qsizetype length); // selects from selectionStart
    bool hasSelection() const { return m_anchor != m_caret; }
    QString selectedText() const { return m_buffer.mid(selectionStart(), selectionLength()); }
    // Replaces the selection, or inserts at the caret; afterwards nothing is
    // selected and the caret stands after the inserted text.
    void replaceSelection(const QString &text);
    // The same as replacing the selection by `opening`, the selected text and
    // `closing`, without copying the selected text.
    void surroundSelection(const QString &opening, const QString &closing);
    // Replaces the whole text and leaves the caret at its end, changing only
    // the part that differs, so that a small change to a big text stays quick.
    void replaceAllCaretAtEnd(const TextSnapshot &text);

    // Keys that belong to menu commands. They never edit the pane: a menu
    // shortcut wins over the pane's own binding for the same key, and while
    // the command is disabled the key does nothing at all.
    void setReservedKeys(const QList<QKeySequence> &keys) { m_reserved = keys; }

    // Where the caret is drawn, in the pane's own coordinates.
    QRect caretRectangle() const;
    qsizetype caretPosition() const { return m_caret; }
    qsizetype anchorPosition() const { return m_anchor; }
    // Where a point of the viewport falls in the text.
    qsizetype positionAt(QPoint viewportPoint) const;
    QRect characterRectangle(qsizetype position) const; // viewport coordinates
    void setCaret(qsizetype caret, qsizetype anchor);

    // What the pane copies or drags: the selected text with its own line
    // ends, read only when someone asks for it.
    QMimeData *createMimeDataFromSelection() const;
    // Text from outside put in at a position as one input, for the undo
    // pair: what the middle button pastes from the primary selection.
    void pasteAt(qsizetype position, const QString &text);

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

signals:
    // Around every key press and its release, input method commit, drop and
    // middle-button paste: the text just before and just after, for the
    // undo pair.
    void beforeInput(const TextSnapshot &text);
    void afterInput(const TextSnapshot &text);
    void mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint globalPosition);
    void copyAvailable(bool available);
    void textChanged();
    void selectionChanged();

protected:
    bool event(QEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void showEvent(QShowEvent *e) override;
    void changeEvent(QEvent *e) override;
    void scrollContentsBy(int dx, int dy) override;
    void timerEvent(QTimerEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void keyReleaseEvent(QKeyEvent *e) override;
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void inputMethodEvent(QInputMethodEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void dragEnterEvent(QDragEnterEvent *e) override;
    void dragMoveEvent(QDragMoveEvent *e) override;
    void dragLeaveEvent(QDragLeaveEvent *e) override;
    void dropEvent(QDropEvent *e) override;

private:
    // The one way the text changes.
    // A change while a reading shows is no change of the document's text.
    enum class Change { Real, WhileComposing };
    void edit(qsizetype from, qsizetype removed, const QString &inserted, Change change = Change::Real);
    // The same with part of a snapshot, whose pieces are shared, not copied.
    void edit(qsizetype from, qsizetype removed, const TextSnapshot &source, qsizetype sourceFrom, qsizetype length,
              Change change = Change::Real);
    // What every change does around its `replace` of the buffer's text.
    void changeText(qsizetype &from, qsizetype &removed, qsizetype inserted, Change change,
                    const std::function<void()> &replace);
    // Input that changes the text as the user sees it: recorded for the undo pair.
    void recordedInput(const std::function<void()> &change);

    // pane_view.cpp: scrolling and drawing.
    void ensureLayouts() const;
    void layOutAgain();
    void updateScrollBars();
    void ensureCaretVisible();
    qsizetype visibleRows() const;
    qsizetype topRow() const;
    void scrollToRow(qsizetype row);
    // Lays out the rows of a line that show, as painting does; its rows.
    qsizetype layOutRows(qsizetype line, qsizetype fromRow, qsizetype rows) const;
    // Each line from the top of the screen down to `limit`, laid out: its
    // top and its rows, until `visit` returns true.
    void walkDown(qreal limit, const std::function<bool(qsizetype line, qreal top, qsizetype rows)> &visit) const;
    QPointF lineOrigin(qsizetype line) const; // viewport coordinates
    void paintLine(QPainter &painter, qsizetype line, qreal top, qsizetype fromRow, qsizetype rows);
    void restartBlinking();

    // pane_keys.cpp
    bool isReserved(const QKeyEvent *e) const;
    bool moveByKey(QKeyEvent *e);
    bool editByKey(QKeyEvent *e);
    qsizetype verticalMove(qsizetype from, qsizetype rows);
    qsizetype rowEdge(qsizetype position, bool end);
    qsizetype nextCharacter(qsizetype position) const;
    qsizetype previousCharacter(qsizetype position) const;
    qsizetype wordBoundary(qsizetype position, bool forward) const;
    void typeText(const QString &text);

    // pane_mouse.cpp
    void selectUnitAt(qsizetype position);
    void extendSelectionTo(qsizetype position);
    void startDrag();
    void autoScroll();
    bool isOwnDrag(const QMimeData *data) const;
    void offerPrimarySelection();

    // pane_input_method.cpp
    bool dropsWithdrawnReading(const QInputMethodEvent *e);
    // A click, a drop or a paste while a reading shows: the reading goes in
    // first, where it stands.
    void commitReading();
    // The text is replaced under a composition: it ends, reading and all.
    void endComposition();
    // A selection a reading was typed over stays gone.
    void keepTypedOverSelectionOut();
    void takeTypedOverSelection();
    void giveBackTypedOverSelection();
    void showPreedit(const QInputMethodEvent *e);

    void selectionMayHaveChanged(bool hadSelection);

    Wrap m_wrap;
    TextBuffer m_buffer;
    mutable LineLayouts m_layouts;
    mutable bool m_layoutsStale = false;
    qsizetype m_anchor = 0;
    qsizetype m_caret = 0;
    qreal m_desiredX = -1; // where Up and Down aim, until the caret moves otherwise
    // The first line on screen and how many of its rows are above the top.
    qsizetype m_topLine = 0;
    qsizetype m_topRowInLine = 0;
    int m_scrollX = 0;
    bool m_caretShown = true;
    QBasicTimer m_blink;
    QList<QKeySequence> m_reserved;
    // Keys whose press this pane received and whose release is still to come.
    QSet<quint64> m_keysDown;

    // The mouse.
    enum class Unit { Character, Word, Line };
    Unit m_unit = Unit::Character;
    qsizetype m_unitAnchorFrom = 0, m_unitAnchorTo = 0;
    QPoint m_pressedAt;
    bool m_mayDrag = false;
    bool m_selecting = false;
    QElapsedTimer m_sinceDoubleClick;
    QBasicTimer m_autoScroll;
    qsizetype m_dropCaret = -1;
    bool m_droppedHere = false;
    bool m_primaryPending = false;

    // The input method's reading, the selection it is typed over (out of the
    // text while the reading shows, and given back from the text before the
    // composition's first change, which still holds it).
    QString m_preedit;
    QString m_withdrawn;
    qsizetype m_typedOverAt = -1;
    qsizetype m_typedOverLength = 0;
    bool m_typedOverWasForward = true;
    std::optional<TextSnapshot> m_beforeComposition;
};

} // namespace holvane
