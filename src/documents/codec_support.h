#pragma once

// What the document codecs share: the placeholders that keep bytes, ASCII
// runs copied sixteen at a time, the places of unencodable characters and
// the output buffer of an encoder. Internal to src/documents.
#include "documents/codec_types.h"

#include <QString>
#include <QStringView>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include <sys/mman.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace holvane::codec {

// A big buffer about to be filled. Fresh pages come one page fault at a
// time, and a fault is dear (on a virtual machine dearer still): huge pages
// make a 100 MiB text a hundred faults instead of thirty thousand.
inline void preferHugePages(void *data, size_t size)
{
    constexpr uintptr_t kHuge = uintptr_t(2) << 20;
    const uintptr_t from = (reinterpret_cast<uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t to = (reinterpret_cast<uintptr_t>(data) + size) & ~(kHuge - 1);
    if (to > from)
        ::madvise(reinterpret_cast<void *>(from), to - from, MADV_HUGEPAGE);
}

inline QString bigText(qsizetype units)
{
    QString text(units, Qt::Uninitialized);
    preferHugePages(text.data(), size_t(units) * sizeof(QChar));
    return text;
}

// A byte that is not valid where it stands decodes to U+DC00 + the byte, a
// lone low surrogate that no real text holds, and encodes back to the byte.
constexpr char16_t kKeptBase = 0xDC00;
constexpr bool isKept(char16_t c) { return (c & 0xFF00) == kKeptBase; }
constexpr unsigned char keptByte(char16_t c) { return static_cast<unsigned char>(c & 0xFF); }

// A byte that starts a two-byte character of code page 932; a byte of a
// JIS X 0208 or 0212 character in EUC-JP.
constexpr bool isCp932Lead(unsigned b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
constexpr bool isEucByte(unsigned b) { return b >= 0xA1 && b <= 0xFE; }

// Documents are mostly ASCII markup; runs of it are copied sixteen at a time.
// Each returns how many units it handled, stopping before the first that is
// not ASCII, or that equals Stop when one is given (ISO-2022-JP's escape).
// widenAscii's output must have room for n units: a run that ends inside a
// block of sixteen is written out whole, past its end.
template <int Stop = -1>
inline qsizetype widenAscii(const unsigned char *in, qsizetype n, char16_t *out)
{
    qsizetype i = 0;
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i));
        __m128i stops = chunk;
        if constexpr (Stop >= 0)
            stops = _mm_or_si128(chunk, _mm_cmpeq_epi8(chunk, _mm_set1_epi8(char(Stop))));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_unpacklo_epi8(chunk, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i + 8), _mm_unpackhi_epi8(chunk, zero));
        if (const int mask = _mm_movemask_epi8(stops))
            return i + __builtin_ctz(unsigned(mask));
    }
#endif
    for (; i < n && in[i] < 0x80 && int(in[i]) != Stop; ++i)
        out[i] = in[i];
    return i;
}

template <int Stop = -1>
inline qsizetype narrowAscii(const char16_t *in, qsizetype n, char *out)
{
    qsizetype i = 0;
#ifdef __SSE2__
    const __m128i high = _mm_set1_epi16(short(0xFF80));
    for (; i + 16 <= n; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i + 8));
        __m128i bad = _mm_and_si128(_mm_or_si128(a, b), high);
        if constexpr (Stop >= 0) {
            const __m128i stop = _mm_set1_epi16(short(Stop));
            bad = _mm_or_si128(bad, _mm_or_si128(_mm_cmpeq_epi16(a, stop), _mm_cmpeq_epi16(b, stop)));
        }
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(bad, _mm_setzero_si128())) != 0xFFFF)
            break;
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_packus_epi16(a, b));
    }
#endif
    for (; i < n && in[i] < 0x80 && int(in[i]) != Stop; ++i)
        out[i] = char(in[i]);
    return i;
}

// Tracks line and column lazily: only texts that have unencodable characters
// pay for the scan, and each part of the text is scanned once. Positions must
// not go down, except through a copy taken earlier.
class LineCounter {
public:
    explicit LineCounter(QStringView text) : m_text(text) {}

    Unencodable locate(qsizetype position, char32_t codePoint)
    {
        for (; m_scanned < position; ++m_scanned) {
            const char16_t c = m_text[m_scanned].unicode();
            if (c == u'\n' || c == u'\r') {
                const bool crlf = c == u'\r' && m_scanned + 1 < m_text.size() && m_text[m_scanned + 1] == u'\n';
                if (crlf)
                    ++m_scanned;
                ++m_line;
                m_column = 1;
            } else if (!(QChar::isLowSurrogate(c) && m_scanned > 0 && m_text[m_scanned - 1].isHighSurrogate())) {
                ++m_column;
            }
        }
        // A CR LF split by the position cannot happen: no codec reports a
        // line end, whatever stands before it.
        return {position, m_line, m_column, codePoint};
    }

private:
    QStringView m_text;
    qsizetype m_scanned = 0;
    qsizetype m_line = 1;
    qsizetype m_column = 1;
};

