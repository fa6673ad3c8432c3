// Snapshots: a text as it stood, read and compared where it is shared.
#include "editor/text_buffer.h"

#include "editor/text_pieces.h"

#include <algorithm>
#include <cstring>

namespace holvane {

using buffer::Content;

namespace {

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
    Runs ra(*a.m_content), rb(*b.m_content);
    qsizetype at = 0;
    while (at < n) {
        const QStringView x = ra.forward(at), y = rb.forward(at);
        const qsizetype same = sharedStart(x, y);
        at += same;
        if (same < std::min(x.size(), y.size()))
            break;
    }
    return std::min(at, n);
}

qsizetype TextSnapshot::commonSuffix(const TextSnapshot &a, const TextSnapshot &b, qsizetype prefix)
{
    const qsizetype n = std::min(a.size(), b.size()) - prefix;
    Runs ra(*a.m_content), rb(*b.m_content);
    qsizetype back = 0;
    while (back < n) {
        const QStringView x = ra.backward(a.size() - back), y = rb.backward(b.size() - back);
        const qsizetype same = sharedEnd(x, y);
        back += same;
        if (same < std::min(x.size(), y.size()))
            break;
    }
    return std::min(back, n);
}

} // namespace holvane
