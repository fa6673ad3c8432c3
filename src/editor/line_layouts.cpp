#include "editor/line_layouts.h"

#include "editor/text_buffer.h"

#include <QFontMetricsF>
#include <QTextLine>
#include <QTextOption>

#include <algorithm>
#include <cmath>

namespace holvane {
namespace {

// Segment lengths: without wrapping only what is on screen is drawn, so
// segments can be short; with wrapping a segment's last row may end short of
// the edge, so they are longer and rarer. A line is cut only when it is more
// than twice that long.
constexpr qsizetype kSegmentUnwrapped = 1024;
constexpr qsizetype kSegmentWrapped = 4096;
// Layouts kept beyond those the last paint used.
constexpr size_t kCachedLayouts = 256;
// QPlainTextEdit's tab stops, which users of the pane are used to.
constexpr qreal kTabStop = 80;
constexpr qreal kNoWrapWidth = 1e6;
constexpr char16_t kBoxStandIn = 0x3000; // a full-width space

qsizetype segmentLength(LineLayouts::Wrap wrap)
{
    return wrap == LineLayouts::Wrap::None ? kSegmentUnwrapped : kSegmentWrapped;
}

bool isWide(char16_t c)
{
    return (c >= 0x1100 && c < 0x1160) || (c >= 0x2E80 && c < 0xD800) || (c >= 0xF900 && c < 0xFB00)
           || (c >= 0xFE30 && c < 0xFE50) || (c >= 0xFF00 && c < 0xFF61) || (c >= 0xFFE0 && c < 0xFFE7)
           || QChar::isHighSurrogate(c);
}

// Characters that have nothing to draw and are shown as a box with their code.
bool isBoxed(QStringView text, qsizetype i)
{
    const char16_t c = text[i].unicode();
    if (c < 0x20)
        return c != u'\t';
    if (c == 0x7F || (c >= 0x80 && c < 0xA0) || c == 0x2028 || c == 0x2029)
        return true;
    if (QChar::isHighSurrogate(c))
        return i + 1 >= text.size() || !text[i + 1].isLowSurrogate();
    if (QChar::isLowSurrogate(c))
        return i == 0 || !text[i - 1].isHighSurrogate();
    return false;
}

// Where a segment that should end near `end` ends best: after a tag's end,
// a blank or a Japanese full stop or comma in its last eighth; never inside
// a surrogate pair or before a combining mark.
qsizetype segmentEnd(const TextBuffer &buffer, qsizetype start, qsizetype end, qsizetype lineEnd)
{
    if (end >= lineEnd)
        return lineEnd;
    const qsizetype earliest = end - (end - start) / 8;
    const QString tail = buffer.mid(earliest, end - earliest + 1); // and the character after the end
    for (qsizetype at = end; at > earliest; --at) {
        const char16_t c = tail[at - 1 - earliest].unicode();
        if (c == u'>' || c == u' ' || c == u'\t' || c == u'。' || c == u'、')
            return at;
    }
    qsizetype at = end;
    while (at > earliest + 1
           && (tail[at - earliest].isLowSurrogate() || tail[at - earliest].category() == QChar::Mark_NonSpacing))
        --at;
    return at;
}

} // namespace

LineLayouts::LineLayouts(const TextBuffer &buffer, Wrap wrap) : m_buffer(buffer), m_wrap(wrap) {}

LineLayouts::~LineLayouts() = default;

void LineLayouts::setFont(const QFont &font)
{
    m_font = font;
    const QFontMetricsF metrics(font);
    m_rowHeight = int(std::ceil(metrics.lineSpacing()));
    m_narrow = metrics.horizontalAdvance(u'x');
    m_wide = std::max(metrics.horizontalAdvance(QChar(u'あ')), m_narrow);
    m_tab = kTabStop;
}

bool LineLayouts::setWrapWidth(qreal width)
{
    width = std::max<qreal>(width, m_wide);
    if (m_wrap == Wrap::None || width == m_wrapWidth)
        return false;
    m_wrapWidth = width;
    return true;
}

void LineLayouts::setPreedit(const Preedit &preedit)
{
    // The layouts that showed the old reading, and the one that will show the new.
    for (const qsizetype position : {m_preedit.position, preedit.position})
        if (position >= 0)
            forgetLayouts(m_buffer.lineOf(position));
    m_preedit = preedit;
}

void LineLayouts::forgetLayouts(qsizetype line)
{
    for (auto it = m_cache.lower_bound({line, 0}); it != m_cache.end() && it->first.first == line;)
        it = m_cache.erase(it);
}

void LineLayouts::lineEdited(qsizetype line, qsizetype offset, qsizetype removed, qsizetype inserted)
{
    const auto it = m_long.find(line);
    const bool longLine = isLong(line);
    if (it == m_long.end() || !longLine) {
        forgetLayouts(line);
        if (it != m_long.end())
            m_long.erase(it);
        if (longLine)
            segmentsOf(line); // sets the line's rows from its segments
        else if (m_wrap == Wrap::AtWidth)
            m_rows.setRows(line, estimatedLineRows(m_buffer.lineLength(line)));
        return;
    }
    // Only the segments the change touched are cut again.
    std::vector<Segment> &segments = it->second;
    size_t first = 0;
    qsizetype start = 0;
    while (first + 1 < segments.size() && start + segments[first].length <= offset)
        start += segments[first++].length;
    size_t last = first;
    qsizetype end = start + segments[first].length;
    while (last + 1 < segments.size() && end < offset + removed)
        end += segments[++last].length;
    const std::vector<Segment> fresh =
        cutIntoSegments(m_buffer.lineStart(line) + start, end - start - removed + inserted);
    segments.erase(segments.begin() + qsizetype(first), segments.begin() + qsizetype(last) + 1);
    segments.insert(segments.begin() + qsizetype(first), fresh.begin(), fresh.end());
    // The layouts of the segments the change did not touch stay, renumbered.
    const qsizetype shift = qsizetype(fresh.size()) - qsizetype(last - first + 1);
    std::vector<decltype(m_cache)::node_type> kept;
    for (auto at = m_cache.lower_bound({line, qsizetype(first)}); at != m_cache.end() && at->first.first == line;) {
        auto next = std::next(at);
        if (at->first.second > qsizetype(last))
            kept.push_back(m_cache.extract(at));
        else
            m_cache.erase(at);
        at = next;
    }
    for (auto &node : kept) {
        node.key().second += shift;
        m_cache.insert(std::move(node));
    }
    takeTotalsOf(line, segments);
}

void LineLayouts::reset()
{
    m_cache.clear();
    m_long.clear();
    m_widest = 0;
    if (m_wrap == Wrap::AtWidth) {
        estimateAllRows();
        return;
    }
    // Without wrapping the widest line sets the scroll range; before any is
    // laid out, the longest stands for it.
    qsizetype longest = 0, longestLength = -1;
    m_buffer.forEachLineLength(0, [&](qsizetype line, qsizetype length) {
        if (length > longestLength) {
            longest = line;
            longestLength = length;
        }
        return true;
    });
    m_widest = estimatedWidth(m_buffer.lineStart(longest), longestLength);
}

void LineLayouts::estimateAllRows()
{
    std::vector<int32_t> rows;
    rows.reserve(size_t(m_buffer.lineCount()));
    m_buffer.forEachLineLength(0, [&](qsizetype, qsizetype length) {
        rows.push_back(int32_t(estimatedLineRows(length)));
        return true;
    });
    m_rows.assign(std::move(rows));
}

void LineLayouts::linesReplaced(qsizetype first, qsizetype before, qsizetype after)
{
    const qsizetype shift = after - before;
    auto moveKeys = [&](auto &map, auto keyOf, auto makeKey) {
        auto it = map.lower_bound(makeKey(first));
        while (it != map.end() && keyOf(it->first) < first + before)
            it = map.erase(it);
        if (shift == 0)
            return;
        std::vector<typename std::decay_t<decltype(map)>::node_type> moved;
        while (it != map.end()) {
            auto next = std::next(it);
            moved.push_back(map.extract(it));
            it = next;
        }
        for (auto &node : moved) {
            node.key() = makeKey(keyOf(node.key()) + shift, node.key());
            map.insert(std::move(node));
        }
    };
    moveKeys(
        m_cache, [](const Key &k) { return k.first; },
        [](qsizetype line, Key old = {0, 0}) { return Key{line, old.second}; });
    moveKeys(
        m_long, [](qsizetype k) { return k; }, [](qsizetype line, qsizetype = 0) { return line; });
    std::vector<int32_t> rows;
    std::vector<qsizetype> longLines;
    m_buffer.forEachLineLength(first, [&](qsizetype line, qsizetype length) {
        const bool longLine = length > 2 * segmentLength(m_wrap); // as isLong, without a search
        if (longLine)
            longLines.push_back(line);
        if (m_wrap == Wrap::AtWidth)
            rows.push_back(int32_t(longLine ? 1 : estimatedLineRows(length)));
        return line + 1 < first + after;
    });
    if (m_wrap == Wrap::AtWidth)
        m_rows.replace(first, before, rows);
    for (const qsizetype line : longLines)
        segmentsOf(line); // sets the line's rows from its segments
}

qsizetype LineLayouts::rowCount() const
{
    return m_wrap == Wrap::None ? m_buffer.lineCount() : m_rows.total();
}

qsizetype LineLayouts::rowOfLine(qsizetype line) const
{
    return m_wrap == Wrap::None ? line : m_rows.rowOf(line);
}

qsizetype LineLayouts::rowsOfLine(qsizetype line) const
{
    return m_wrap == Wrap::None ? 1 : m_rows.rowsOf(line);
}

std::pair<qsizetype, qsizetype> LineLayouts::lineAtRow(qsizetype row) const
{
    row = std::clamp<qsizetype>(row, 0, rowCount() - 1);
    if (m_wrap == Wrap::None)
        return {row, 0};
    const qsizetype line = m_rows.lineAt(row);
    return {line, row - m_rows.rowOf(line)};
}

bool LineLayouts::isLong(qsizetype line) const
{
    return m_buffer.lineLength(line) > 2 * segmentLength(m_wrap);
}

qreal LineLayouts::estimatedWidth(qsizetype from, qsizetype length) const
{
    qsizetype wide = 0, tabs = 0;
    m_buffer.forEachRun(from, from + length, [&](QStringView run) {
        for (const QChar c : run) {
            wide += isWide(c.unicode()) || c.unicode() < 0x20;
            tabs += c == u'\t';
        }
    });
    return wide * m_wide + tabs * m_tab + (length - wide - tabs) * m_narrow;
}

qsizetype LineLayouts::estimatedRows(qreal width) const
{
    return std::max<qsizetype>(1, qsizetype(std::ceil(width / m_wrapWidth)));
}

qsizetype LineLayouts::estimatedLineRows(qsizetype length) const
{
    // Half wide, half narrow: a guess, corrected once the line is laid out.
    // Most lines fit in a row even if all wide, and need no division.
    return length * m_wide <= m_wrapWidth ? 1 : estimatedRows(length * (m_narrow + m_wide) / 2);
}

void LineLayouts::takeTotalsOf(qsizetype line, const std::vector<Segment> &segments)
{
    qsizetype rows = 0;
    qreal width = 0;
    for (const Segment &s : segments) {
        rows += s.rows;
        width += s.width;
    }
    if (m_wrap == Wrap::AtWidth)
        m_rows.setRows(line, rows);
    else
        m_widest = std::max(m_widest, width);
}

std::vector<LineLayouts::Segment> LineLayouts::cutIntoSegments(qsizetype start, qsizetype length) const
{
    std::vector<Segment> segments;
    const qsizetype target = segmentLength(m_wrap);
    const qsizetype end = start + length;
    for (qsizetype from = start; from < end || segments.empty();) {
        const qsizetype to = segmentEnd(m_buffer, from, end - from <= 2 * target ? end : from + target, end);
        Segment s;
        s.length = to - from;
        s.width = estimatedWidth(from, s.length);
        s.rows = m_wrap == Wrap::AtWidth ? estimatedRows(s.width) : 1;
        segments.push_back(s);
        from = to;
    }
    return segments;
}

std::vector<LineLayouts::Segment> &LineLayouts::segmentsOf(qsizetype line)
{
    auto it = m_long.find(line);
    if (it == m_long.end()) {
        it = m_long.emplace(line, cutIntoSegments(m_buffer.lineStart(line), m_buffer.lineLength(line))).first;
        takeTotalsOf(line, it->second);
    }
    return it->second;
}

LineLayouts::Cached &LineLayouts::laidOut(qsizetype line, qsizetype segment, qsizetype start, qsizetype length, bool last)
{
    auto [it, inserted] = m_cache.try_emplace(Key{line, segment});
    Cached &cached = it->second;
    cached.used = true;
    if (!inserted)
        return cached;

    QString text = m_buffer.mid(start, length);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isBoxed(text, i)) {
            cached.boxes.emplace_back(i, text[i].unicode());
            text[i] = QChar(kBoxStandIn);
        }
    }
    cached.layout = std::make_unique<QTextLayout>(text, m_font);
    QTextOption option;
    option.setTabStopDistance(m_tab);
    option.setWrapMode(m_wrap == Wrap::None ? QTextOption::NoWrap : QTextOption::WrapAtWordBoundaryOrAnywhere);
    cached.layout->setTextOption(option);
    cached.layout->setCacheEnabled(true);
    if (m_preedit.position >= start && (m_preedit.position < start + length || (last && m_preedit.position == start + length))
        && m_buffer.lineOf(m_preedit.position) == line) {
        cached.reading = m_preedit.position - start;
        cached.layout->setPreeditArea(int(cached.reading), m_preedit.text);
        QList<QTextLayout::FormatRange> formats = m_preedit.formats;
        for (QTextLayout::FormatRange &f : formats)
            f.start += int(m_preedit.position - start);
        cached.layout->setFormats(formats);
    }
    cached.layout->beginLayout();
    qsizetype rows = 0;
    for (QTextLine row = cached.layout->createLine(); row.isValid(); row = cached.layout->createLine()) {
        row.setLineWidth(m_wrap == Wrap::None ? kNoWrapWidth : m_wrapWidth);
        row.setPosition(QPointF(0, qreal(rows * m_rowHeight)));
        ++rows;
    }
    cached.layout->endLayout();

    const qreal width = m_wrap == Wrap::None ? cached.layout->lineAt(0).horizontalAdvance() : m_wrapWidth;
    const auto longLine = m_long.find(line);
    if (longLine == m_long.end()) {
        takeTotalsOf(line, {Segment{length, width, rows}});
        return cached;
    }
    Segment &s = longLine->second[size_t(segment)];
    s.width = width;
    s.rows = rows;
    takeTotalsOf(line, longLine->second);
    return cached;
}

