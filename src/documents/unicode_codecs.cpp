#include "documents/unicode_codecs.h"

#include "documents/codec_support.h"

#include <cstdint>
#include <cstring>

namespace holvane {
namespace {

using codec::isKept;
using codec::keptByte;
using codec::kKeptBase;

constexpr char16_t kByteOrderMark = 0xFEFF;

// Writes a character reference in place of a character, two bytes a
// character of it.
void putUtf16Reference(codec::ByteSink &sink, char32_t codePoint, qsizetype stillPlanned, bool bigEndian)
{
    const QByteArray ref = codec::characterReference(codePoint);
    sink.reserveExtra(ref.size() * 2, stillPlanned);
    for (char ch : ref) {
        if (bigEndian)
            sink.put(0);
        sink.put(static_cast<unsigned char>(ch));
        if (!bigEndian)
            sink.put(0);
    }
}

} // namespace

// ------------------------------------------------------------------ UTF-8

namespace utf8 {
namespace {

// What the decoder reads at p (see codec::PendingKept).
int sequenceAt(const unsigned char *p, const unsigned char *end)
{
    const unsigned b = p[0];
    if (b < 0x80)
        return 1;
    if (b < 0xC2 || b > 0xF4)
        return 0;
    const int length = b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    const unsigned low = b == 0xE0 ? 0xA0 : b == 0xF0 ? 0x90 : 0x80;
    const unsigned high = b == 0xED ? 0x9F : b == 0xF4 ? 0x8F : 0xBF;
    for (int k = 1; k < length; ++k) {
        if (p + k == end)
            return -1;
        const unsigned c = p[k];
        if (k == 1 ? (c < low || c > high) : (c & 0xC0) != 0x80)
            return 0;
    }
    return length;
}

} // namespace

DecodedText decode(QByteArrayView bytes)
{
    DecodedText result;
    QString &text = result.text;
    text = codec::bigText(bytes.size()); // never more units than bytes
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    char16_t *const outStart = out;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *const end = p + bytes.size();
    qsizetype kept = 0;
    while (p < end) {
        if (*p < 0x80) {
            const qsizetype run = codec::widenAscii(p, end - p, out);
            p += run;
            out += run;
            continue;
        }
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
        // Japanese is three bytes a character: runs of those go first, four
        // characters at a time, then one. Overlong forms and surrogates leave
        // the run, for the careful path below.
        auto plain = [](char16_t u) { return u >= 0x800 && !QChar::isSurrogate(u); };
        constexpr std::uint64_t kTwoMask = 0xC0C0F0C0C0F0;
        constexpr std::uint64_t kTwo = 0x8080E08080E0;
        auto first = [](std::uint64_t w) { return char16_t((w & 0x0F) << 12 | (w & 0x3F00) >> 2 | (w & 0x3F0000) >> 16); };
        while (end - p >= 14) {
            std::uint64_t w0;
            std::uint64_t w1;
            std::memcpy(&w0, p, 8);
            std::memcpy(&w1, p + 6, 8);
            if ((w0 & kTwoMask) != kTwo || (w1 & kTwoMask) != kTwo)
                break;
            const char16_t u[4] = {first(w0), first(w0 >> 24), first(w1), first(w1 >> 24)};
            if (!(plain(u[0]) && plain(u[1]) && plain(u[2]) && plain(u[3])))
                break;
            std::memcpy(out, u, sizeof u);
            out += 4;
            p += 12;
        }
        while (end - p >= 4) {
            std::uint32_t w;
            std::memcpy(&w, p, 4);
            if ((w & 0xC0C0F0) != 0x8080E0)
                break;
            const auto u = char16_t((w & 0x0F) << 12 | (w & 0x3F00) >> 2 | (w & 0x3F0000) >> 16);
            if (!plain(u))
                break;
            *out++ = u;
            p += 3;
        }
#endif
        if (p == end || *p < 0x80)
            continue;
        const unsigned b = *p;
        if (b >= 0xE0 && b <= 0xEF) {
            if (end - p >= 3) {
                const unsigned c1 = p[1];
                const unsigned c2 = p[2];
                const unsigned low = b == 0xE0 ? 0xA0 : 0x80;
                const unsigned high = b == 0xED ? 0x9F : 0xBF;
                if (c1 >= low && c1 <= high && (c2 & 0xC0) == 0x80) {
                    *out++ = char16_t((b & 0x0F) << 12 | (c1 & 0x3F) << 6 | (c2 & 0x3F));
                    p += 3;
                    continue;
                }
            }
        } else if (b >= 0xC2 && b <= 0xDF) {
            if (end - p >= 2 && (p[1] & 0xC0) == 0x80) {
                *out++ = char16_t((b & 0x1F) << 6 | (p[1] & 0x3F));
                p += 2;
                continue;
            }
        } else if (sequenceAt(p, end) == 4) {
            const char32_t u = (b & 0x07) << 18 | (p[1] & 0x3F) << 12 | (p[2] & 0x3F) << 6 | (p[3] & 0x3F);
            *out++ = QChar::highSurrogate(u);
            *out++ = QChar::lowSurrogate(u);
            p += 4;
            continue;
        }
        // Only this byte: the one after it is read as what it is.
        *out++ = char16_t(kKeptBase + b);
        ++p;
        ++kept;
    }
    text.resize(out - outStart);
    result.keptBytes = kept;
    return result;
}

EncodeResult encode(QStringView text, bool byteOrderMark, UnencodablePolicy policy)
{
    EncodeResult result;
    const qsizetype n = text.size();
    codec::ByteSink sink(n * 3 + 3);
    codec::LineCounter lines(text);
    codec::PendingKept pending(sequenceAt);
    if (byteOrderMark)
        for (unsigned char b : {0xEF, 0xBB, 0xBF})
            sink.put(b);

    const char16_t *s = reinterpret_cast<const char16_t *>(text.data());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i];
        if (pending.empty()) {
            if (c < 0x80) {
                i += sink.putAscii(s + i, n - i) - 1;
                continue;
            }
            if (c >= 0x800 && !QChar::isSurrogate(c) && c != kByteOrderMark) {
                sink.put(static_cast<unsigned char>(0xE0 | c >> 12));
                sink.put(static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F)));
                sink.put(static_cast<unsigned char>(0x80 | (c & 0x3F)));
                continue;
            }
        }
        qsizetype units = 1;
        const char32_t cp = codec::codePointAt(text, i, &units);
        const qsizetype start = sink.size();
        bool written = true;
        if (c == kByteOrderMark && sink.size() == 0) {
            written = false; // first in the file, it would read as a byte order mark
        } else if (c < 0x80) {
            sink.put(static_cast<unsigned char>(c));
        } else if (c < 0x800) {
            sink.put(static_cast<unsigned char>(0xC0 | c >> 6));
            sink.put(static_cast<unsigned char>(0x80 | (c & 0x3F)));
        } else if (units == 2) {
            sink.put(static_cast<unsigned char>(0xF0 | cp >> 18));
            sink.put(static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F)));
            sink.put(static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F)));
            sink.put(static_cast<unsigned char>(0x80 | (cp & 0x3F)));
        } else if (isKept(c) && keptByte(c) >= 0x80) {
            sink.put(keptByte(c));
            written = pending.admit(sink, start, true);
        } else if (QChar::isSurrogate(c)) {
            written = false;
        } else {
            sink.put(static_cast<unsigned char>(0xE0 | c >> 12));
            sink.put(static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F)));
            sink.put(static_cast<unsigned char>(0x80 | (c & 0x3F)));
        }
        // A character never starts with a continuation byte, so it settles
        // the kept bytes before it without joining them.
        if (written && !isKept(c) && !pending.empty())
            pending.admit(sink, start);
        if (!written) {
            sink.truncate(start);
            result.unencodable.push_back(lines.locate(i, cp));
            if (policy == UnencodablePolicy::CharacterReference) {
                codec::putReference(sink, cp, (n - i - units) * 3);
                pending.admit(sink, start);
            }
        }
        i += units - 1;
    }
    result.bytes = sink.take();
    return result;
}

} // namespace utf8

