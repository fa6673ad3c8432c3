#include "documents/jis_tables.h"

#include "documents/cp932_codec.h"

#include <algorithm>

namespace holvane::jis {
namespace {

#include "documents/jis0212_table.inc"

// The code page 932 code of JIS X 0208 row and cell (both from 1).
std::pair<unsigned, unsigned> shiftJis(unsigned row, unsigned cell)
{
    const unsigned lead = (row + 1) / 2 + (row <= 62 ? 0x80 : 0xC0);
    const unsigned trail = row % 2 ? cell + 0x3F + (cell >= 64 ? 1 : 0) : cell + 0x9E;
    return {lead, trail};
}

constexpr std::pair<char16_t, char16_t> kLookAlikes[] = {
    {0x301C, 0xFF5E}, {0x2016, 0x2225}, {0x2212, 0xFF0D}, {0x00A2, 0xFFE0},
    {0x00A3, 0xFFE1}, {0x00AC, 0xFFE2}, {0x2014, 0x2015},
};

Tables build()
{
    Tables t;
    std::vector<std::pair<char16_t, std::uint16_t>> all;
    for (unsigned row = 1; row <= 94; ++row) {
        for (unsigned cell = 1; cell <= 94; ++cell) {
            const auto [lead, trail] = shiftJis(row, cell);
            const char16_t u = cp932::decodePair(lead, trail);
            const auto code = std::uint16_t((row + 0x20) << 8 | (cell + 0x20));
            t.decode0208[row - 1][cell - 1] = u;
            if (u == 0)
                continue;
            all.emplace_back(u, code);
            if (t.encode0208[u] == 0) // rows and cells go up, so the first is the lowest
                t.encode0208[u] = code;
        }
    }
    std::sort(all.begin(), all.end());
    for (std::size_t i = 0; i < all.size(); ++i)
        if ((i > 0 && all[i - 1].first == all[i].first) || (i + 1 < all.size() && all[i + 1].first == all[i].first))
            t.duplicates0208.push_back(all[i]);
    for (unsigned first = 0; first < 94; ++first) {
        for (unsigned second = 0; second < 94; ++second) {
            const char16_t u = kJis0212Table[first][second];
            t.decode0212[first][second] = u;
            if (u != 0 && t.encode0212[u] == 0)
                t.encode0212[u] = std::uint16_t((first + 0x21) << 8 | (second + 0x21));
        }
    }
    for (const auto &[from, to] : kLookAlikes)
        t.encode0208[from] = t.encode0208[to];
    return t;
}

} // namespace

const Tables &tables()
{
    static const Tables t = build();
    return t;
}

char16_t lookAlike(char16_t ch)
{
    for (const auto &[from, to] : kLookAlikes)
        if (ch == from)
            return to;
    return ch;
}

} // namespace holvane::jis
