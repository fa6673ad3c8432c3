#include "commands/clock_text.h"

namespace holvane {

QString dateText(QDate date)
{
    return QStringLiteral("%1/%2").arg(date.month()).arg(date.day());
}

QString timeText(QTime time, const QLocale &locale)
{
    // The locale's long form carries a time zone, and the short form has no
    // seconds in most locales, so the seconds are added to the short form.
    QString format = locale.timeFormat(QLocale::ShortFormat);
    if (!format.contains(u's')) {
        const qsizetype minutes = format.indexOf(QLatin1String("mm"));
        if (minutes >= 0)
            format.insert(minutes + 2, QLatin1String(":ss"));
        else
            format = QStringLiteral("H:mm:ss");
    }
    return locale.toString(time, format);
}

} // namespace holvane