// ----------------------------------------------------------------- UTF-16

namespace utf16 {
namespace {

// Units copied eight at a time, swapping their bytes when `swap`, while none
// is a surrogate; returns how many. The test is on the units as this machine
// holds them: after the swap when reading a file, before it when writing one.
qsizetype copyPlainUnits(const char16_t *in, qsizetype n, char16_t *out, bool swap, bool testAfterSwap)
{
    qsizetype i = 0;
#ifdef __SSE2__
    const __m128i mask = _mm_set1_epi16(short(0xF800));
    const __m128i surrogate = _mm_set1_epi16(short(0xD800));
    for (; i + 8 <= n; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i));
        const __m128i w = swap ? _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8)) : v;
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(testAfterSwap ? w : v, mask), surrogate)) != 0)
            break;
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), w);
    }
#endif
    return i;
}

} // namespace

DecodedText decode(QByteArrayView bytes, bool bigEndian)
{
    const qsizetype units = bytes.size() / 2;
    const auto *raw = reinterpret_cast<const unsigned char *>(bytes.data());
    const bool swap = bigEndian == (Q_BYTE_ORDER == Q_LITTLE_ENDIAN);
    auto unitAt = [&](qsizetype k) {
        return bigEndian ? char16_t(raw[2 * k] << 8 | raw[2 * k + 1]) : char16_t(raw[2 * k] | raw[2 * k + 1] << 8);
    };
    // A lone surrogate takes two placeholders. They are rare: the text gets
    // room for them only once one turns up.
    for (const bool roomForKept : {false, true}) {
        DecodedText result;
        result.text = codec::bigText(roomForKept ? units * 2 + 1 : units + 1);
        char16_t *out = reinterpret_cast<char16_t *>(result.text.data());
        char16_t *const outStart = out;
        qsizetype k = 0;
        while (k < units) {
            const qsizetype run = copyPlainUnits(reinterpret_cast<const char16_t *>(raw) + k, units - k, out, swap, true);
            k += run;
            out += run;
            if (k == units)
                break;
            const char16_t u = unitAt(k);
            if (!QChar::isSurrogate(u)) {
                *out++ = u;
                ++k;
            } else if (QChar::isHighSurrogate(u) && k + 1 < units && QChar::isLowSurrogate(unitAt(k + 1))) {
                *out++ = u;
                *out++ = unitAt(k + 1);
                k += 2;
            } else if (!roomForKept) {
                break;
            } else {
                *out++ = char16_t(kKeptBase + raw[2 * k]);
                *out++ = char16_t(kKeptBase + raw[2 * k + 1]);
                result.keptBytes += 2;
                ++k;
            }
        }
        if (k < units)
            continue;
        if (bytes.size() % 2) {
            *out++ = char16_t(kKeptBase + raw[bytes.size() - 1]);
            ++result.keptBytes;
        }
        result.text.resize(out - outStart);
        return result;
    }
    return {};
}

