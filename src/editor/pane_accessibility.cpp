#include "editor/pane_accessibility.h"

#include "editor/edit_pane.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QTextBoundaryFinder>

namespace holvane {
namespace {

// Words and sentences are looked for this far around an offset, within its line.
constexpr qsizetype kReach = 512;
constexpr qsizetype kLongestLine = 8192;

class PaneAccessible : public QAccessibleWidget,
                       public QAccessibleTextInterface,
                       public QAccessibleEditableTextInterface {
public:
    explicit PaneAccessible(EditPane *pane) : QAccessibleWidget(pane, QAccessible::EditableText) {}

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        if (type == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.editable = true;
        s.multiLine = true;
        s.selectableText = true;
        return s;
    }

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? pane()->text() : QAccessibleWidget::text(t);
    }

    // -- QAccessibleTextInterface
    void selection(int index, int *start, int *end) const override
    {
        *start = *end = 0;
        if (index == 0 && pane()->hasSelection()) {
            *start = int(pane()->selectionStart());
            *end = int(pane()->selectionStart() + pane()->selectionLength());
        }
    }
    int selectionCount() const override { return pane()->hasSelection() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override { pane()->setCaret(pane()->caretPosition(), pane()->caretPosition()); }
    void setSelection(int, int start, int end) override { pane()->setCaret(end, start); }
    int cursorPosition() const override { return int(pane()->caretPosition()); }
    void setCursorPosition(int position) override { pane()->setCaret(position, position); }
    int characterCount() const override { return int(pane()->buffer().size()); }
    QString text(int start, int end) const override { return pane()->buffer().mid(start, end - start); }

    QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int *start, int *end) const override
    {
        const auto [from, to] = rangeAt(offset, type);
        *start = int(from);
        *end = int(to);
        return text(*start, *end);
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int *start, int *end) const override
    {
        const qsizetype at = rangeAt(offset, type).first;
        if (at <= 0) {
            *start = *end = 0;
            return QString();
        }
        return textAtOffset(int(at - 1), type, start, end);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int *start, int *end) const override
    {
        const qsizetype at = rangeAt(offset, type).second;
        if (at >= pane()->buffer().size()) {
            *start = *end = int(pane()->buffer().size());
            return QString();
        }
        return textAtOffset(int(at), type, start, end);
    }

    QRect characterRect(int offset) const override
    {
        const QRect r = pane()->characterRectangle(offset);
        return QRect(pane()->viewport()->mapToGlobal(r.topLeft()), r.size());
    }
    int offsetAtPoint(const QPoint &point) const override
    {
        return int(pane()->positionAt(pane()->viewport()->mapFromGlobal(point)));
    }
    void scrollToSubstring(int start, int end) override
    {
        pane()->setCaret(end, start);
    }
    QString attributes(int offset, int *start, int *end) const override
    {
        *start = 0;
        *end = characterCount();
        Q_UNUSED(offset);
        return QString();
    }

    // -- QAccessibleEditableTextInterface
    void deleteText(int start, int end) override { replaceText(start, end, QString()); }
    void insertText(int offset, const QString &text) override { replaceText(offset, offset, text); }
    void replaceText(int start, int end, const QString &text) override
    {
        pane()->setCaret(end, start);
        pane()->replaceSelection(text);
    }

private:
    EditPane *pane() const { return static_cast<EditPane *>(widget()); }

    // The range of a boundary type around an offset: a character, a word, a
    // sentence, a line with its line end, or everything.
    std::pair<qsizetype, qsizetype> rangeAt(qsizetype offset, QAccessible::TextBoundaryType type) const
    {
        const TextBuffer &buffer = pane()->buffer();
        offset = std::clamp<qsizetype>(offset, 0, buffer.size());
        const qsizetype line = buffer.lineOf(offset);
        const qsizetype lineStart = buffer.lineStart(line);
        const qsizetype nextLine = buffer.lineStart(line + 1); // the end, past the last line
        switch (type) {
        case QAccessible::CharBoundary:
            return {offset, std::min(buffer.size(), offset + 1)};
        case QAccessible::LineBoundary:
        case QAccessible::ParagraphBoundary:
            // A line of a minified page can be megabytes: a reader gets a
            // stretch of it around the offset, not all of it at every move.
            if (nextLine - lineStart > kLongestLine)
                return {std::max(lineStart, offset - kLongestLine / 2), std::min(nextLine, offset + kLongestLine / 2)};
            return {lineStart, nextLine};
        case QAccessible::NoBoundary:
            return {0, buffer.size()};
        case QAccessible::WordBoundary:
        case QAccessible::SentenceBoundary:
            break;
        }
        return buffer.unitAround(
            offset, type == QAccessible::WordBoundary ? QTextBoundaryFinder::Word : QTextBoundaryFinder::Sentence, kReach);
    }
};

QAccessibleInterface *paneFactory(const QString &, QObject *object)
{
    if (auto *pane = qobject_cast<EditPane *>(object))
        return new PaneAccessible(pane);
    return nullptr;
}

} // namespace

void registerPaneAccessibility()
{
    static const bool done = [] {
        QAccessible::installFactory(paneFactory);
        return true;
    }();
    Q_UNUSED(done);
}

void tellAccessibility(EditPane *pane, qsizetype from, qsizetype removed, const QString &removedText, qsizetype inserted)
{
    if (!QAccessible::isActive())
        return;
    if (removed > 0) {
        QAccessibleTextRemoveEvent event(pane, int(from), removedText);
        QAccessible::updateAccessibility(&event);
    }
    if (inserted > 0) {
        QAccessibleTextInsertEvent event(pane, int(from), pane->buffer().mid(from, inserted));
        QAccessible::updateAccessibility(&event);
    }
    tellAccessibilityCaret(pane);
}

void tellAccessibilityCaret(EditPane *pane)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleTextCursorEvent cursor(pane, int(pane->caretPosition()));
    QAccessible::updateAccessibility(&cursor);
    if (pane->hasSelection()) {
        const int start = int(pane->selectionStart());
        QAccessibleTextSelectionEvent selection(pane, start, start + int(pane->selectionLength()));
        QAccessible::updateAccessibility(&selection);
    }
}

} // namespace holvane
