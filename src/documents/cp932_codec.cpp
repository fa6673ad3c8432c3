#include "documents/cp932_codec.h"

#include <array>
#include <cstdint>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace holvane::cp932 {
namespace {

#include "documents/cp932_table.inc"

constexpr bool isLeadByte(unsigned b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
constexpr int rowOfLead(unsigned b) { return b <= 0x9F ? int(b) - 0x81 : int(b) - 0xE0 + 31; }
constexpr char16_t kEscapeBase = 0xDC00;

// Single bytes above 0x7F that are characters of their own. Windows gives the
// five bytes that JIS leaves empty code points of their own, so they survive.
constexpr char16_t singleByte(unsigned b)
{
    if (b >= 0xA1 && b <= 0xDF)
        return char16_t(0xFF61 + (b - 0xA1)); // half-width katakana
    switch (b) {
    case 0x80: return 0x0080;
    case 0xA0: return 0xF8F0;
    case 0xFD: return 0xF8F1;
    case 0xFE: return 0xF8F2;
    case 0xFF: return 0xF8F3;
    default: return 0;
    }
}

// Lower rank wins when a character has several codes. Windows writes the
// lowest code, except that the NEC-selected IBM extensions (0xED, 0xEE) lose
// to the IBM extensions proper (0xFA-0xFC).
constexpr int rank(std::uint16_t code)
{
    const unsigned lead = code >> 8;
    return (lead == 0xED || lead == 0xEE) ? 1 : 0;
}

struct EncodeTable {
    std::array<std::uint16_t, 0x10000> code{}; // 0: no code

    EncodeTable()
    {
        for (unsigned b = 0; b < 0x80; ++b)
            code[b] = std::uint16_t(b);
        for (unsigned b = 0x80; b < 0x100; ++b)
            if (const char16_t u = singleByte(b))
                code[u] = std::uint16_t(b);
        for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
            if (!isLeadByte(lead))
                continue;
            for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
                const char16_t u = kDoubleByteTable[rowOfLead(lead)][trail - 0x40];
                if (u == 0)
                    continue;
                const auto c = std::uint16_t(lead << 8 | trail);
                std::uint16_t &slot = code[u];
                if (slot == 0 || rank(c) < rank(slot) || (rank(c) == rank(slot) && c < slot))
                    slot = c;
            }
        }
        // Input methods on Linux type the JIS forms of these; Windows has only
        // the look-alikes, which is what a Windows user would have typed.
        code[0x301C] = 0x8160; // wave dash
        code[0x2016] = 0x8161; // double vertical line
        code[0x2212] = 0x817C; // minus sign
        code[0x00A2] = 0x8191; // cent sign
        code[0x00A3] = 0x8192; // pound sign
        code[0x00AC] = 0x81CA; // not sign
        code[0x2014] = 0x815C; // em dash
    }
};

// The decode table spread out for speed: every trail byte has a column, so
// that looking a pair up needs no range test.
struct DecodeTable {
    std::array<std::int8_t, 256> leadRow{};
    std::array<char16_t, 256> single{};
    std::array<std::array<char16_t, 256>, 60> pair{};

    DecodeTable()
    {
        for (unsigned b = 0; b < 256; ++b) {
            leadRow[b] = std::int8_t(isLeadByte(b) ? rowOfLead(b) : -1);
            single[b] = singleByte(b);
        }
        for (int row = 0; row < 60; ++row)
            for (unsigned trail = 0x40; trail <= 0xFC; ++trail)
                pair[row][trail] = kDoubleByteTable[row][trail - 0x40];
    }
};

const DecodeTable &decodeTable()
{
    static const DecodeTable table;
    return table;
}

const EncodeTable &encodeTable()
{
    static const EncodeTable table;
    return table;
}

// Tracks line and column lazily: only texts that have unencodable characters
// pay for the scan, and each part of the text is scanned once.
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
        // A CR LF split by the position cannot happen: neither half is unencodable.
        return {position, m_line, m_column, codePoint};
    }

private:
    QStringView m_text;
    qsizetype m_scanned = 0;
    qsizetype m_line = 1;
    qsizetype m_column = 1;
};

