#include "documents/iso2022jp_codec.h"

#include "documents/codec_support.h"
#include "documents/iso2022jp_sets.h"
#include "documents/jis_tables.h"

#include <algorithm>
#include <array>
#include <vector>

namespace holvane::iso2022jp {
namespace {

using codec::isKept;
using codec::keptByte;
using codec::kKeptBase;

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
                s.textIndex += m_sink.putAscii<kEsc>(text + i, n - i);
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

EncodeResult encode(QStringView text, UnencodablePolicy policy)
{
    return Encoder(text, policy).run();
}

} // namespace holvane::iso2022jp
