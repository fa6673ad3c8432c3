#include "platform/standard_dialogs.h"

#include <QStringList>

namespace holvane {

StandardDialogs::StandardDialogs(DialogBackend &backend, const QString &filter)
    : filter(filter), m_backend(backend)
{
}

QString StandardDialogs::qtFilter(const QString &filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        patterns.replace(QLatin1String("*.*"), QLatin1String("*"));
        entries << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
    }
    return entries.join(QLatin1String(";;"));
}

bool StandardDialogs::askOpenPath(QWidget *parent)
{
    const auto chosen = m_backend.openFileName(parent, path, qtFilter(filter));
    if (!chosen)
        return false;
    path = *chosen;
    return true;
}

bool StandardDialogs::askSavePath(QWidget *parent)
{
    const auto chosen = m_backend.saveFileName(parent, path, qtFilter(filter));
    if (!chosen)
        return false;
    path = *chosen;
    return true;
}

bool StandardDialogs::askColor(QWidget *parent, const QColor &current)
{
    const auto chosen = m_backend.color(parent, color.value_or(current));
    if (!chosen)
        return false;
    color = *chosen;
    return true;
}

bool StandardDialogs::askFont(QWidget *parent)
{
    QFont current(fontFamily);
    current.setPointSizeF(fontSize);
    const auto chosen = m_backend.font(parent, current);
    if (!chosen)
        return false;
    fontFamily = chosen->family();
    if (chosen->pointSizeF() > 0)
        fontSize = chosen->pointSizeF();
    return true;
}

} // namespace holvane
