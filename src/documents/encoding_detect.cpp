#include "documents/encoding_detect.h"

#include "documents/cp932_codec.h"
#include "documents/eucjp_codec.h"
#include "documents/iso2022jp_codec.h"
#include "documents/japanese_measure.h"
#include "documents/unicode_codecs.h"

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace holvane::detect {
namespace {

constexpr qsizetype kSampleBytes = 64 * 1024;
constexpr unsigned char kEsc = 0x1B;

// The first byte above 0x7F, or ESC too where `escape`, from `from` on; the
// size where there is none. 10 MB of ASCII markup is passed sixteen bytes at
// a time.
qsizetype firstNotAscii(QByteArrayView bytes, qsizetype from, bool escape)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = from;
#ifdef __SSE2__
    const __m128i esc = _mm_set1_epi8(char(escape ? kEsc : 0x80));
    for (; i + 16 <= n; i += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
        if (const int mask = _mm_movemask_epi8(_mm_or_si128(chunk, _mm_cmpeq_epi8(chunk, esc))))
            return i + __builtin_ctz(unsigned(mask));
    }
#endif
    while (i < n && p[i] < 0x80 && !(escape && p[i] == kEsc))
        ++i;
    return i;
}

// A byte that ASCII in UTF-16 pairs with a zero, other than those that are
// also the high byte of a common Japanese character of the form U+XX00
// (U+3000, the ideographic space, and the kanji from U+4E00 on): such a zero
// on the wrong side would look like ASCII the other way round.
constexpr bool pairsLikeAscii(unsigned b)
{
    return b == '\t' || b == '\n' || b == '\r' || (b >= 0x20 && b <= 0x4D && b != 0x30);
}

// Whether the unit of `high` and `low` is ASCII, or kana, 、。「」 (U+30XX).
constexpr bool asciiOrKana(unsigned high, unsigned low)
{
    return high == 0 ? pairsLikeAscii(low)
                     : high == 0x30 && (low == 0x01 || low == 0x02 || low == 0x0C || low == 0x0D || (low >= 0x41 && low <= 0xF6));
}

// UTF-16 without a byte order mark. ASCII, kana and Japanese punctuation
// tell the byte order: the zeros of ASCII stand on one side of their units,
// 0x30 on one side of those of kana. Such units are read both ways; those of
// one order must be one in 256 at least and eight times as many as those of
// the other, and the reading must keep no more than one byte in 64 units and
// weigh as Japanese. A byte lost or added on the way swaps the orders from
// there on: the sample is looked at in up to 32 parts, the order may change twice,
// the first telling the byte order, and only the parts before the one where
// it changes are read.
std::optional<Encoding> utf16WithoutMark(QByteArrayView bytes)
{
    const QByteArrayView sample = bytes.first(std::min(bytes.size(), kSampleBytes));
    const auto *p = reinterpret_cast<const unsigned char *>(sample.data());
    const qsizetype units = sample.size() / 2;
    // Without a zero, only kana tell; 7-bit bytes without one are ASCII.
    if (units < 2
        || (!std::memchr(p, 0, size_t(units * 2))
            && (!std::memchr(p, 0x30, size_t(units * 2)) || firstNotAscii(sample, 0, false) == sample.size())))
        return std::nullopt;
    // Parts of 16 units at least, so that a character that looks like
    // another the other way round (Ｐ, U+FF30) does not make a change.
    const int parts = int(std::clamp<qsizetype>(units / 16, 1, 32));
    qsizetype little = 0;
    qsizetype big = 0;
    int changes = 0;
    std::optional<bool> firstSide;
    std::optional<bool> side;
    qsizetype before = units; // units before the first change of side
    qsizetype lastPart = 0;   // where the last part that told a side began
    for (int part = 0; part < parts; ++part) {
        qsizetype partLittle = 0;
        qsizetype partBig = 0;
        for (qsizetype k = units * part / parts; k < units * (part + 1) / parts; ++k) {
            partLittle += asciiOrKana(p[2 * k + 1], p[2 * k]);
            partBig += asciiOrKana(p[2 * k], p[2 * k + 1]);
        }
        little += partLittle;
        big += partBig;
        if (partLittle == partBig)
            continue;
        const bool bigHere = partBig > partLittle;
        if (!firstSide)
            firstSide = bigHere;
        if (side && *side != bigHere && ++changes == 1)
            before = lastPart; // the change may be anywhere after it began
        side = bigHere;
        lastPart = units * part / parts;
    }
    if (!firstSide)
        return std::nullopt;
    const qsizetype main = *firstSide ? big : little;
    if (changes > 2 || main < 2 || (little + big) * 256 < units || (changes == 0 && std::min(little, big) * 8 > main))
        return std::nullopt;
    const Measure m = measureReading(utf16::decode(sample.first(before * 2), *firstSide).text, Encoding::Utf16Le);
    if (m.kept * 64 > before || m.score < 0)
        return std::nullopt;
    return *firstSide ? Encoding::Utf16Be : Encoding::Utf16Le;
}

// The charset a page declares near its top, read from the bytes: the tag is
// ASCII in every encoding in question.
std::optional<Encoding> declared(QByteArrayView bytes)
{
    const QString top = QString::fromLatin1(bytes.first(std::min<qsizetype>(bytes.size(), 1024)));
    const std::optional<DeclaredCharset> charset = declaredCharset(top);
    return charset ? charset->encoding : std::nullopt;
}

struct Candidate {
    Encoding encoding;
    Measure measure;
};

} // namespace