LineLayouts::Part LineLayouts::part(qsizetype line, qsizetype segment)
{
    Part p;
    if (!isLong(line)) {
        m_long.erase(line);
        Cached &c = laidOut(line, 0, m_buffer.lineStart(line), m_buffer.lineLength(line), true);
        p.layout = c.layout.get();
        p.length = m_buffer.lineLength(line);
        p.boxes = &c.boxes;
        p.reading = c.reading;
        return p;
    }
    const std::vector<Segment> &segments = segmentsOf(line);
    // Without wrapping the segments stand side by side, with wrapping one below the other.
    for (qsizetype i = 0; i < segment; ++i) {
        p.start += segments[size_t(i)].length;
        if (m_wrap == Wrap::None)
            p.x += segments[size_t(i)].width;
        else
            p.row += segments[size_t(i)].rows;
    }
    p.length = segments[size_t(segment)].length;
    Cached &c = laidOut(line, segment, m_buffer.lineStart(line) + p.start, p.length, size_t(segment) + 1 == segments.size());
    p.layout = c.layout.get();
    p.boxes = &c.boxes;
    p.reading = c.reading;
    return p;
}

void LineLayouts::visitParts(qsizetype line, qsizetype rowFrom, qsizetype rowTo, qreal xFrom, qreal xTo,
                             const std::function<void(const Part &)> &visit)
{
    if (!isLong(line)) {
        visit(part(line, 0));
        return;
    }
    const std::vector<Segment> &segments = segmentsOf(line);
    qsizetype row = 0;
    qreal x = 0;
    for (size_t i = 0; i < segments.size(); ++i) {
        const bool meets = m_wrap == Wrap::AtWidth ? row < rowTo && row + segments[i].rows > rowFrom
                                                   : x < xTo && x + segments[i].width > xFrom;
        if (meets) {
            const Part p = part(line, qsizetype(i)); // may correct this segment's size
            visit(p);
        }
        row += segments[i].rows;
        x += segments[i].width;
        if (m_wrap == Wrap::AtWidth ? row >= rowTo : x >= xTo)
            break;
    }
}

