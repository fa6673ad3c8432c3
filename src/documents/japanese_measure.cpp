#include "documents/japanese_measure.h"

#include "documents/codec_support.h"
#include "documents/jis_tables.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>

namespace holvane::detect {
namespace {

// What one character weighs, in quarter points. A kept byte costs more than
// a kana gains: a reading that keeps a byte more needs several good
// characters more to win.
constexpr int kKept = -20;
constexpr int kKeptInRun = -4; // each one after the first of a run
constexpr int kKana = 8;
constexpr int kPunctuation = 6; // 、。「」 and the like, full-width letters and digits
constexpr int kSymbol = 2;      // the other symbols of JIS rows 1 to 3
constexpr int kLevel1 = 6;
constexpr int kLevel2 = -4;
constexpr int kGreekCyrillic = -2;
constexpr int kRare = -8;    // IBM extensions, JIS X 0212, C0 controls but ESC
constexpr int kAlien = -16;  // private use (code page 932's user-defined rows), C1 controls
constexpr int kForeign = -2; // beyond JIS X 0208 and JIS X 0212, past Latin

int jisRow(char16_t c)
{
    const std::uint16_t code = jis::tables().encode0208[c];
    return code ? (code >> 8) - 0x20 : 0;
}

int weightOf(char16_t c)
{
    if (c < 0x80)
        return (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r' && c != u'\f' && c != 0x1B) ? kRare : 0;
    if (c < 0xA0 || (c >= 0xE000 && c <= 0xF8FF))
        return kAlien;
    if ((c >= 0x3041 && c <= 0x3096) || c == 0x309D || c == 0x309E || (c >= 0x30A1 && c <= 0x30FE))
        return kKana;
    if ((c >= 0x3001 && c <= 0x3003) || c == 0x3005 || (c >= 0x3008 && c <= 0x3011) || c == 0x3014 || c == 0x3015
        || (c >= 0xFF01 && c <= 0xFF5E))
        return kPunctuation;
    switch (const int row = jisRow(c)) {
    case 0:
        if (jis::tables().encode0212[c])
            return kRare;
        return c < 0x370 ? 0 : kForeign;
    case 1:
    case 2:
    case 3:
        return kSymbol;
    case 6:
    case 7:
        return kGreekCyrillic;
    default:
        if (row >= 16 && row <= 47)
            return kLevel1;
        if (row >= 48 && row <= 84)
            return kLevel2;
        return row >= 89 ? kRare : 0; // rows 8 (lines) and 13 (①, ㈱) weigh nothing
    }
}

const std::array<std::int8_t, 0x10000> &weights()
{
    static const auto table = [] {
        auto t = std::make_unique<std::array<std::int8_t, 0x10000>>();
        for (unsigned c = 0; c < 0x10000; ++c)
            (*t)[c] = static_cast<std::int8_t>(jis::isHalfWidthKatakana(char16_t(c)) ? 0 : weightOf(char16_t(c)));
        return t;
    }();
    return *table;
}

constexpr bool isHalfWidthLetter(char16_t c) { return c >= 0xFF71 && c <= 0xFF9D; }
constexpr bool inRange(char16_t c, char16_t from, char16_t to) { return c >= from && c <= to; }

// Half-width katakana by what stands around it: real katakana words put
// sound marks, small letters and ｰ after letters that take them, and 、 ・ 。
// between words, where EUC-JP read as code page 932 puts them anywhere. A
// letter weighs half a level-1 kanji, as much for its byte.
int halfWidthWeight(char16_t prev, char16_t c, char16_t next)
{
    constexpr int kLetter = 3;
    constexpr int kFits = 4;
    constexpr int kDoesNotFit = -12;
    switch (c) {
    case 0xFF61: // ｡ ｢ ｣ ､ ･
    case 0xFF62:
    case 0xFF63:
    case 0xFF64:
    case 0xFF65:
        return isHalfWidthLetter(prev) && isHalfWidthLetter(next) ? kDoesNotFit : 0;
    case 0xFF66: // ｦ: a particle, not in loanwords
        return -4;
    case 0xFF67: // ｧ ｨ ｩ ｪ ｫ: after ｳ, ﾂ, ﾃ, ﾌ, ｼ, ﾁ and a sound mark
    case 0xFF68:
    case 0xFF69:
    case 0xFF6A:
    case 0xFF6B:
        return prev == 0xFF73 || prev == 0xFF82 || prev == 0xFF83 || prev == 0xFF8C || prev == 0xFF7C
                       || prev == 0xFF81 || prev == 0xFF9E
                   ? kFits
                   : kDoesNotFit;
    case 0xFF6C: // ｬ ｭ ｮ: after the letters of the i row, ﾃ, ﾌ and a sound mark
    case 0xFF6D:
    case 0xFF6E:
        return prev == 0xFF77 || prev == 0xFF7C || prev == 0xFF81 || prev == 0xFF86 || prev == 0xFF8B
                       || prev == 0xFF90 || prev == 0xFF98 || prev == 0xFF83 || prev == 0xFF8C || prev == 0xFF9E
                       || prev == 0xFF9F
                   ? kFits
                   : kDoesNotFit;
    case 0xFF6F: // ｯ, before a letter
        return isHalfWidthLetter(prev) && isHalfWidthLetter(next) ? kFits : kDoesNotFit;
    case 0xFF70: // ｰ, after any katakana
        return inRange(prev, 0xFF67, 0xFF9F) && prev != 0xFF70 ? kFits : kDoesNotFit;
    case 0xFF9E: // ﾞ after ｳ, ｶ-ﾄ, ﾊ-ﾎ
        return prev == 0xFF73 || inRange(prev, 0xFF76, 0xFF84) || inRange(prev, 0xFF8A, 0xFF8E) ? kFits
                                                                                                : kDoesNotFit;
    case 0xFF9F: // ﾟ after ﾊ-ﾎ
        return inRange(prev, 0xFF8A, 0xFF8E) ? kFits : kDoesNotFit;
    case 0xFF9D: // ﾝ ends a syllable, it starts none
        return inRange(prev, 0xFF67, 0xFF9F) ? kLetter : kDoesNotFit;
    default:
        return kLetter;
    }
}

// How many placeholders at the end of a reading are the start of a character
// that the end cut off.
qsizetype cutAtEnd(QStringView text, Encoding encoding)
{
    unsigned b[3] = {};
    qsizetype k = 0;
    while (k < 3 && k < text.size() && codec::isKept(text[text.size() - 1 - k].unicode()))
        ++k;
    for (qsizetype i = 0; i < k; ++i)
        b[i] = codec::keptByte(text[text.size() - k + i].unicode());
    switch (encoding) {
    case Encoding::Utf8:
        for (qsizetype start = 0; start < k; ++start) {
            const unsigned lead = b[start];
            const qsizetype length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
            bool continued = lead >= 0xC2 && lead <= 0xF4 && k - start < length;
            for (qsizetype i = start + 1; i < k; ++i)
                continued = continued && (b[i] & 0xC0) == 0x80;
            if (continued)
                return k - start;
        }
        return 0;
    case Encoding::EucJp:
        if (k >= 2 && b[k - 2] == 0x8F && codec::isEucByte(b[k - 1]))
            return 2;
        return k >= 1 && (codec::isEucByte(b[k - 1]) || b[k - 1] == 0x8E || b[k - 1] == 0x8F) ? 1 : 0;
    case Encoding::Cp932:
        return k >= 1 && codec::isCp932Lead(b[k - 1]) ? 1 : 0;
    case Encoding::Utf16Le:
    case Encoding::Utf16Be:
        return k; // an odd last byte, a lone first half of a pair
    case Encoding::Iso2022Jp:
        return 0;
    }
    return 0;
}

} // namespace

Measure measureReading(QStringView text, Encoding encoding)
{
    const std::array<std::int8_t, 0x10000> &weight = weights();
    const char16_t *s = reinterpret_cast<const char16_t *>(text.data());
    const qsizetype n = text.size() - cutAtEnd(text, encoding);
    const unsigned keptFrom = encoding == Encoding::Iso2022Jp ? 0x80 : 0;
    auto at = [&](qsizetype i) { return i >= 0 && i < n ? s[i] : char16_t(0); };
    auto isLetter = [](char16_t c) { return (c | 0x20) >= u'a' && (c | 0x20) <= u'z'; };
    Measure m;
    qsizetype runs = 0; // of kept bytes: one lost or added byte often keeps those around it too
    bool inRun = false;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i];
        const bool kept = codec::isKept(c) && !QChar::isHighSurrogate(at(i - 1));
        if (kept && codec::keptByte(c) >= keptFrom) {
            ++m.kept;
            runs += !inRun;
            inRun = true;
            continue;
        }
        inRun = false;
        if (c < 0x80) {
            m.weight += weight[c];
            continue;
        }
        ++m.characters;
        const char16_t prev = at(i - 1);
        const char16_t next = at(i + 1);
        int w = jis::isHalfWidthKatakana(c) ? halfWidthWeight(prev, c, next) : weight[c];
        // A lone character in an ASCII word: a byte gone astray, taken
        // with an ASCII letter into a character or read as katakana.
        if (c >= 0x3000 && i > 0 && i + 1 < n && prev < 0x80 && next < 0x80 && (isLetter(prev) || isLetter(next)))
            w = std::min(w, kRare);
        // Half-width punctuation twice over: EUC-JP's full-width
        // punctuation and spaces read as code page 932.
        if (inRange(c, 0xFF61, 0xFF65) && inRange(prev, 0xFF61, 0xFF65))
            w = std::min(w, kRare);
        m.weight += w;
    }
    m.score = m.weight + runs * kKept + (m.kept - runs) * kKeptInRun;
    return m;
}

} // namespace holvane::detect
