#include "editor/text_pieces.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace holvane::buffer {
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

} // namespace

PiecePointer makePiece(const QString &storage, qsizetype offset, qsizetype length)
{
    auto piece = std::make_shared<Piece>();
    piece->storage = storage;
    piece->offset = offset;
    piece->length = length;
    findLineEnds(piece->data(), length, piece->ends);
    return piece;
}

void slice(const PiecePointer &piece, qsizetype from, qsizetype length, std::vector<PiecePointer> &out)
{
    if (length <= 0)
        return;
    out.push_back(from == 0 && length == piece->length ? piece : makePiece(piece->storage, piece->offset + from, length));
}

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

} // namespace holvane::buffer
