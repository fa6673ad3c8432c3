#pragma once

#include <QLocale>
#include <QString>
#include <QStringView>

namespace holvane {

// The one form in which numbers are shown: no sign or blank before a positive
// value, no thousands separators, the locale's decimal separator, no trailing
// zeros, and no decimal separator at all for a whole number (12, 2.5, 1000).
QString numberText(double value, const QLocale &locale = QLocale());

} // namespace holvane

namespace holvane {

// Sheets of 400-character manuscript paper: the character count over 400,
// neither rounded nor truncated. A line end counts as the characters it is
// stored as (CR LF is two); a character outside the BMP counts one.
double manuscriptSheets(QStringView text);

} // namespace holvane
