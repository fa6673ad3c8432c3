#include "platform/standard_dialogs.h"

#include <QStringList>

namespace holvane {

CommonDialog::CommonDialog(DialogBackend &backend, const QString &filter)
    : Filter(filter), m_backend(backend)
{
}

QString CommonDialog::qtFilter(const QString &filter)
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

bool CommonDialog::ShowOpen(QWidget *parent)
{
    const auto chosen = m_backend.openFileName(parent, FileName, qtFilter(Filter));
    if (!chosen)
        return false;
    FileName = *chosen;
    return true;
}

bool CommonDialog::ShowSave(QWidget *parent)
{
    const auto chosen = m_backend.saveFileName(parent, FileName, qtFilter(Filter));
    if (!chosen)
        return false;
    FileName = *chosen;
    return true;
}

bool CommonDialog::ShowColor(QWidget *parent, const QColor &current)
{
    const auto chosen = m_backend.color(parent, Color.value_or(current));
    if (!chosen)
        return false;
    Color = *chosen;
    return true;
}

bool CommonDialog::ShowFont(QWidget *parent)
{
    QFont current(FontName);
    current.setPointSizeF(FontSize);
    const auto chosen = m_backend.font(parent, current);
    if (!chosen)
        return false;
    FontName = chosen->family();
    if (chosen->pointSizeF() > 0)
        FontSize = chosen->pointSizeF();
    return true;
}

} // namespace holvane
