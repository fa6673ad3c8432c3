#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

namespace holvane {

// Month "/" day, without leading zeros and without a year: 12/6, 1/5.
QString dateText(QDate date);

// The time of day with hours, minutes and seconds in the locale's own form
// (9:05:03 or 21:05:03 in Japan, 9:05:03 PM in the US), and nothing else: no
// date and no time zone.
QString timeText(QTime time, const QLocale &locale);

} // namespace holvane