LineLayouts::Part LineLayouts::partWhere(qsizetype line, qreal at, qreal (*extent)(const Segment &))
{
    if (!isLong(line))
        return part(line, 0);
    const std::vector<Segment> &segments = segmentsOf(line);
    qreal before = 0;
    size_t i = 0;
    while (i + 1 < segments.size() && before + extent(segments[i]) <= at)
        before += extent(segments[i++]);
    return part(line, qsizetype(i));
}

LineLayouts::Part LineLayouts::partAt(qsizetype line, qsizetype offset)
{
    return partWhere(line, qreal(offset), [](const Segment &s) { return qreal(s.length); });
}

LineLayouts::Part LineLayouts::partAtRow(qsizetype line, qsizetype row)
{
    return partWhere(line, qreal(row), [](const Segment &s) { return qreal(s.rows); });
}

LineLayouts::Part LineLayouts::partAtX(qsizetype line, qreal x)
{
    return partWhere(line, x, [](const Segment &s) { return s.width; });
}

QRectF LineLayouts::caretRect(qsizetype line, qsizetype offset)
{
    const Part p = partAt(line, offset);
    qsizetype local = offset - p.start;
    // The layout holds the reading at its place: what follows moves on.
    if (p.reading >= 0 && local >= p.reading)
        local += local == p.reading ? m_preedit.cursor : m_preedit.text.size();
    const QTextLine row = p.layout->lineForTextPosition(int(local));
    const qreal x = row.isValid() ? row.cursorToX(int(local)) : 0;
    const qsizetype rowInLine = p.row + (row.isValid() ? row.lineNumber() : 0);
    return QRectF(p.x + x, qreal(rowInLine * m_rowHeight), 1, m_rowHeight);
}