// Documents are mostly ASCII markup; runs of it are copied sixteen at a time.
// Each returns how many units it handled, stopping before the first that is
// not ASCII.
qsizetype widenAscii(const unsigned char *in, qsizetype n, char16_t *out)
{
    qsizetype i = 0;
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i));
        if (_mm_movemask_epi8(chunk) != 0)
            break;
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_unpacklo_epi8(chunk, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i + 8), _mm_unpackhi_epi8(chunk, zero));
    }
#endif
    for (; i < n && in[i] < 0x80; ++i)
        out[i] = in[i];
    return i;
}

qsizetype narrowAscii(const char16_t *in, qsizetype n, char *out)
{
    qsizetype i = 0;
#ifdef __SSE2__
    const __m128i high = _mm_set1_epi16(short(0xFF80));
    for (; i + 16 <= n; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i + 8));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(_mm_or_si128(a, b), high), _mm_setzero_si128()))
            != 0xFFFF)
            break;
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_packus_epi16(a, b));
    }
#endif
    for (; i < n && in[i] < 0x80; ++i)
        out[i] = char(in[i]);
    return i;
}

} // namespace

DecodeResult decode(QByteArrayView bytes)
{
    const DecodeTable &table = decodeTable();
    DecodeResult result;
    // Sized exactly: resize() would round a big text up past the size that
    // malloc keeps for reuse, and fresh pages are slow to come by.
    result.text = QString(bytes.size(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(result.text.data());
    char16_t *const outStart = out;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *const end = p + bytes.size();
    while (p < end) {
        const unsigned b = *p;
        if (b < 0x80) {
            const qsizetype run = widenAscii(p, end - p, out);
            p += run;
            out += run;
            continue;
        }
        const int row = table.leadRow[b];
        if (row < 0) {
            *out++ = table.single[b]; // every other byte above 0x7F is a character
            ++p;
            continue;
        }
        if (end - p >= 2) {
            if (const char16_t u = table.pair[row][p[1]]) {
                *out++ = u;
                p += 2;
                continue;
            }
        }
        // Escape only the lead byte: the byte after it may well be a "<" or a
        // line break, and it must be read as what it is.
        *out++ = char16_t(kEscapeBase + b);
        ++result.keptBytes;
        ++p;
    }
    result.text.resize(out - outStart);
    return result;
}

int codeFor(char16_t ch)
{
    if (ch >= 0xDC80 && ch <= 0xDCFF)
        return ch - kEscapeBase;
    if (QChar::isSurrogate(ch))
        return -1;
    const std::uint16_t c = encodeTable().code[ch];
    return (c == 0 && ch != 0) ? -1 : c;
}

EncodeResult encode(QStringView text, UnencodablePolicy policy)
{
    const auto &table = encodeTable().code;
    EncodeResult result;
    QByteArray &bytes = result.bytes;
    bytes = QByteArray(text.size() * 2, Qt::Uninitialized); // exact: see decode
    char *out = bytes.data();
    LineCounter lines(text);

    const qsizetype n = text.size();
    const char16_t *s = reinterpret_cast<const char16_t *>(text.data());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i];
        if (c < 0x80) {
            const qsizetype run = narrowAscii(s + i, n - i, out);
            out += run;
            i += run - 1;
            continue;
        }
        char32_t unencodable = 0;
        qsizetype units = 1;
        if (QChar::isSurrogate(c)) {
            if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(s[i + 1])) {
                unencodable = QChar::surrogateToUcs4(c, s[i + 1]);
                units = 2;
            } else if (c >= 0xDC80 && c <= 0xDCFF) {
                *out++ = char(c - kEscapeBase);
                continue;
            } else {
                unencodable = c;
            }
        } else if (const std::uint16_t code = table[c]) {
            if (code < 0x100) {
                *out++ = char(code);
            } else {
                *out++ = char(code >> 8);
                *out++ = char(code & 0xFF);
            }
            continue;
        } else {
            unencodable = c;
        }

        result.unencodable.push_back(lines.locate(i, unencodable));
        if (policy == UnencodablePolicy::CharacterReference) {
            const QByteArray ref = "&#" + QByteArray::number(quint32(unencodable)) + ';';
            const qsizetype written = out - bytes.data();
            // Room for the reference and for two bytes per unit still to come.
            bytes.resize(written + ref.size() + (n - i - units) * 2);
            out = bytes.data() + written;
            out = std::copy(ref.cbegin(), ref.cend(), out);
        }
        i += units - 1;
    }
    bytes.resize(out - bytes.data());
    return result;
}

} // namespace holvane::cp932
