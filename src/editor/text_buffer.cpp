#include "editor/text_buffer.h"

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace holvane {
namespace buffer {

// Pieces cut from a whole text, and the bounds an edited piece is kept in:
// big enough that a 100 MiB text is a few thousand pieces, small enough that
// rewriting one for a typed character is a few microseconds.
constexpr qsizetype kPieceLength = 16 * 1024;
constexpr qsizetype kLongestPiece = 2 * kPieceLength;
constexpr qsizetype kShortPiece = 1024;

struct Piece {
    QString storage; // shared with every piece cut from the same string
    qsizetype offset = 0;
    qsizetype length = 0;
    // Where each line end starts, within the piece. A CR LF is never split
    // between pieces, so each line end lies wholly in one.
    std::vector<int32_t> ends;

    QStringView view() const { return QStringView(storage).sliced(offset, length); }
    const char16_t *data() const { return reinterpret_cast<const char16_t *>(storage.constData()) + offset; }
    qsizetype endLength(size_t index) const
    {
        const qsizetype at = ends[index];
        return data()[at] == u'\r' && at + 1 < length && data()[at + 1] == u'\n' ? 2 : 1;
    }
};
using PiecePointer = std::shared_ptr<const Piece>;

struct Content {
    std::vector<PiecePointer> pieces;
    // starts[i] is where piece i begins, linesBefore[i] how many line ends
    // come before it; each has one more entry, for the end of the text.
    std::vector<qsizetype> starts{0};
    std::vector<qsizetype> linesBefore{0};

    qsizetype size() const { return starts.back(); }
    qsizetype lineEnds() const { return linesBefore.back(); }
    // The piece a position lies in; the end of the text lies in the last.
    size_t pieceAt(qsizetype position) const
    {
        const auto it = std::upper_bound(starts.begin(), starts.end(), position);
        const size_t index = size_t(it - starts.begin()) - 1;
        return std::min(index, pieces.empty() ? 0 : pieces.size() - 1);
    }
    char16_t at(qsizetype position) const
    {
        if (position < 0 || position >= size())
            return 0;
        const size_t i = pieceAt(position);
        return pieces[i]->data()[position - starts[i]];
    }
    void recount(size_t from)
    {
        starts.resize(pieces.size() + 1);
        linesBefore.resize(pieces.size() + 1);
        for (size_t i = from; i < pieces.size(); ++i) {
            starts[i + 1] = starts[i] + pieces[i]->length;
            linesBefore[i + 1] = linesBefore[i] + qsizetype(pieces[i]->ends.size());
        }
    }
};

namespace {

// Appends where CR LF, LF and lone CR line ends start in [p, p + n).
void findLineEnds(const char16_t *p, qsizetype n, std::vector<int32_t> &ends)
{
    qsizetype i = 0;
    auto visit = [&](qsizetype at) {
        if (p[at] == u'\r') {
            ends.push_back(int32_t(at));
            if (at + 1 < n && p[at + 1] == u'\n')
                return at + 2;
        } else if (p[at] == u'\n') {
            ends.push_back(int32_t(at));
        }
        return at + 1;
    };
#ifdef __SSE2__
    // Line ends are rare; skip eight characters at a time while none of them
    // is at most U+000D.
    const __m128i thirteen = _mm_set1_epi16(0x0D);
    const __m128i zero = _mm_setzero_si128();
    while (i + 8 <= n) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
        const int low = _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_subs_epu16(v, thirteen), zero));
        if (low == 0) {
            i += 8;
            continue;
        }
        const qsizetype blockEnd = i + 8;
        while (i < blockEnd)
            i = visit(i);
    }
#endif
    while (i < n)
        i = visit(i);
}

PiecePointer makePiece(const QString &storage, qsizetype offset, qsizetype length)
{
    auto piece = std::make_shared<Piece>();
    piece->storage = storage;
    piece->offset = offset;
    piece->length = length;
    findLineEnds(piece->data(), length, piece->ends);
    return piece;
}

// Part of a piece, sharing its characters; nothing where the part is empty.
void slice(const PiecePointer &piece, qsizetype from, qsizetype length, std::vector<PiecePointer> &out)
{
    if (length <= 0)
        return;
    out.push_back(from == 0 && length == piece->length ? piece : makePiece(piece->storage, piece->offset + from, length));
}

std::vector<PiecePointer> cut(const QString &text);

