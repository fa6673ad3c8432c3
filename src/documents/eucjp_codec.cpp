#include "documents/eucjp_codec.h"

#include "documents/codec_support.h"
#include "documents/jis_tables.h"

#include <algorithm>
#include <memory>

namespace holvane {
namespace {

using codec::isEucByte;
using codec::isKept;
using codec::keptByte;
using codec::kKeptBase;
using jis::isHalfWidthKatakana;

} // namespace

namespace eucjp {
namespace {


// A code as written: up to three bytes, most significant first, and the count.
struct Code {
    std::uint32_t bytes = 0;
    int length = 0;
};

Code fromJis0208(std::uint16_t jis) { return {std::uint32_t(jis | 0x8080), 2}; }
Code fromJis0212(std::uint16_t jis) { return {std::uint32_t(0x8F0000 | jis | 0x8080), 3}; }

struct Tables {
    // JIS X 0208 spread out for speed: every second byte has a column.
    std::array<std::array<char16_t, 256>, 94> pair{};
    // The code written for each BMP character; length 0 where there is none.
    std::array<std::uint32_t, 0x10000> code{}; // length in the top byte

    Tables()
    {
        const jis::Tables &t = jis::tables();
        for (unsigned first = 0; first < 94; ++first)
            for (unsigned second = 0; second < 94; ++second)
                pair[first][second + 0xA1] = t.decode0208[first][second];
        for (unsigned c = 0; c < 0x10000; ++c) {
            Code chosen;
            const std::uint16_t j208 = t.encode0208[c];
            if (c < 0x80)
                chosen = {c, 1};
            else if (isHalfWidthKatakana(char16_t(c)))
                chosen = {0x8E00 | (c - 0xFF61 + 0xA1), 2};
            else if (j208 != 0 && !jis::isIbmRow(j208))
                chosen = fromJis0208(j208);
            else if (t.encode0212[c] != 0)
                chosen = fromJis0212(t.encode0212[c]);
            else if (j208 != 0)
                chosen = fromJis0208(j208);
            code[c] = chosen.bytes | std::uint32_t(chosen.length) << 24;
        }
    }
};

const Tables &eucTables()
{
    static const auto t = std::make_unique<Tables>();
    return *t;
}

// What the decoder reads at p: the length of a character, 0 for a kept byte,
// -1 when that depends on bytes not written yet.
int sequenceAt(const unsigned char *p, const unsigned char *end)
{
    const unsigned b = p[0];
    if (b < 0x80)
        return 1;
    if (end - p < 2)
        return (isEucByte(b) || b == 0x8E || b == 0x8F) ? -1 : 0;
    if (isEucByte(b))
        return eucTables().pair[b - 0xA1][p[1]] ? 2 : 0;
    if (b == 0x8E)
        return p[1] >= 0xA1 && p[1] <= 0xDF ? 2 : 0;
    if (b == 0x8F) {
        if (!isEucByte(p[1]))
            return 0;
        if (end - p < 3)
            return -1;
        return jis::tables().at0212(p[1] - 0x80, p[2] - 0x80) ? 3 : 0;
    }
    return 0;
}

void put(codec::ByteSink &sink, Code code)
{
    for (int k = code.length - 1; k >= 0; --k)
        sink.put(static_cast<unsigned char>(code.bytes >> (8 * k)));
}

// Every code of a character, for when the preferred one joins a kept byte.
std::vector<Code> codesOf(char16_t ch)
{
    const jis::Tables &t = jis::tables();
    std::vector<Code> codes;
    const auto &dups = t.duplicates0208;
    auto it = std::lower_bound(dups.begin(), dups.end(), std::pair<char16_t, std::uint16_t>(ch, 0));
    for (; it != dups.end() && it->first == ch; ++it)
        codes.push_back(fromJis0208(it->second));
    if (codes.empty() && t.encode0208[ch] != 0)
        codes.push_back(fromJis0208(t.encode0208[ch]));
    if (t.encode0212[ch] != 0)
        codes.push_back(fromJis0212(t.encode0212[ch]));
    return codes;
}

} // namespace

DecodedText decode(QByteArrayView bytes)
{
    const Tables &table = eucTables();
    const jis::Tables &jis = jis::tables();
    DecodedText result;
    result.text = codec::bigText(bytes.size()); // exact, as in code page 932
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
        if (end - p >= 2) {
            if (isEucByte(b)) {
                if (const char16_t u = table.pair[b - 0xA1][p[1]]) {
                    *out++ = u;
                    p += 2;
                    continue;
                }
            } else if (b == 0x8E && p[1] >= 0xA1 && p[1] <= 0xDF) {
                *out++ = char16_t(0xFF61 + (p[1] - 0xA1));
                p += 2;
                continue;
            } else if (b == 0x8F && end - p >= 3) {
                if (const char16_t u = jis.at0212(p[1] - 0x80, p[2] - 0x80); u && isEucByte(p[1]) && isEucByte(p[2])) {
                    *out++ = u;
                    p += 3;
                    continue;
                }
            }
        }
        // Only the first byte is kept: the next one is read as what it is.
        *out++ = char16_t(kKeptBase + b);
        ++result.keptBytes;
        ++p;
    }
    result.text.resize(out - outStart);
    return result;
}

EncodeResult encode(QStringView text, UnencodablePolicy policy)
{
    const Tables &table = eucTables();
    EncodeResult result;
    const qsizetype n = text.size();
    codec::ByteSink sink(n * 3);
    codec::LineCounter lines(text);
    codec::PendingKept pending(sequenceAt);

    const char16_t *s = reinterpret_cast<const char16_t *>(text.data());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i];
        if (pending.empty()) {
            if (c < 0x80) {
                i += sink.putAscii(s + i, n - i) - 1;
                continue;
            }
            // Nothing kept waits for its reading: the table says it all.
            const std::uint32_t code = table.code[c];
            if (code >> 24 == 2) {
                sink.put(static_cast<unsigned char>(code >> 8));
                sink.put(static_cast<unsigned char>(code));
                continue;
            }
            if (code >> 24 == 3) {
                sink.put(0x8F);
                sink.put(static_cast<unsigned char>(code >> 8));
                sink.put(static_cast<unsigned char>(code));
                continue;
            }
        }
        qsizetype units = 1;
        const char32_t cp = codec::codePointAt(text, i, &units);
        const qsizetype start = sink.size();
        if (isKept(c) && units == 1 && keptByte(c) >= 0x80) {
            sink.put(keptByte(c));
            if (pending.admit(sink, start, true))
                continue;
        } else if (const std::uint32_t code = units == 1 ? table.code[c] : 0; code >> 24) {
            put(sink, {code & 0xFFFFFF, int(code >> 24)});
            if (pending.admit(sink, start))
                continue;
            // It joins a kept byte before it; another code of it may not.
            bool written = false;
            for (const Code &other : codesOf(c)) {
                sink.truncate(start);
                put(sink, other);
                if ((written = pending.admit(sink, start)))
                    break;
            }
            if (written)
                continue;
        }
        sink.truncate(start);
        result.unencodable.push_back(lines.locate(i, cp));
        if (policy == UnencodablePolicy::CharacterReference) {
            // "&" is none of the bytes that complete a character, so the
            // reference settles every kept byte before it.
            codec::putReference(sink, cp, (n - i - units) * 3);
            pending.admit(sink, start);
        }
        i += units - 1;
    }
    result.bytes = sink.take();
    return result;
}

} // namespace eucjp
} // namespace holvane
