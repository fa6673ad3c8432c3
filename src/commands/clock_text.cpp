#include "commands/clock_text.h"

namespace holvane {

QString dateText(QDate date)
{
    return QStringLiteral("%1/%2").arg(date.month()).arg(date.day());
}

QString timeText(QTime time, const QLocale &locale)
{
    // The locale's long form carries a time zone, and the short form has no
    // seconds in most locales, so the seconds are added to the short form,
    // after the separator it puts between hours and minutes (":" in Japan,
    // "." in Finland).
    QString format = locale.timeFormat(QLocale::ShortFormat);
    if (!format.contains(u's')) {
        const qsizetype minutes = format.indexOf(QLatin1String("mm"));
        if (minutes >= 0) {
            qsizetype hoursEnd = minutes;
            while (hoursEnd > 0 && format[hoursEnd - 1] != u'h' && format[hoursEnd - 1] != u'H')
                --hoursEnd;
            const QString separator = hoursEnd > 0 ? format.mid(hoursEnd, minutes - hoursEnd) : QStringLiteral(":");
            format.insert(minutes + 2, separator + QLatin1String("ss"));
        } else {
            format = QStringLiteral("H:mm:ss");
        }
    }
    return locale.toString(time, format);
}

} // namespace holvane