// The output of an encoder: sized up front for what the text can need, and
// grown only for character references.
class ByteSink {
public:
    explicit ByteSink(qsizetype capacity) : m_bytes(capacity, Qt::Uninitialized), m_out(m_bytes.data()) {}

    char *&out() { return m_out; }
    qsizetype size() const { return m_out - m_bytes.constData(); }
    unsigned char at(qsizetype i) const { return static_cast<unsigned char>(m_bytes.constData()[i]); }
    const unsigned char *begin() const { return reinterpret_cast<const unsigned char *>(m_bytes.constData()); }
    const unsigned char *end() const { return reinterpret_cast<const unsigned char *>(m_out); }
    void truncate(qsizetype size) { m_out = m_bytes.data() + size; }
    void put(unsigned char b) { *m_out++ = static_cast<char>(b); }
    // Copies the ASCII run at `in`, up to a unit Stop, and says how long it was.
    template <int Stop = -1>
    qsizetype putAscii(const char16_t *in, qsizetype n)
    {
        const qsizetype run = narrowAscii<Stop>(in, n, m_out);
        m_out += run;
        return run;
    }

    // Makes room for `extra` more bytes beyond what was planned for
    // `stillPlanned` bytes to come.
    void reserveExtra(qsizetype extra, qsizetype stillPlanned)
    {
        const qsizetype written = size();
        if (written + extra + stillPlanned > m_bytes.size()) {
            m_bytes.resize(written + extra + stillPlanned);
            m_out = m_bytes.data() + written;
        }
    }

    QByteArray take()
    {
        m_bytes.resize(size());
        return std::move(m_bytes);
    }

private:
    QByteArray m_bytes;
    char *m_out;
};

// The kept bytes an encoder wrote whose reading is not settled yet. A kept
// byte reads back as kept only if the bytes after it do not complete a
// character with it (code page 932 reads 81 FA 54 as a kept 0x81 and ¬, but
// 81 81 CA as ＝ and ﾊ), so each kept byte is watched until the decoder would
// have decided. SequenceAt(p, end) says what the decoder reads at p: the
// length of a character, 0 for a kept byte, -1 when bytes not written yet
// decide it.
template <typename SequenceAt>
class PendingKept {
public:
    explicit PendingKept(SequenceAt at) : m_at(at) {}

    bool empty() const { return m_count == 0; }

    // The bytes from `start` on were just written for one character, or for
    // one kept byte when `kept`. Returns false, changing nothing, when they
    // would not read back as written: a kept byte before them would take them
    // into a character, or a kept byte would itself read as a character.
    bool admit(const ByteSink &sink, qsizetype start, bool kept = false)
    {
        for (int k = 0; k < m_count; ++k)
            if (m_at(sink.begin() + m_pos[k], sink.end()) > 0)
                return false;
        const int own = kept ? m_at(sink.begin() + start, sink.end()) : 0;
        if (own > 0 || (own < 0 && m_count == kMax))
            return false;
        int open = 0;
        for (int k = 0; k < m_count; ++k)
            if (m_at(sink.begin() + m_pos[k], sink.end()) < 0)
                m_pos[open++] = m_pos[k];
        m_count = open;
        if (own < 0)
            m_pos[m_count++] = start;
        return true;
    }

private:
    static constexpr int kMax = 8;
    SequenceAt m_at;
    qsizetype m_pos[kMax] = {};
    int m_count = 0;
};

// "&#N;" for a character the encoding cannot write where it stands.
inline QByteArray characterReference(char32_t codePoint)
{
    return "&#" + QByteArray::number(quint32(codePoint)) + ';';
}

// Writes the reference, a byte a character, with room kept for
// `stillPlanned` bytes to come.
inline void putReference(ByteSink &sink, char32_t codePoint, qsizetype stillPlanned)
{
    const QByteArray ref = characterReference(codePoint);
    sink.reserveExtra(ref.size(), stillPlanned);
    for (char b : ref)
        sink.put(static_cast<unsigned char>(b));
}

// The code point of the character at i, and how many units it takes.
inline char32_t codePointAt(QStringView text, qsizetype i, qsizetype *units)
{
    const char16_t c = text[i].unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        *units = 2;
        return QChar::surrogateToUcs4(c, text[i + 1].unicode());
    }
    *units = 1;
    return c;
}

} // namespace holvane::codec
