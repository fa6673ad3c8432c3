#include "editor/line_ends.h"

namespace holvane {
namespace {

bool isSeparator(char16_t c)
{
    return c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

bool hasSeparator(QStringView text)
{
    return text.contains(QChar(QChar::LineSeparator)) || text.contains(QChar(QChar::ParagraphSeparator));
}

// Whether every line end is CR LF already.
bool onlyCrLf(QStringView text)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
            ++i;
        else if (c == u'\n' || c == u'\r' || isSeparator(c))
            return false;
    }
    return true;
}

} // namespace

QString withOwnLineEnds(const QString &text)
{
    if (onlyCrLf(text))
        return text;
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

QString withSeparatorsAsLineEnds(const QString &text)
{
    if (!hasSeparator(text))
        return text;
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
