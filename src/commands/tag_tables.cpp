#include "commands/tag_tables.h"

namespace holvane {

std::optional<QString> textBetweenFirstTags(QStringView selection)
{
    if (selection.isEmpty() || selection.front() != u'<' || selection.back() != u'>')
        return std::nullopt;
    // The first ">" exists: the selection ends with one.
    const qsizetype tagEnd = selection.indexOf(u'>');
    const QStringView rest = selection.sliced(tagEnd + 1);
    const qsizetype nextTag = rest.indexOf(u'<');
    return (nextTag < 0 ? rest : rest.first(nextTag)).toString();
}

} // namespace holvane
