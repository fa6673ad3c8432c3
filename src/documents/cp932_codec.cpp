#include "documents/cp932_codec.h"

#include "documents/codec_support.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <tuple>
#include <vector>

namespace holvane::cp932 {
namespace {

#include "documents/cp932_table.inc"

constexpr int rowOfLead(unsigned b) { return b <= 0x9F ? int(b) - 0x81 : int(b) - 0xE0 + 31; }
using codec::isCp932Lead;
using codec::isKept;
using codec::keptByte;

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
    // Every code of the characters that have more than one, by character.
    std::vector<std::pair<char16_t, std::uint16_t>> duplicates;

    EncodeTable()
    {
        for (unsigned b = 0; b < 0x80; ++b)
            code[b] = std::uint16_t(b);
        for (unsigned b = 0x80; b < 0x100; ++b)
            if (const char16_t u = singleByte(b))
                code[u] = std::uint16_t(b);
        for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
            if (!isCp932Lead(lead))
                continue;
            for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
                const char16_t u = kDoubleByteTable[rowOfLead(lead)][trail - 0x40];
                if (u == 0)
                    continue;
                const auto c = std::uint16_t(lead << 8 | trail);
                std::uint16_t &slot = code[u];
                if (slot == 0 || rank(c) < rank(slot) || (rank(c) == rank(slot) && c < slot))
                    slot = c;
                duplicates.emplace_back(u, c);
            }
        }
        // By character, and Windows' own preference first within each.
        std::sort(duplicates.begin(), duplicates.end(), [](const auto &a, const auto &b) {
            return std::tuple(a.first, rank(a.second), a.second) < std::tuple(b.first, rank(b.second), b.second);
        });
        std::vector<std::pair<char16_t, std::uint16_t>> several;
        for (std::size_t i = 0; i < duplicates.size(); ++i) {
            const bool shared = (i > 0 && duplicates[i - 1].first == duplicates[i].first)
                                || (i + 1 < duplicates.size() && duplicates[i + 1].first == duplicates[i].first);
            if (shared)
                several.push_back(duplicates[i]);
        }
        duplicates = std::move(several);
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
            leadRow[b] = std::int8_t(isCp932Lead(b) ? rowOfLead(b) : -1);
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

} // namespace

