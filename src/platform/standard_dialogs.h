#pragma once

#include "platform/services.h"

#include <QColor>
#include <QPalette>
#include <QString>

#include <optional>

class QWidget;

namespace holvane {

// A colour of the display settings: either one the user chose, or a
// reference to one of the desktop's colours, which follows a theme change.
struct ColorValue {
    std::optional<QColor> rgb;
    QPalette::ColorRole role = QPalette::Text;

    static ColorValue system(QPalette::ColorRole role) { return {std::nullopt, role}; }
    static ColorValue chosen(const QColor &color) { return {color, QPalette::NoRole}; }
    QColor resolve(const QPalette &palette) const { return rgb ? *rgb : palette.color(role); }
    bool operator==(const ColorValue &) const = default;
};

// The platform's standard dialogs: the file, colour and font dialogs with the
// values they leave behind. A dialog that the user cancels leaves every
// value as it was and returns false.
class StandardDialogs {
public:
    StandardDialogs(DialogBackend &backend, const QString &filter);

    bool askOpenPath(QWidget *parent);
    bool askSavePath(QWidget *parent);
    // `current` is what the colour dialog opens on before any colour was chosen.
    bool askColor(QWidget *parent, const QColor &current);
    bool askFont(QWidget *parent);

    QString path;
    QString filter; // label|pattern;pattern|label|pattern...
    std::optional<QColor> color;
    QString fontFamily;
    double fontSize = 12;

    // The filter in the form Qt's file dialogs take.
    static QString qtFilter(const QString &filter);

private:
    DialogBackend &m_backend;
};

} // namespace holvane
