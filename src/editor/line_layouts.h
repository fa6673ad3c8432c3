#pragma once

#include "editor/row_index.h"

#include <QFont>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QTextLayout>

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace holvane {

class TextBuffer;

// How the lines of an edit pane are laid out for the screen.
//
// Only what is on screen is laid out, one QTextLayout per line, and the
// layouts of recent lines are kept. A long line (a minified page, an inlined
// image) is cut into segments that are laid out one by one, so that a
// screenful of a 2 MiB line costs what a screenful of short lines costs.
// Without wrapping the segments stand side by side; with wrapping each
// starts on a row of its own, at a blank or a tag's end where one is near.
//
// Every line is drawn on rows of one height. With wrapping, a line not yet
// laid out counts the rows its length suggests, and the real count replaces
// that once it is laid out. Widths of segments not laid out are estimated
// the same way, from their characters.
//
// Characters with nothing to draw (control characters, the line and
// paragraph separators, the placeholders of bytes the decoder kept) are laid
// out as a full-width space and shown as a small box with their code, so
// that a position is always one character on screen.
class LineLayouts {
public:
    enum class Wrap { None, AtWidth };

    // A part of a line laid out on its own: the whole line, or a segment.
    struct Part {
        QTextLayout *layout = nullptr;
        qsizetype start = 0;  // of the part, within its line
        qsizetype length = 0;
        qreal x = 0;          // where the part begins, without wrapping
        qsizetype row = 0;    // the part's first row within its line
        qsizetype reading = -1; // where the layout holds the input method's reading, if it does
        // Characters drawn as a box: their place in the part and their code.
        const std::vector<std::pair<qsizetype, char16_t>> *boxes = nullptr;
    };

    // The input method's reading, drawn at a position and never part of the text.
    struct Preedit {
        qsizetype position = -1; // none where negative
        QString text;
        qsizetype cursor = 0; // the input method's caret, within the reading
        QList<QTextLayout::FormatRange> formats;
    };

    LineLayouts(const TextBuffer &buffer, Wrap wrap);
    ~LineLayouts();

    Wrap wrap() const { return m_wrap; }
    void setFont(const QFont &font);
    const QFont &font() const { return m_font; }
    // The width lines wrap at; ignored without wrapping. True where it
    // changed: the layouts then need reset().
    bool setWrapWidth(qreal width);
    qreal narrowWidth() const { return m_narrow; }
    void setPreedit(const Preedit &preedit);
    const Preedit &preedit() const { return m_preedit; }

    // The whole text was replaced.
    void reset();
    // Lines [first, first + before) became [first, first + after).
    void linesReplaced(qsizetype first, qsizetype before, qsizetype after);
    // Characters [offset, offset + removed) of one line became `inserted`
    // characters, and no line end came or went: a long line is then cut
    // again only around the change.
    void lineEdited(qsizetype line, qsizetype offset, qsizetype removed, qsizetype inserted);

    int rowHeight() const { return m_rowHeight; }
    qsizetype rowCount() const;
    qsizetype rowOfLine(qsizetype line) const;
    qsizetype rowsOfLine(qsizetype line) const;
    // The line a row belongs to, and the row within it.
    std::pair<qsizetype, qsizetype> lineAtRow(qsizetype row) const;
    // Without wrapping: the widest line seen or estimated so far.
    qreal widestLine() const { return m_widest; }

    // The parts of a line that meet rows [rowFrom, rowTo) of it and, without
    // wrapping, x in [xFrom, xTo), laid out, in order.
    void visitParts(qsizetype line, qsizetype rowFrom, qsizetype rowTo, qreal xFrom, qreal xTo,
                    const std::function<void(const Part &)> &visit);
    // The part holding a character of a line (its end counts in the last part).
    Part partAt(qsizetype line, qsizetype offset);
    // The part under a row of a line, or under an x without wrapping.
    Part partAtRow(qsizetype line, qsizetype row);
    Part partAtX(qsizetype line, qreal x);

    // Where a caret before `offset` of `line` stands, relative to the line's
    // top left corner (x over the whole line without wrapping).
    QRectF caretRect(qsizetype line, qsizetype offset);
    // The offset in `line` nearest to a point relative to its top left corner.
    qsizetype offsetAt(qsizetype line, QPointF point);

    // Forgets every layout but those the last paint used: after a paint.
    void trim();
    // How many parts are laid out and kept: what the pane spent on its screen.
    qsizetype keptLayouts() const { return qsizetype(m_cache.size()); }
    // Whether the segments of every line cut into segments add up to the
    // line, as they must after any change.
    bool segmentsAgree() const;

private:
    struct Segment {
        qsizetype length = 0;
        qreal width = 0; // estimated until laid out
        qsizetype rows = 1;
    };
    struct Cached {
        std::unique_ptr<QTextLayout> layout;
        std::vector<std::pair<qsizetype, char16_t>> boxes;
        qsizetype reading = -1;
        bool used = true;
    };
    using Key = std::pair<qsizetype, qsizetype>; // line, segment

    bool isLong(qsizetype line) const;
    std::vector<Segment> &segmentsOf(qsizetype line);
    std::vector<Segment> cutIntoSegments(qsizetype start, qsizetype length) const;
    qreal estimatedWidth(qsizetype from, qsizetype length) const;
    qsizetype estimatedRows(qreal width) const;
    qsizetype estimatedLineRows(qsizetype length) const;
    // The rows (with wrapping) or the width (without) of a line from its segments.
    void takeTotalsOf(qsizetype line, const std::vector<Segment> &segments);
    Cached &laidOut(qsizetype line, qsizetype segment, qsizetype start, qsizetype length, bool last);
    void forgetLayouts(qsizetype line);
    Part part(qsizetype line, qsizetype segment);
    // The part of the first segment that reaches past `at` by `extent`, or the last.
    Part partWhere(qsizetype line, qreal at, qreal (*extent)(const Segment &));
    void estimateAllRows();

    const TextBuffer &m_buffer;
    Wrap m_wrap;
    QFont m_font;
    int m_rowHeight = 16;
    qreal m_narrow = 8, m_wide = 16, m_tab = 80;
    qreal m_wrapWidth = 400;
    qreal m_widest = 0;
    Preedit m_preedit;
    RowIndex m_rows; // with wrapping: the rows of each line
    std::map<qsizetype, std::vector<Segment>> m_long;
    std::map<Key, Cached> m_cache;
};

} // namespace holvane