DecodeResult decode(QByteArrayView bytes)
{
    const DecodeTable &table = decodeTable();
    DecodeResult result;
    // Sized exactly: resize() would round a big text up past the size that
    // malloc keeps for reuse, and fresh pages are slow to come by.
    result.text = codec::bigText(bytes.size());
    char16_t *out = reinterpret_cast<char16_t *>(result.text.data());
    char16_t *const outStart = out;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *const end = p + bytes.size();
    while (p < end) {
        const unsigned b = *p;
        if (b < 0x80) {
            const qsizetype run = codec::widenAscii(p, end - p, out);
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
        *out++ = char16_t(codec::kKeptBase + b);
        ++result.keptBytes;
        ++p;
    }
    result.text.resize(out - outStart);
    return result;
}

int codeFor(char16_t ch)
{
    if (isKept(ch))
        return isCp932Lead(keptByte(ch)) ? keptByte(ch) : -1;
    if (QChar::isSurrogate(ch))
        return -1;
    const std::uint16_t c = encodeTable().code[ch];
    return (c == 0 && ch != 0) ? -1 : c;
}

char16_t decodePair(unsigned lead, unsigned trail)
{
    const int row = decodeTable().leadRow[lead & 0xFF];
    return row < 0 ? 0 : decodeTable().pair[row][trail & 0xFF];
}

namespace {

// Whether a code written right after a kept lead byte would be read as the
// lead's trail byte.
bool joins(const DecodeTable &table, int keptRow, std::uint16_t code)
{
    return table.pair[keptRow][code < 0x100 ? code : code >> 8] != 0;
}

// Another code of the same character that does not join the kept lead byte
// before it, or 0. Only double-byte characters have more than one code.
std::uint16_t codeAfterKept(const DecodeTable &table, std::uint16_t code, int keptRow)
{
    if (code < 0x100)
        return 0;
    const char16_t ch = table.pair[table.leadRow[code >> 8]][code & 0xFF];
    const auto &duplicates = encodeTable().duplicates;
    auto it = std::lower_bound(duplicates.begin(), duplicates.end(), std::pair<char16_t, std::uint16_t>(ch, 0));
    for (; it != duplicates.end() && it->first == ch; ++it)
        if (!joins(table, keptRow, it->second))
            return it->second;
    return 0;
}

void putCode(char *&out, std::uint16_t code)
{
    if (code >= 0x100)
        *out++ = char(code >> 8);
    *out++ = char(code & 0xFF);
}

// What encode keeps besides the output pointer, for the rare paths.
struct Writing {
    QStringView text;
    UnencodablePolicy policy;
    EncodeResult &result;
    codec::LineCounter lines;
};

// Reports the character at i and writes its reference when asked.
void report(Writing &w, qsizetype i, char32_t codePoint, qsizetype units, char *&out)
{
    w.result.unencodable.push_back(w.lines.locate(i, codePoint));
    if (w.policy != UnencodablePolicy::CharacterReference)
        return;
    QByteArray &bytes = w.result.bytes;
    const QByteArray ref = codec::characterReference(codePoint);
    const qsizetype written = out - bytes.data();
    // Room for the reference and for two bytes per unit still to come.
    bytes.resize(written + ref.size() + (w.text.size() - i - units) * 2);
    out = std::copy(ref.cbegin(), ref.cend(), bytes.data() + written);
}

// Writes what follows a kept lead byte, one item at a time, while the byte
// written last is a kept one whose reading is still open: the next byte must
// not be one that makes a character with it. Returns the index after.
qsizetype writeAfterKept(Writing &w, qsizetype i, int keptRow, char *&out)
{
    const DecodeTable &decoding = decodeTable();
    const auto &table = encodeTable().code;
    const qsizetype n = w.text.size();
    while (i < n) {
        const char16_t c = w.text[i].unicode();
        qsizetype units = 1;
        char32_t unencodable = c;
        if (QChar::isSurrogate(c)) {
            if (QChar::isHighSurrogate(c) && i + 1 < n && w.text[i + 1].isLowSurrogate()) {
                unencodable = QChar::surrogateToUcs4(c, w.text[i + 1].unicode());
                units = 2;
            } else if (isKept(c) && isCp932Lead(keptByte(c)) && !joins(decoding, keptRow, keptByte(c))) {
                *out++ = char(keptByte(c));
                keptRow = rowOfLead(keptByte(c));
                ++i;
                continue;
            }
        } else if (std::uint16_t code = table[c]; code != 0 || c == 0) {
            if (joins(decoding, keptRow, code))
                code = codeAfterKept(decoding, code, keptRow); // NUL never joins
            if (code != 0 || c == 0) {
                putCode(out, code);
                return i + 1;
            }
            // It would join the kept byte before it whichever code it took.
        }
        report(w, i, unencodable, units, out);
        i += units;
        if (w.policy == UnencodablePolicy::CharacterReference)
            return i; // "&" is no trail byte: the reference settles the kept one
    }
    return i;
}

} // namespace

EncodeResult encode(QStringView text, UnencodablePolicy policy)
{
    const auto &table = encodeTable().code;
    EncodeResult result;
    QByteArray &bytes = result.bytes;
    bytes = QByteArray(text.size() * 2, Qt::Uninitialized); // exact: see decode
    char *out = bytes.data();
    Writing writing{text, policy, result, codec::LineCounter(text)};

    const qsizetype n = text.size();
    const char16_t *s = reinterpret_cast<const char16_t *>(text.data());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i];
        if (c < 0x80) {
            const qsizetype run = codec::narrowAscii(s + i, n - i, out);
            out += run;
            i += run - 1;
            continue;
        }
        char32_t unencodable = c;
        qsizetype units = 1;
        if (QChar::isSurrogate(c)) {
            if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(s[i + 1])) {
                unencodable = QChar::surrogateToUcs4(c, s[i + 1]);
                units = 2;
            } else if (isKept(c) && isCp932Lead(keptByte(c))) {
                // Only a lead byte can be kept: any other byte is a character
                // of its own and would read back as that.
                *out++ = char(keptByte(c));
                i = writeAfterKept(writing, i + 1, rowOfLead(keptByte(c)), out) - 1;
                continue;
            }
        } else if (const std::uint16_t code = table[c]) {
            putCode(out, code);
            continue;
        }
        report(writing, i, unencodable, units, out);
        i += units - 1;
    }
    bytes.resize(out - bytes.data());
    return result;
}

} // namespace holvane::cp932