Encoding recognise(QByteArrayView bytes)
{
    if (const std::optional<Encoding> utf16 = utf16WithoutMark(bytes))
        return *utf16;
    auto sampleFrom = [&](qsizetype first) { return bytes.sliced(first, std::min(bytes.size() - first, kSampleBytes)); };
    const qsizetype first = firstNotAscii(bytes, 0, true);
    QByteArrayView sample = sampleFrom(first);
    bool switchesToJis = iso2022jp::hasJisEscape(sample);
    if (firstNotAscii(sample, 0, false) == sample.size()) {
        // 7-bit in the sample: ISO-2022-JP where it switches to JIS (and a
        // byte above 0x7F further on is a stray one), ASCII where it is 7-bit
        // throughout; otherwise the sample starts at the first byte above 0x7F.
        const qsizetype firstHigh = firstNotAscii(bytes, first, false);
        if (switchesToJis || (firstHigh == bytes.size() && iso2022jp::hasJisEscape(bytes)))
            return Encoding::Iso2022Jp;
        if (firstHigh == bytes.size())
            return Encoding::Cp932;
        sample = sampleFrom(firstHigh);
        switchesToJis = iso2022jp::hasJisEscape(sample);
    }

    const Measure utf8 = measureReading(utf8::decode(sample).text, Encoding::Utf8);
    if (utf8.kept == 0 && utf8.characters > 0)
        return Encoding::Utf8;
    Candidate candidates[] = {
        {Encoding::Cp932, measureReading(cp932::decode(sample).text, Encoding::Cp932)},
        {Encoding::Utf8, utf8},
        {Encoding::EucJp, measureReading(eucjp::decode(sample).text, Encoding::EucJp)},
        {Encoding::Iso2022Jp, {}},
    };
    qsizetype count = 3;
    if (switchesToJis) {
        // A few stray bytes do not make ISO-2022-JP anything else, unless
        // the bytes above 0x7F read cleanly as better Japanese in another
        // encoding.
        const Measure iso = measureReading(iso2022jp::decode(sample).text, Encoding::Iso2022Jp);
        const bool otherwise = std::any_of(candidates, candidates + count, [&](const Candidate &c) {
            return c.measure.kept == 0 && c.measure.score > iso.weight;
        });
        if (!otherwise && (iso.kept <= 2 || iso.kept * 8 <= iso.characters))
            return Encoding::Iso2022Jp;
        candidates[count++].measure = iso;
    }

    qsizetype fewestKept = candidates[0].measure.kept;
    for (qsizetype k = 1; k < count; ++k)
        fewestKept = std::min(fewestKept, candidates[k].measure.kept);
    if (const std::optional<Encoding> meta = declared(bytes))
        for (qsizetype k = 0; k < count; ++k)
            if (candidates[k].encoding == *meta && candidates[k].measure.kept == fewestKept)
                return *meta;
    // Code page 932 stays where nothing else reads cleanly or as Japanese:
    // bytes that are none of these encodings.
    const Candidate *best = &candidates[0];
    for (qsizetype k = 1; k < count; ++k)
        if (candidates[k].measure.score > best->measure.score 
            && (candidates[k].measure.weight > 0 || candidates[k].measure.kept == 0))
            best = &candidates[k];
    return best->encoding;
}

} // namespace holvane::detect