// Mends the seams of a run of pieces: a CR and its LF go into one piece, and
// short pieces join a neighbour, so that edits leave neither a split line
// end nor crumbs.
void mend(std::vector<PiecePointer> &pieces)
{
    for (size_t i = 0; i + 1 < pieces.size();) {
        const Piece &a = *pieces[i], &b = *pieces[i + 1];
        const bool splitLineEnd = a.data()[a.length - 1] == u'\r' && b.data()[0] == u'\n';
        const bool crumbs = (a.length < kShortPiece || b.length < kShortPiece) && a.length + b.length <= kLongestPiece;
        if (!splitLineEnd && !crumbs) {
            ++i;
            continue;
        }
        const std::vector<PiecePointer> joined = cut(a.view().toString().append(b.view()));
        pieces.erase(pieces.begin() + qsizetype(i), pieces.begin() + qsizetype(i) + 2);
        pieces.insert(pieces.begin() + qsizetype(i), joined.begin(), joined.end());
        i += joined.size() - 1; // the last of them meets the next piece
    }
}

// Cuts a string into pieces that share it, no piece ending between a CR and
// its LF.
std::vector<PiecePointer> cut(const QString &text)
{
    std::vector<PiecePointer> pieces;
    const qsizetype n = text.size();
    for (qsizetype from = 0; from < n;) {
        qsizetype to = n - from <= kLongestPiece ? n : from + kPieceLength;
        if (to < n && text[to - 1] == u'\r' && text[to] == u'\n')
            ++to;
        pieces.push_back(makePiece(text, from, to - from));
        from = to;
    }
    return pieces;
}

std::shared_ptr<Content> contentOf(const QString &text)
{
    auto content = std::make_shared<Content>();
    content->pieces = cut(text);
    content->recount(0);
    return content;
}

const std::shared_ptr<const Content> &emptyContent()
{
    static const std::shared_ptr<const Content> empty = std::make_shared<Content>();
    return empty;
}

// Reads a text run by run, forwards or backwards.
class Runs {
public:
    explicit Runs(const Content &c) : m_c(c) {}
    // The rest of the current piece from `at` (forwards) or up to `at`
    // (backwards, as a view ending there).
    QStringView forward(qsizetype at)
    {
        const size_t i = m_c.pieceAt(at);
        return m_c.pieces[i]->view().sliced(at - m_c.starts[i]);
    }
    QStringView backward(qsizetype end)
    {
        const size_t i = m_c.pieceAt(end - 1);
        return m_c.pieces[i]->view().first(end - m_c.starts[i]);
    }

private:
    const Content &m_c;
};

qsizetype sharedStart(QStringView a, QStringView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    if (a.data() == b.data())
        return n;
    qsizetype at = 0;
    constexpr qsizetype kBlock = 256;
    while (at + kBlock <= n && std::memcmp(a.data() + at, b.data() + at, kBlock * sizeof(QChar)) == 0)
        at += kBlock;
    while (at < n && a[at] == b[at])
        ++at;
    return at;
}

qsizetype sharedEnd(QStringView a, QStringView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    if (a.data() + a.size() == b.data() + b.size())
        return n;
    qsizetype at = 0;
    while (at < n && a[a.size() - 1 - at] == b[b.size() - 1 - at])
        ++at;
    return at;
}

} // namespace
} // namespace buffer

using buffer::Content;

// -- TextSnapshot ---------------------------------------------------------

TextSnapshot::TextSnapshot() : m_content(buffer::emptyContent()) {}

TextSnapshot::TextSnapshot(const QString &text) : m_content(buffer::contentOf(text)) {}

qsizetype TextSnapshot::size() const
{
    return m_content->size();
}

QString TextSnapshot::toString() const
{
    if (m_content->pieces.size() == 1) {
        const buffer::Piece &only = *m_content->pieces.front();
        if (only.offset == 0 && only.length == only.storage.size())
            return only.storage;
    }
    return mid(0, size());
}

char16_t TextSnapshot::at(qsizetype position) const
{
    return m_content->at(position);
}

QString TextSnapshot::mid(qsizetype from, qsizetype length) const
{
    from = std::clamp<qsizetype>(from, 0, size());
    length = std::clamp<qsizetype>(length, 0, size() - from);
    QString out(length, Qt::Uninitialized);
    auto *to = reinterpret_cast<char16_t *>(out.data());
    const Content &c = *m_content;
    for (size_t i = c.pieceAt(from); length > 0; ++i) {
        const qsizetype skip = from - c.starts[i];
        const qsizetype take = std::min(length, c.pieces[i]->length - skip);
        std::memcpy(to, c.pieces[i]->data() + skip, size_t(take) * sizeof(QChar));
        to += take;
        from += take;
        length -= take;
    }
    return out;
}

