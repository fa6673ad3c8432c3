#include "dialogs/number_text.h"

namespace holvane {

QString numberText(double value, const QLocale &locale)
{
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(value, 'f', QLocale::FloatingPointShortest);
}

} // namespace holvane

namespace holvane {

double manuscriptSheets(QStringView text)
{
    constexpr double kCharactersPerSheet = 400.0;
    qsizetype characters = text.size();
    for (qsizetype i = 1; i < text.size(); ++i)
        if (text[i].isLowSurrogate() && text[i - 1].isHighSurrogate())
            --characters;
    return double(characters) / kCharactersPerSheet;
}

} // namespace holvane
