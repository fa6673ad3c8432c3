#include "documents/iso2022jp_codec.h"

#include "documents/codec_support.h"
#include "documents/iso2022jp_sets.h"
#include "documents/jis_tables.h"

#include <cstring>

namespace holvane {
namespace {

using codec::kKeptBase;
using jis::isHalfWidthKatakana;

} // namespace

namespace iso2022jp {

const Escape &usualEscape(Set set)
{
    for (const Escape &e : kEscapes)
        if (e.set == set && e.usual)
            return e;
    return kEscapes[0];
}

// kEscapes' order is relied on.
const Escape *escapeAt(const unsigned char *p, const unsigned char *end, bool *partial)
{
    const qsizetype left = end - p;
    bool open = false;
    const Escape *found = nullptr;
    if (left >= 1 && p[0] == kEsc) {
        if (left == 1) {
            open = true;
        } else if (p[1] == '(') {
            open = left == 2;
            for (int k = 0; k < 3 && !open; ++k)
                if (p[2] == static_cast<unsigned char>(kEscapes[k].bytes[2]))
                    found = &kEscapes[k];
        } else if (p[1] == '$') {
            open = left == 2 || (left == 3 && p[2] == '(');
            if (!open)
                found = p[2] == 'B' ? &kEscapes[3] : p[2] == '@' ? &kEscapes[4] : p[2] == '(' && p[3] == 'D' ? &kEscapes[5] : nullptr;
        }
    }
    if (partial)
        *partial = open;
    return found;
}

int charAt(Set set, const unsigned char *p, const unsigned char *end, int *length)
{
    const unsigned b = p[0];
    *length = 1;
    switch (set) {
    case Set::Ascii:
        return b < 0x80 && b != kEsc ? int(b) : -1;
    case Set::Roman:
        if (b >= 0x80 || b == kEsc)
            return -1;
        return b == 0x5C ? 0xA5 : b == 0x7E ? 0x203E : int(b);
    case Set::Kana:
        return b >= 0x21 && b <= 0x5F ? int(0xFF40 + b) : -1;
    case Set::Jis0208:
    case Set::Jis0212:
        if (end - p < 2)
            return -1;
        *length = 2;
        const char16_t u = set == Set::Jis0208 ? jis::tables().at0208(b, p[1]) : jis::tables().at0212(b, p[1]);
        return u ? int(u) : -1;
    }
    return -1;
}

bool canWrite(Set set, char16_t c)
{
    switch (set) {
    case Set::Ascii:
        return c < 0x80 && c != kEsc;
    case Set::Roman:
        return (c < 0x80 && c != kEsc && c != 0x5C && c != 0x7E) || c == 0xA5 || c == 0x203E;
    case Set::Kana:
        return isHalfWidthKatakana(c);
    case Set::Jis0208:
        return jis::tables().encode0208[c] != 0;
    case Set::Jis0212:
        // Only after an ESC $ ( D kept from the file, and only what another
        // set has too: what only JIS X 0212 has is unencodable, since
        // browsers show it as garbage.
        return jis::tables().encode0212[c] != 0 && setFor(c);
    }
    return false;
}

// The set the encoder switches to for a character that the current set
// cannot write: the first of ASCII, Roman, katakana, JIS X 0208.
std::optional<Set> setFor(char16_t c)
{
    if (c < 0x80)
        return c == kEsc ? std::nullopt : std::optional(Set::Ascii);
    if (c == 0xA5 || c == 0x203E)
        return Set::Roman;
    if (isHalfWidthKatakana(c))
        return Set::Kana;
    const jis::Tables &t = jis::tables();
    if (t.encode0208[c])
        return Set::Jis0208;
    return std::nullopt;
}

// The bytes of a character in a set that can write it.
std::uint16_t codeIn(Set set, char16_t c)
{
    switch (set) {
    case Set::Ascii:
        return c;
    case Set::Roman:
        return c == 0xA5 ? 0x5C : c == 0x203E ? 0x7E : c;
    case Set::Kana:
        return std::uint16_t(c - 0xFF40);
    case Set::Jis0208:
        return jis::tables().encode0208[c];
    case Set::Jis0212:
        return jis::tables().encode0212[c];
    }
    return 0;
}

// Whether the encoder would have written this escape itself, so that it can
// vanish into the text: an escape of the usual form, to another set, that
// the next character needs; or ESC ( B at the very end after the encoder's
// own switch away from ASCII. ESC $ ( D vanishes where the next character is
// one that only JIS X 0212 has, as the encoder once wrote it.
bool encoderWouldWrite(const Escape &e, Set from, bool ownSwitch, const unsigned char *next, const unsigned char *end)
{
    if (e.set == from)
        return false;
    if (next == end)
        return e.set == Set::Ascii && ownSwitch;
    int length = 0;
    const int c = charAt(e.set, next, end, &length);
    if (e.set == Set::Jis0212)
        return c >= 0 && !setFor(char16_t(c));
    return e.usual && c >= 0 && !canWrite(from, char16_t(c)) && setFor(char16_t(c)) == e.set;
}

DecodedText decode(QByteArrayView bytes)
{
    DecodedText result;
    result.text = codec::bigText(bytes.size());
    char16_t *const outStart = reinterpret_cast<char16_t *>(result.text.data());
    char16_t *out = outStart;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *const end = p + bytes.size();
    auto keep = [&](unsigned char b) {
        *out++ = char16_t(kKeptBase + b);
        ++result.keptBytes;
    };
    Set set = Set::Ascii;
    bool ownSwitch = true;
    // The last escape that vanished into the text, in case the file never
    // leaves its set: the encoder would close that, so it must be kept.
    qsizetype vanishedAt = -1;
    const Escape *vanished = nullptr;
    const jis::Tables &jis = jis::tables();
    while (p < end) {
        if (set == Set::Ascii) {
            const qsizetype run = codec::widenAscii<kEsc>(p, end - p, out);
            p += run;
            out += run;
            if (p == end)
                break;
        } else if (set == Set::Jis0208) {
            // Runs of kanji and kana, the bulk of a Japanese page.
            for (char16_t u; end - p >= 2 && (u = jis.at0208(p[0], p[1])); p += 2)
                *out++ = u;
            if (p == end)
                break;
        }
        const unsigned char b = *p;
        if (b == kEsc) {
            if (const Escape *e = escapeAt(p, end)) {
                if (e->alwaysRead) {
                    // The encoder writes another escape, or none, in its place:
                    // an unchanged file is written back from its own bytes.
                    vanished = nullptr;
                    ownSwitch = true;
                } else if (encoderWouldWrite(*e, set, ownSwitch, p + e->length, end)) {
                    vanishedAt = out - outStart;
                    vanished = e;
                    ownSwitch = true;
                } else {
                    for (int k = 0; k < e->length; ++k)
                        keep(p[k]);
                    ownSwitch = false;
                }
                set = e->set;
                p += e->length;
                continue;
            }
        }
        int length = 0;
        const int c = charAt(set, p, end, &length);
        if (c >= 0) {
            *out++ = char16_t(c);
            p += length;
        } else {
            keep(b); // only this byte: the next one is read as what it is
            ++p;
        }
    }
    result.text.resize(out - outStart);
    if (set != Set::Ascii && ownSwitch && vanished) {
        QString escape;
        for (int k = 0; k < vanished->length; ++k)
            escape += QChar(char16_t(kKeptBase + static_cast<unsigned char>(vanished->bytes[k])));
        result.text.insert(vanishedAt, escape);
        result.keptBytes += vanished->length;
    }
    return result;
}

bool hasJisEscape(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return false; // memchr is not to be given the null pointer of an empty view
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *const end = p + bytes.size();
    while ((p = static_cast<const unsigned char *>(std::memchr(p, kEsc, size_t(end - p))))) {
        if (const Escape *e = escapeAt(p, end); e && e->set != Set::Jis0212)
            return true;
        ++p;
    }
    return false;
}

} // namespace iso2022jp
} // namespace holvane