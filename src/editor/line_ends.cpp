#include "editor/line_ends.h"

namespace holvane {
namespace {

bool isSeparator(char16_t c)
{
    return c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

} // namespace

QString withOwnLineEnds(QStringView text)
{
    QString result;
    result.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') {
            result += u"\r\n";
            ++i;
        } else if (c == u'\n' || c == u'\r' || isSeparator(c)) {
            result += u"\r\n";
        } else {
            result += QChar(c);
        }
    }
    return result;
}

QString withSeparatorsAsLineEnds(QStringView text)
{
    if (!hasSeparator(text))
        return text.toString();
    QString result;
    result.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (isSeparator(c.unicode()))
            result += u"\r\n";
        else
            result += c;
    }
    return result;
}

} // namespace holvane