bool TextSnapshot::operator==(const TextSnapshot &other) const
{
    return m_content == other.m_content || (size() == other.size() && commonPrefix(*this, other) == size());
}

bool TextSnapshot::operator==(QStringView text) const
{
    if (text.size() != size())
        return false;
    qsizetype at = 0;
    for (const buffer::PiecePointer &piece : m_content->pieces) {
        if (piece->view() != text.sliced(at, piece->length))
            return false;
        at += piece->length;
    }
    return true;
}

qsizetype TextSnapshot::commonPrefix(const TextSnapshot &a, const TextSnapshot &b)
{
    const qsizetype n = std::min(a.size(), b.size());
    buffer::Runs ra(*a.m_content), rb(*b.m_content);
    qsizetype at = 0;
    while (at < n) {
        const QStringView x = ra.forward(at), y = rb.forward(at);
        const qsizetype same = buffer::sharedStart(x, y);
        at += same;
        if (same < std::min(x.size(), y.size()))
            break;
    }
    return std::min(at, n);
}

qsizetype TextSnapshot::commonSuffix(const TextSnapshot &a, const TextSnapshot &b, qsizetype prefix)
{
    const qsizetype n = std::min(a.size(), b.size()) - prefix;
    buffer::Runs ra(*a.m_content), rb(*b.m_content);
    qsizetype back = 0;
    while (back < n) {
        const QStringView x = ra.backward(a.size() - back), y = rb.backward(b.size() - back);
        const qsizetype same = buffer::sharedEnd(x, y);
        back += same;
        if (same < std::min(x.size(), y.size()))
            break;
    }
    return std::min(back, n);
}

// -- TextBuffer -------------------------------------------------------------

TextBuffer::TextBuffer() : m_content(buffer::emptyContent()) {}

TextBuffer::TextBuffer(const QString &text) : m_content(buffer::contentOf(text)) {}

void TextBuffer::setText(const QString &text)
{
    m_content = buffer::contentOf(text);
}

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
    // The neighbours join in, so that the seams can be mended.
    if (first > 0)
        fresh.insert(fresh.begin(), c.pieces[--first]);
    if (end < c.pieces.size())
        fresh.push_back(c.pieces[end++]);
    buffer::mend(fresh);
    c.pieces.erase(c.pieces.begin() + qsizetype(first), c.pieces.begin() + qsizetype(end));
    c.pieces.insert(c.pieces.begin() + qsizetype(first), fresh.begin(), fresh.end());
    c.recount(first);
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
    size_t last = removed > 0 ? c.pieceAt(position + removed - 1) : first;
    auto lastChar = [&](size_t i) { return c.pieces[i]->data()[c.pieces[i]->length - 1]; };
    auto firstChar = [&](size_t i) { return c.pieces[i]->data()[0]; };

    // What replaces them: the untouched head of the first, the new text, the
    // untouched tail of the last.
    const qsizetype head = position - c.starts[first];
    const qsizetype tailFrom = position + removed - c.starts[last];
    QString text;
    text.reserve(head + inserted.size() + c.pieces[last]->length - tailFrom);
    text.append(c.pieces[first]->view().first(head));
    text.append(inserted);
    text.append(c.pieces[last]->view().sliced(tailFrom));

    // A CR and an LF that meet across an edge go into one piece; a short
    // result takes a neighbour in, so that edits do not leave crumbs.
    const bool leftEndsInCr = first > 0 && lastChar(first - 1) == u'\r';
    const bool rightStartsWithLf = last + 1 < c.pieces.size() && firstChar(last + 1) == u'\n';
    auto shortWith = [&](size_t neighbour) {
        return text.size() < buffer::kShortPiece && text.size() + c.pieces[neighbour]->length <= buffer::kLongestPiece;
    };
    if (first > 0
        && ((leftEndsInCr && (text.isEmpty() ? rightStartsWithLf : text.front() == u'\n')) || shortWith(first - 1))) {
        text.prepend(c.pieces[first - 1]->view());
        --first;
    }
    if (last + 1 < c.pieces.size() && ((rightStartsWithLf && !text.isEmpty() && text.back() == u'\r') || shortWith(last + 1))) {
        text.append(c.pieces[last + 1]->view());
        ++last;
    }
    std::vector<buffer::PiecePointer> fresh = buffer::cut(text);
    c.pieces.erase(c.pieces.begin() + qsizetype(first), c.pieces.begin() + qsizetype(last) + 1);
    c.pieces.insert(c.pieces.begin() + qsizetype(first), fresh.begin(), fresh.end());
    c.recount(first);
}

} // namespace holvane
