#pragma once

// What the ISO-2022-JP decoder and encoder share: the character sets, the
// escapes that switch between them, and which escape the encoder writes
// where. Internal to src/documents.
#include <cstdint>
#include <optional>

namespace holvane::iso2022jp {

inline constexpr unsigned char kEsc = 0x1B;

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
inline constexpr Escape kEscapes[] = {
    {"\x1B(B", 3, Set::Ascii, true, false},    {"\x1B(J", 3, Set::Roman, true, true},
    {"\x1B(I", 3, Set::Kana, true, false},     {"\x1B$B", 3, Set::Jis0208, true, false},
    {"\x1B$@", 3, Set::Jis0208, false, true},  {"\x1B$(D", 4, Set::Jis0212, false, false},
};

// The escape the encoder writes to switch to a set.
const Escape &usualEscape(Set set);

// The escape sequence at p; `partial` when the bytes up to `end` are the
// start of one.
const Escape *escapeAt(const unsigned char *p, const unsigned char *end, bool *partial = nullptr);

// The character at p in a set and its length in bytes, or -1.
int charAt(Set set, const unsigned char *p, const unsigned char *end, int *length);

// Whether the encoder writes a character in a set, the set it switches to for
// one that the current set cannot write, and the bytes of it there.
bool canWrite(Set set, char16_t c);
std::optional<Set> setFor(char16_t c);
std::uint16_t codeIn(Set set, char16_t c);

constexpr bool isDoubleByte(Set set) { return set == Set::Jis0208 || set == Set::Jis0212; }

// Whether the encoder would have written escape `e`, found where the text is
// in set `from`, before the bytes at `next`: then it vanishes into the text.
bool encoderWouldWrite(const Escape &e, Set from, bool ownSwitch, const unsigned char *next, const unsigned char *end);

} // namespace holvane::iso2022jp
