#include "documents/iso2022jp_codec.h"

#include "documents/codec_support.h"
#include "documents/jis_tables.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace holvane {
namespace {

using codec::isKept;
using codec::keptByte;
using codec::kKeptBase;
using jis::isHalfWidthKatakana;

} // namespace

namespace iso2022jp {
namespace {

constexpr unsigned char kEsc = 0x1B;

enum class Set : std::uint8_t { Ascii, Roman, Kana, Jis0208, Jis0212 };

struct Escape {
    const char *bytes;
    int length;
    Set set;
    bool usual;      // the one the encoder writes for its set
    bool alwaysRead; // read as a switch wherever it stands, never kept
};

// ESC ( J and ESC $ @ are what older mail and pages switch with: they are
// always read. JIS X 0212 is read but never written: browsers do not read it.
constexpr Escape kEscapes[] = {
    {"\x1B(B", 3, Set::Ascii, true, false},    {"\x1B(J", 3, Set::Roman, true, true},
    {"\x1B(I", 3, Set::Kana, true, false},     {"\x1B$B", 3, Set::Jis0208, true, false},
    {"\x1B$@", 3, Set::Jis0208, false, true},  {"\x1B$(D", 4, Set::Jis0212, false, false},
};

const Escape &usualEscape(Set set)
{
    for (const Escape &e : kEscapes)
        if (e.set == set && e.usual)
            return e;
    return kEscapes[0];
}

// The escape sequence at p (kEscapes' order is relied on); `partial` when the
// bytes up to `end` are the start of one.
const Escape *escapeAt(const unsigned char *p, const unsigned char *end, bool *partial = nullptr)
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

// The character at p in a set and its length in bytes, or -1.
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

std::optional<Set> setFor(char16_t c);

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

constexpr bool isDoubleByte(Set set) { return set == Set::Jis0208 || set == Set::Jis0212; }

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

class Encoder {
public:
    Encoder(QStringView text, UnencodablePolicy policy)
        : m_text(text), m_policy(policy), m_sink(text.size() * 8 + 4), m_state{codec::LineCounter(text)}
    {
    }

    EncodeResult run();

private:
    // A kept ESC whose following bytes may still make an escape, or a kept
    // first byte of a double-byte set whose second may still make a character.
    struct Pending {
        qsizetype position;
        Set set;
        bool escape;
    };

    // Everything that going back to an earlier place restores.
    struct State {
        codec::LineCounter lines;
        qsizetype textIndex = 0;
        qsizetype written = 0;
        std::size_t reported = 0;
        Set set = Set::Ascii;
        bool ownSwitch = true; // the current set was entered by the encoder's own escape
        std::array<Pending, 4> pending{};
        int pendingCount = 0;
    };

    // Kept bytes that form a whole escape, written as they were. The decoder
    // takes such an escape for the encoder's own when it is of the usual form
    // and the next character needs it; then it would vanish on reading.
    struct KeptEscape {
        State before;
        qsizetype textEnd;
        const Escape *escape;
        int lastBefore; // the kept escape that was the last thing written before this one
    };

    int readingAt(const Pending &p) const;
    bool pendingHold() const;
    void settle();
    bool writeChar(char16_t c, bool reportOnFailure, char16_t typed = 0);
    bool writeKept(unsigned char b);
    bool writeKeptEscape(const Escape &e, qsizetype length);
    bool beforeEscape();
    void goBack(int escape);
    bool report(qsizetype units, char32_t codePoint);
    void putEscape(const Escape &e);
    void putCode(Set set, std::uint16_t code);

