#include "editor/text_buffer.h"

#include "editor/text_pieces.h"

#include <algorithm>

namespace holvane {

using buffer::Content;

namespace {

// Pieces [first, end) give way to `fresh`. The neighbours join in first, so
// that the seams can be mended: a CR LF never split, no crumbs left.
void splice(Content &c, size_t first, size_t end, std::vector<buffer::PiecePointer> fresh)
{
    if (first > 0)
        fresh.insert(fresh.begin(), c.pieces[--first]);
    if (end < c.pieces.size())
        fresh.push_back(c.pieces[end++]);
    buffer::mend(fresh);
    c.pieces.erase(c.pieces.begin() + qsizetype(first), c.pieces.begin() + qsizetype(end));
    c.pieces.insert(c.pieces.begin() + qsizetype(first), fresh.begin(), fresh.end());
    c.recount(first);
}

} // namespace

TextBuffer::TextBuffer() : m_content(buffer::emptyContent()) {}

TextBuffer::TextBuffer(const QString &text) : m_content(buffer::contentOf(text)) {}

Content &TextBuffer::own()
{
    if (m_content.use_count() > 1)
        m_content = std::make_shared<Content>(*m_content);
    return const_cast<Content &>(*m_content);
}

qsizetype TextBuffer::size() const
{
    return m_content->size();
}

char16_t TextBuffer::at(qsizetype position) const
{
    return m_content->at(position);
}

qsizetype TextBuffer::lineCount() const
{
    return m_content->lineEnds() + 1;
}

qsizetype TextBuffer::lineOf(qsizetype position) const
{
    const Content &c = *m_content;
    if (c.pieces.empty() || position <= 0)
        return 0;
    position = std::min(position, size());
    const size_t i = c.pieceAt(position);
    const buffer::Piece &piece = *c.pieces[i];
    const qsizetype local = position - c.starts[i];
    // Line ends that are wholly before the position.
    auto passed = qsizetype(std::lower_bound(piece.ends.begin(), piece.ends.end(), int32_t(local)) - piece.ends.begin());
    if (passed > 0 && piece.ends[size_t(passed - 1)] + piece.endLength(size_t(passed - 1)) > local)
        --passed; // between a CR and its LF
    return c.linesBefore[i] + passed;
}

qsizetype TextBuffer::lineStart(qsizetype line) const
{
    const Content &c = *m_content;
    if (line <= 0)
        return 0;
    if (line > c.lineEnds())
        return size();
    // The line starts after line end number line - 1.
    const qsizetype index = line - 1;
    const auto it = std::upper_bound(c.linesBefore.begin(), c.linesBefore.end(), index);
    const size_t i = size_t(it - c.linesBefore.begin()) - 1;
    const buffer::Piece &piece = *c.pieces[i];
    const size_t j = size_t(index - c.linesBefore[i]);
    return c.starts[i] + piece.ends[j] + piece.endLength(j);
}

qsizetype TextBuffer::lineLength(qsizetype line) const
{
    const Content &c = *m_content;
    const qsizetype start = lineStart(line);
    if (line >= c.lineEnds())
        return size() - start;
    const auto it = std::upper_bound(c.linesBefore.begin(), c.linesBefore.end(), line);
    const size_t i = size_t(it - c.linesBefore.begin()) - 1;
    return c.starts[i] + c.pieces[i]->ends[size_t(line - c.linesBefore[i])] - start;
}

void TextBuffer::forEachLineLength(qsizetype first,
                                   const std::function<bool(qsizetype line, qsizetype length)> &visit) const
{
    const Content &c = *m_content;
    qsizetype line = std::max<qsizetype>(first, 0);
    if (line >= lineCount())
        return;
    qsizetype start = lineStart(line);
    for (size_t i = c.pieceAt(start); i < c.pieces.size(); ++i) {
        const buffer::Piece &piece = *c.pieces[i];
        for (size_t j = 0; j < piece.ends.size(); ++j) {
            const qsizetype end = c.starts[i] + piece.ends[j];
            if (end < start)
                continue;
            if (!visit(line++, end - start))
                return;
            start = end + piece.endLength(j);
        }
    }
    visit(line, size() - start);
}

void TextBuffer::forEachRun(qsizetype from, qsizetype to, const std::function<void(QStringView)> &visit) const
{
    const Content &c = *m_content;
    from = std::clamp<qsizetype>(from, 0, size());
    to = std::clamp<qsizetype>(to, from, size());
    for (size_t i = c.pieceAt(from); from < to && i < c.pieces.size(); ++i) {
        const qsizetype skip = from - c.starts[i];
        const qsizetype take = std::min(to - from, c.pieces[i]->length - skip);
        visit(c.pieces[i]->view().sliced(skip, take));
        from += take;
    }
}

bool TextBuffer::isCaretPosition(qsizetype position) const
{
    if (position <= 0 || position >= size())
        return position == 0 || position == size();
    const char16_t before = at(position - 1), after = at(position);
    return !(before == u'\r' && after == u'\n') && !(QChar::isHighSurrogate(before) && QChar::isLowSurrogate(after));
}

qsizetype TextBuffer::caretPosition(qsizetype position) const
{
    position = std::clamp<qsizetype>(position, 0, size());
    return isCaretPosition(position) ? position : position - 1;
}

std::pair<qsizetype, qsizetype> TextBuffer::unitAround(qsizetype position, QTextBoundaryFinder::BoundaryType type,
                                                       qsizetype reach) const
{
    const qsizetype line = lineOf(position);
    const qsizetype from = std::max(lineStart(line), position - reach);
    const qsizetype to = std::min(lineEnd(line), position + reach);
    QTextBoundaryFinder finder(type, mid(from, to - from));
    finder.setPosition(position - from);
    const qsizetype start = finder.isAtBoundary() ? position - from : finder.toPreviousBoundary();
    finder.setPosition(position - from);
    const qsizetype end = finder.toNextBoundary();
    return {from + std::max<qsizetype>(start, 0), end < 0 ? to : from + end};
}

void TextBuffer::replace(qsizetype position, qsizetype removed, const QString &inserted)
{
    if (inserted.size() > buffer::kLongestPiece)
        replace(position, removed, TextSnapshot(inserted), 0, inserted.size()); // shares its characters
    else
        replace(position, removed, QStringView(inserted));
}

void TextBuffer::replace(qsizetype position, qsizetype removed, const TextSnapshot &source, qsizetype from,
                         qsizetype length)
{
    position = std::clamp<qsizetype>(position, 0, size());
    removed = std::clamp<qsizetype>(removed, 0, size() - position);
    from = std::clamp<qsizetype>(from, 0, source.size());
    length = std::clamp<qsizetype>(length, 0, source.size() - from);
    if (removed == 0 && length == 0)
        return;
    const std::shared_ptr<const Content> kept = source.m_content; // even where it is our own
    Content &c = own();
    std::vector<buffer::PiecePointer> fresh;
    size_t first = 0, end = 0; // the pieces [first, end) give way
    if (!c.pieces.empty()) {
        first = c.pieceAt(position);
        end = (removed > 0 ? c.pieceAt(position + removed - 1) : first) + 1;
        buffer::slice(c.pieces[first], 0, position - c.starts[first], fresh);
    }
    for (size_t i = kept->pieceAt(from); length > 0 && i < kept->pieces.size(); ++i) {
        const qsizetype skip = from - kept->starts[i];
        const qsizetype take = std::min(length, kept->pieces[i]->length - skip);
        buffer::slice(kept->pieces[i], skip, take, fresh);
        from += take;
        length -= take;
    }
    if (!c.pieces.empty()) {
        const qsizetype tail = position + removed - c.starts[end - 1];
        buffer::slice(c.pieces[end - 1], tail, c.pieces[end - 1]->length - tail, fresh);
    }
    splice(c, first, end, std::move(fresh));
}

void TextBuffer::replace(qsizetype position, qsizetype removed, QStringView inserted)
{
    position = std::clamp<qsizetype>(position, 0, size());
    removed = std::clamp<qsizetype>(removed, 0, size() - position);
    if (removed == 0 && inserted.isEmpty())
        return;
    Content &c = own();
    if (c.pieces.empty() || inserted.size() > buffer::kLongestPiece) {
        replace(position, removed, TextSnapshot(inserted.toString()), 0, inserted.size());
        return;
    }
    // The pieces the change touches: typing at the end of a piece goes into it.
    size_t first = c.pieceAt(position);
    if (first > 0 && position == c.starts[first] && removed == 0)
        --first;
    const size_t last = removed > 0 ? c.pieceAt(position + removed - 1) : first;

    // What replaces them: the untouched head of the first, the new text, the
    // untouched tail of the last.
    const qsizetype head = position - c.starts[first];
    const qsizetype tailFrom = position + removed - c.starts[last];
    QString text;
    text.reserve(head + inserted.size() + c.pieces[last]->length - tailFrom);
    text.append(c.pieces[first]->view().first(head));
    text.append(inserted);
    text.append(c.pieces[last]->view().sliced(tailFrom));
    splice(c, first, last + 1, buffer::cut(text));
}

} // namespace holvane