EncodeResult encode(QStringView text, bool bigEndian, bool byteOrderMark, UnencodablePolicy policy)
{
    EncodeResult result;
    const qsizetype n = text.size();
    codec::ByteSink sink(n * 2 + 2);
    codec::LineCounter lines(text);
    const bool swap = bigEndian == (Q_BYTE_ORDER == Q_LITTLE_ENDIAN);
    auto putUnit = [&](char16_t u) {
        sink.put(static_cast<unsigned char>(bigEndian ? u >> 8 : u & 0xFF));
        sink.put(static_cast<unsigned char>(bigEndian ? u & 0xFF : u >> 8));
    };
    if (byteOrderMark)
        putUnit(kByteOrderMark);
    // The last unit written was a lone high surrogate kept from the file: a
    // lone low one right after it would make a pair with it.
    bool afterKeptHigh = false;
    const char16_t *s = reinterpret_cast<const char16_t *>(text.data());
    for (qsizetype i = 0; i < n;) {
        if (sink.size() > 0 || s[i] != kByteOrderMark) {
            const qsizetype run = copyPlainUnits(s + i, n - i, reinterpret_cast<char16_t *>(sink.out()), swap, false);
            if (run > 0) {
                sink.out() += run * 2;
                i += run;
                afterKeptHigh = false;
                if (i == n)
                    break;
            }
        }
        const char16_t c = s[i];
        qsizetype units = 1;
        const char32_t cp = codec::codePointAt(text, i, &units);
        bool written = true;
        if (c == kByteOrderMark && sink.size() == 0) {
            written = false; // first in the file, it would read as a byte order mark
        } else if (!QChar::isSurrogate(c)) {
            putUnit(c);
            afterKeptHigh = false;
        } else if (units == 2) {
            putUnit(c);
            putUnit(s[i + 1]);
            afterKeptHigh = false;
        } else if (isKept(c) && i + 1 < n && isKept(s[i + 1])) {
            // Two kept bytes are one unit of the file; they read back as
            // themselves only as a lone surrogate.
            const unsigned b0 = keptByte(c);
            const unsigned b1 = keptByte(s[i + 1]);
            const auto u = char16_t(bigEndian ? b0 << 8 | b1 : b1 << 8 | b0);
            if (QChar::isSurrogate(u) && !(QChar::isLowSurrogate(u) && afterKeptHigh)) {
                sink.put(static_cast<unsigned char>(b0));
                sink.put(static_cast<unsigned char>(b1));
                afterKeptHigh = QChar::isHighSurrogate(u);
                i += 2;
                continue;
            }
            written = false;
        } else if (isKept(c) && i + 1 == n) {
            sink.put(keptByte(c)); // an odd last byte
        } else {
            written = false;
        }
        if (!written) {
            result.unencodable.push_back(lines.locate(i, cp));
            if (policy == UnencodablePolicy::CharacterReference) {
                putUtf16Reference(sink, cp, (n - i - units) * 2, bigEndian);
                afterKeptHigh = false;
            }
        }
        i += units;
    }
    result.bytes = sink.take();
    return result;
}

} // namespace utf16
} // namespace holvane
