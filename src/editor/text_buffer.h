#pragma once

#include <QString>
#include <QStringView>
#include <QTextBoundaryFinder>

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace holvane {

namespace buffer {
struct Content;
}

// A text as it stood at one moment, immutable and shared: what the undo pair
// keeps, what the hidden pane is given, and what another thread may read.
// Copying one copies a pointer; the buffer it came from goes on editing its
// own copy of the piece list, never the pieces themselves.
class TextSnapshot {
public:
    TextSnapshot();
    explicit TextSnapshot(const QString &text);

    qsizetype size() const;
    QString toString() const;
    // Characters [from, from + length), clipped to the text.
    QString mid(qsizetype from, qsizetype length) const;

    // Equal texts, character by character; quick where the two share pieces.
    bool operator==(const TextSnapshot &other) const;
    bool operator==(QStringView text) const;

    // How many characters the two share at their start, and at their end
    // (the end never reaching into the shared start). Shared pieces are
    // skipped whole, so two versions of a big text compare in the time of
    // what differs.
    static qsizetype commonPrefix(const TextSnapshot &a, const TextSnapshot &b);
    static qsizetype commonSuffix(const TextSnapshot &a, const TextSnapshot &b, qsizetype prefix);

private:
    friend class TextBuffer;
    explicit TextSnapshot(std::shared_ptr<const buffer::Content> content) : m_content(std::move(content)) {}
    std::shared_ptr<const buffer::Content> m_content;
};

// The text of an edit pane, with each line end as it came (CR LF, LF or a
// lone CR), and an index of where its lines start.
//
// The text lies in pieces of a few thousand characters; a text read from a
// file is cut into pieces that all point into the one string it was
// decoded to, so nothing is copied. An edit rewrites the pieces it touches
// and copies the list of pieces (not their characters) if a snapshot shares
// it. Each piece knows where its own line ends are, so finding a line is a
// binary search over the pieces and one within a piece.
//
// A line end is CR LF, LF or a CR not followed by LF: a CR and an LF that
// come together by an edit are one line end from then on, as in the file
// read again. A CR LF is never split between two pieces.
class TextBuffer {
public:
    TextBuffer();
    explicit TextBuffer(const QString &text);

    void setSnapshot(const TextSnapshot &snapshot) { m_content = snapshot.m_content; }
    TextSnapshot snapshot() const { return TextSnapshot(m_content); }

    qsizetype size() const;
    QString text() const { return snapshot().toString(); }
    QString mid(qsizetype from, qsizetype length) const { return snapshot().mid(from, length); }
    char16_t at(qsizetype position) const; // 0 past the end

    // Lines: the first is 0; an empty text has one line. A position counts
    // on the line whose text or line end it stands in.
    qsizetype lineCount() const;
    qsizetype lineOf(qsizetype position) const;
    qsizetype lineStart(qsizetype line) const; // the text's end past the last line
    // The line's characters, without its line end.
    qsizetype lineLength(qsizetype line) const;
    qsizetype lineEnd(qsizetype line) const { return lineStart(line) + lineLength(line); }

    // The line lengths (without line ends) from `first` on, in order, until
    // `visit` returns false. A walk over the pieces, not a search per line.
    void forEachLineLength(qsizetype first, const std::function<bool(qsizetype line, qsizetype length)> &visit) const;
    // The text [from, to) in the runs it is stored in.
    void forEachRun(qsizetype from, qsizetype to, const std::function<void(QStringView)> &visit) const;

    // Whether a caret may stand at `position`: not between the CR and the LF
    // of a line end, nor inside a surrogate pair.
    bool isCaretPosition(qsizetype position) const;
    // `position` clipped to the text and moved back to the nearest place a
    // caret may stand.
    qsizetype caretPosition(qsizetype position) const;
    // The word or sentence [from, to) around `position`, found in the text
    // of its line no further than `reach` either side, so that a line of
    // megabytes is not handed to the finder whole.
    std::pair<qsizetype, qsizetype> unitAround(qsizetype position, QTextBoundaryFinder::BoundaryType type,
                                               qsizetype reach) const;

    // Replaces [position, position + removed) by `inserted`; a long one is
    // shared, not copied, where it is a QString.
    void replace(qsizetype position, qsizetype removed, QStringView inserted);
    void replace(qsizetype position, qsizetype removed, const QString &inserted);
    // The same with [from, from + length) of a snapshot, whose pieces are
    // shared: Undo puts a big text back without copying its characters.
    void replace(qsizetype position, qsizetype removed, const TextSnapshot &source, qsizetype from, qsizetype length);

private:
    buffer::Content &own();
    std::shared_ptr<const buffer::Content> m_content;
};

} // namespace holvane