    QStringView m_text;
    UnencodablePolicy m_policy;
    codec::ByteSink m_sink;
    State m_state;
    std::vector<Unencodable> m_unencodable;
    std::vector<KeptEscape> m_keptEscapes; // as written, for going back to them
    int m_last = -1; // the kept escape that is the last thing written
    int m_held = -1; // the kept escape that stays only if no escape follows
    qsizetype m_reportUntil = 0;
};

int Encoder::readingAt(const Pending &p) const
{
    const unsigned char *at = m_sink.begin() + p.position;
    if (p.escape) {
        bool partial = false;
        if (escapeAt(at, m_sink.end(), &partial))
            return 1;
        return partial ? -1 : 0;
    }
    if (m_sink.end() - at < 2)
        return -1;
    int length = 0;
    return charAt(p.set, at, m_sink.end(), &length) >= 0 ? 1 : 0;
}

bool Encoder::pendingHold() const
{
    for (int k = 0; k < m_state.pendingCount; ++k)
        if (readingAt(m_state.pending[k]) > 0)
            return false;
    return true;
}

void Encoder::settle()
{
    int open = 0;
    for (int k = 0; k < m_state.pendingCount; ++k)
        if (readingAt(m_state.pending[k]) < 0)
            m_state.pending[open++] = m_state.pending[k];
    m_state.pendingCount = open;
}

void Encoder::putEscape(const Escape &e)
{
    for (int k = 0; k < e.length; ++k)
        m_sink.put(static_cast<unsigned char>(e.bytes[k]));
}

void Encoder::putCode(Set set, std::uint16_t code)
{
    if (isDoubleByte(set))
        m_sink.put(static_cast<unsigned char>(code >> 8));
    m_sink.put(static_cast<unsigned char>(code & 0xFF));
}

// Called before any escape is written; false when that sent the encoder back.
bool Encoder::beforeEscape()
{
    if (m_held < 0)
        return true;
    // A kept escape of the usual form survives a reading only as the last
    // escape of the file (the decoder keeps that one, because the encoder
    // would have closed it). Another escape now follows: report it instead.
    goBack(m_held);
    return false;
}

// Goes back to before a kept escape and reports its bytes from there on.
void Encoder::goBack(int escape)
{
    const KeptEscape k = m_keptEscapes[std::size_t(escape)];
    m_keptEscapes.erase(m_keptEscapes.begin() + escape, m_keptEscapes.end());
    m_state = k.before;
    m_sink.truncate(m_state.written);
    m_unencodable.resize(m_state.reported);
    m_last = k.lastBefore;
    m_held = -1;
    m_reportUntil = k.textEnd;
}

// Writes a character; false when that sent the encoder back to an earlier
// place. Characters it cannot write where they stand are reported (as
// `typed`, where c is its look-alike), unless !reportOnFailure (the ASCII of
// a character reference, which always fits).
bool Encoder::writeChar(char16_t c, bool reportOnFailure, char16_t typed)
{
    State &s = m_state;
    const qsizetype start = m_sink.size();
    const qsizetype index = s.textIndex;
    if (canWrite(s.set, c)) {
        const std::uint16_t code = codeIn(s.set, c);
        putCode(s.set, code);
        bool fits = pendingHold();
        if (!fits && s.set == Set::Jis0208) {
            // Another code of the same character may leave the kept byte alone.
            const auto &dups = jis::tables().duplicates0208;
            auto it = std::lower_bound(dups.begin(), dups.end(), std::pair<char16_t, std::uint16_t>(c, 0));
            for (; !fits && it != dups.end() && it->first == c; ++it) {
                m_sink.truncate(start);
                putCode(s.set, it->second);
                fits = pendingHold();
            }
        }
        if (!fits && reportOnFailure) {
            m_sink.truncate(start);
            return report(1, typed ? typed : c);
        }
        settle();
        if (m_last >= 0) {
            const int last = m_last;
            const KeptEscape &k = m_keptEscapes[std::size_t(last)];
            m_last = -1;
            if (k.escape->usual && k.escape->set != k.before.set && !canWrite(k.before.set, c)
                && setFor(c) == k.escape->set) {
                if (k.escape->set == Set::Ascii) {
                    goBack(last);
                    return false;
                }
                m_held = last;
            }
        }
        s.textIndex = index + 1;
        return true;
    }
    const std::optional<Set> set = setFor(c);
    if (!set)
        return report(1, typed ? typed : c);
    if (!beforeEscape())
        return false;
    putEscape(usualEscape(*set)); // an ESC ends every pending reading as kept
    s.pendingCount = 0;
    m_last = -1;
    s.set = *set;
    s.ownSwitch = true;
    putCode(s.set, codeIn(s.set, c));
    s.textIndex = index + 1;
    return true;
}

bool Encoder::writeKept(unsigned char b)
{
    State &s = m_state;
    const qsizetype start = m_sink.size();
    // A kept byte reads back as kept only where the set cannot read it.
    bool alone = b >= 0x80 || b == kEsc;
    if (!alone) {
        int length = 0;
        alone = s.set == Set::Kana ? charAt(s.set, &b, &b + 1, &length) < 0 : isDoubleByte(s.set);
    }
    if (!alone)
        return report(1, char16_t(kKeptBase + b));
    m_sink.put(b);
    if (!pendingHold()) {
        m_sink.truncate(start);
        return report(1, char16_t(kKeptBase + b));
    }
    settle();
    // At most a kept ESC and the byte after it are open at once.
    if ((b == kEsc || (isDoubleByte(s.set) && jis::isJisByte(b))) && s.pendingCount < int(s.pending.size()))
        s.pending[s.pendingCount++] = {start, s.set, b == kEsc};
    m_last = -1;
    ++s.textIndex;
    return true;
}

bool Encoder::writeKeptEscape(const Escape &e, qsizetype length)
{
    if (!beforeEscape())
        return false;
    State &s = m_state;
    KeptEscape k{s, s.textIndex + length, &e, m_last};
    k.before.written = m_sink.size();
    k.before.reported = m_unencodable.size();
    m_keptEscapes.push_back(k);
    m_last = int(m_keptEscapes.size()) - 1;
    putEscape(e);
    s.pendingCount = 0;
    s.set = e.set;
    s.ownSwitch = false;
    s.textIndex += length;
    return true;
}

bool Encoder::report(qsizetype units, char32_t codePoint)
{
    State &s = m_state;
    const qsizetype index = s.textIndex;
    m_unencodable.push_back(s.lines.locate(index, codePoint));
    if (m_policy == UnencodablePolicy::CharacterReference) {
        m_sink.reserveExtra(24, 0);
        for (char ch : codec::characterReference(codePoint))
            if (!writeChar(char16_t(ch), false))
                return false;
    }
    s.textIndex = index + units;
    return true;
}

EncodeResult Encoder::run()
{
    const qsizetype n = m_text.size();
    const char16_t *text = reinterpret_cast<const char16_t *>(m_text.data());
    State &s = m_state;
    for (;;) {
        while (s.textIndex < n) {
            // Keep the reserve for the rest of the text: at most eight bytes a unit.
            m_sink.reserveExtra(0, (n - s.textIndex) * 8 + 4);
            const qsizetype i = s.textIndex;
            const char16_t c = text[i];
            if (i < m_reportUntil) {
                report(1, c);
                continue;
            }
            if (s.set == Set::Ascii && c < 0x80 && c != kEsc && s.pendingCount == 0 && m_last < 0) {
                const qsizetype run = codec::narrowAscii<kEsc>(text + i, n - i, m_sink.out());
                m_sink.out() += run;
                s.textIndex += run;
                continue;
            }
            if (isKept(c)) {
                const unsigned char b = keptByte(c);
                if (b == kEsc) {
                    unsigned char seen[4];
                    qsizetype k = 0;
                    for (; k < 4 && i + k < n && isKept(text[i + k]); ++k)
                        seen[k] = keptByte(text[i + k]);
                    // One that is always read cannot stay kept: its bytes are
                    // reported as they come.
                    if (const Escape *e = escapeAt(seen, seen + k); e && !e->alwaysRead) {
                        writeKeptEscape(*e, e->length);
                        continue;
                    }
                }
                writeKept(b);
                continue;
            }
            qsizetype units = 1;
            const char32_t cp = codec::codePointAt(m_text, i, &units);
            if (units == 2 || QChar::isSurrogate(c))
                report(units, cp);
            else
                writeChar(jis::lookAlike(c), true, c);
        }
        // A kept ESC ( B at the very end, after the encoder's own switch,
        // would read as the encoder's closing escape.
        if (m_last >= 0) {
            const KeptEscape &k = m_keptEscapes[std::size_t(m_last)];
            if (k.escape->usual && k.escape->set == Set::Ascii && k.before.set != Set::Ascii && k.before.ownSwitch) {
                goBack(m_last);
                continue;
            }
        }
        if (s.set != Set::Ascii && s.ownSwitch) {
            if (!beforeEscape())
                continue;
            putEscape(usualEscape(Set::Ascii));
        }
        break;
    }
    EncodeResult result;
    result.bytes = m_sink.take();
    result.unencodable = std::move(m_unencodable);
    return result;
}

} // namespace

DecodedText decode(QByteArrayView bytes)
{
    DecodedText result;
    result.text = QString(bytes.size(), Qt::Uninitialized);
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

EncodeResult encode(QStringView text, UnencodablePolicy policy)
{
    return Encoder(text, policy).run();
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