qsizetype LineLayouts::offsetAt(qsizetype line, QPointF point)
{
    const qsizetype rowInLine = std::max<qsizetype>(0, qsizetype(std::floor(point.y() / m_rowHeight)));
    const Part p = m_wrap == Wrap::AtWidth ? partAtRow(line, rowInLine) : partAtX(line, point.x());
    const QTextLine row =
        p.layout->lineAt(int(std::clamp<qsizetype>(rowInLine - p.row, 0, p.layout->lineCount() - 1)));
    qsizetype local = row.xToCursor(point.x() - p.x);
    // Inside the reading is where the reading stands.
    if (p.reading >= 0 && local > p.reading)
        local = std::max(p.reading, local - m_preedit.text.size());
    return p.start + std::clamp<qsizetype>(local, 0, p.length);
}

bool LineLayouts::segmentsAgree() const
{
    for (const auto &[line, segments] : m_long) {
        qsizetype length = 0;
        for (const Segment &s : segments)
            length += s.length;
        if (line >= m_buffer.lineCount() || length != m_buffer.lineLength(line))
            return false;
    }
    return true;
}

void LineLayouts::trim()
{
    if (m_cache.size() <= kCachedLayouts)
        return;
    for (auto it = m_cache.begin(); it != m_cache.end();) {
        if (!it->second.used) {
            it = m_cache.erase(it);
        } else {
            it->second.used = false;
            ++it;
        }
    }
}

} // namespace holvane
