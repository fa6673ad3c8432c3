#pragma once

// The pieces a TextBuffer and its snapshots hold the text in. Internal to
// src/editor: text_buffer.h says what the buffer promises.
#include <QString>
#include <QStringView>

#include <cstdint>
#include <memory>
#include <vector>

namespace holvane::buffer {

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

PiecePointer makePiece(const QString &storage, qsizetype offset, qsizetype length);
// Cuts a string into pieces that share it, no piece ending between a CR and its LF.
std::vector<PiecePointer> cut(const QString &text);
std::shared_ptr<Content> contentOf(const QString &text);
const std::shared_ptr<const Content> &emptyContent();
// Part of a piece, sharing its characters; nothing where the part is empty.
void slice(const PiecePointer &piece, qsizetype from, qsizetype length, std::vector<PiecePointer> &out);
// Mends the seams of a run of pieces: a CR and its LF go into one piece, and
// short pieces join a neighbour, so that edits leave neither a split line
// end nor crumbs.
void mend(std::vector<PiecePointer> &pieces);

} // namespace holvane::buffer
