#pragma once

// The JIS X 0208 and JIS X 0212 character sets that EUC-JP and ISO-2022-JP
// are written in. Internal to src/documents.
//
// JIS X 0208 is read the way browsers and Windows read it: the double-byte
// codes of code page 932 under JIS numbering, so with NEC's row 13 (①, ㈱),
// the NEC-selected IBM extensions in rows 89-92, and Microsoft's code points
// (～ is U+FF5E). JIS X 0212 comes from glibc (tools/gen_jis0212_table.cpp).
#include <QtGlobal>

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace holvane::jis {

// A JIS code is the two 7-bit bytes, each 0x21..0x7E, as one number.
constexpr bool isJisByte(unsigned b) { return b >= 0x21 && b <= 0x7E; }
constexpr bool isHalfWidthKatakana(char16_t c) { return c >= 0xFF61 && c <= 0xFF9F; }
// Rows 89-92 hold the NEC-selected IBM extensions, which most JIS tools lack.
constexpr bool isIbmRow(std::uint16_t code) { return (code >> 8) >= 0x21 + 88 && (code >> 8) <= 0x21 + 91; }

struct Tables {
    // The character of each code, indexed by the two bytes less 0x21; 0 where none.
    std::array<std::array<char16_t, 94>, 94> decode0208{};
    std::array<std::array<char16_t, 94>, 94> decode0212{};
    // The code of each character, 0 where none. In JIS X 0208 the lowest of
    // several codes; the JIS forms that Linux input methods type for ～ ‖ －
    // ￠ ￡ ￢ ― get the code of their look-alike, as in code page 932.
    std::array<std::uint16_t, 0x10000> encode0208{};
    std::array<std::uint16_t, 0x10000> encode0212{};
    // Every JIS X 0208 code of the characters that have more than one.
    std::vector<std::pair<char16_t, std::uint16_t>> duplicates0208;

    char16_t at0208(unsigned first, unsigned second) const
    {
        return isJisByte(first) && isJisByte(second) ? decode0208[first - 0x21][second - 0x21] : 0;
    }
    char16_t at0212(unsigned first, unsigned second) const
    {
        return isJisByte(first) && isJisByte(second) ? decode0212[first - 0x21][second - 0x21] : 0;
    }
};

const Tables &tables();

// The character a JIS form typed on Linux is written as (U+301C gives U+FF5E),
// or the character itself.
char16_t lookAlike(char16_t ch);

} // namespace holvane::jis
