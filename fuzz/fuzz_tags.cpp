// Taking tags off (tag_tables.h), for any text and selection: an answer
// exactly when the selection begins with "<" and ends with ">"; then the
// selection is its first tag (which ends at its first ">"), the answer, and
// either nothing more or the next tag's "<"; the answer has no "<".
#include "commands/tag_tables.h"
#include "fuzz.h"

#include <vector>

using namespace holvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const char16_t kCharacters[] = u"<>/ aB\"=\r\nあ漢\xDC82";
    fuzz::Input in{data, size};
    const size_t start = in.byte();
    const size_t length = in.byte();
    std::vector<char16_t> text;
    while (!in.empty())
        text.push_back(kCharacters[in.byte() % (std::size(kCharacters) - 1)]);
    // The selection in a buffer of its own, so that reading past it is caught.
    const size_t from = std::min(start, text.size());
    const std::vector<char16_t> selected(text.begin() + from, text.begin() + std::min(from + length, text.size()));
    const QStringView selection(selected.data(), qsizetype(selected.size()));

    const std::optional<QString> between = textBetweenFirstTags(selection);
    const bool tagged = !selection.isEmpty() && selection.front() == u'<' && selection.back() == u'>';
    FUZZ_CHECK(between.has_value() == tagged, selection.toString());
    if (!between)
        return 0;
    const qsizetype firstTagEnd = selection.indexOf(u'>') + 1;
    const QStringView after = selection.sliced(firstTagEnd);
    FUZZ_CHECK(after.startsWith(*between) && !between->contains(u'<'), selection.toString());
    const QStringView rest = after.sliced(between->size());
    FUZZ_CHECK(rest.isEmpty() || rest.front() == u'<', selection.toString());
    return 0;
}
