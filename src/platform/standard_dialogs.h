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

// The common dialog component: the file, colour and font dialogs with the
// values they leave behind. A dialog that the user cancels leaves every
// value as it was and returns false.
class CommonDialog {
public:
    CommonDialog(DialogBackend &backend, const QString &filter);

    bool ShowOpen(QWidget *parent);
    bool ShowSave(QWidget *parent);
    // `current` is what the colour dialog opens on before any colour was chosen.
    bool ShowColor(QWidget *parent, const QColor &current);
    bool ShowFont(QWidget *parent);

    QString FileName;
    QString Filter; // label|pattern;pattern|label|pattern...
    std::optional<QColor> Color;
    int Flags = 0;
    QString FontName;
    double FontSize = 12;

    // The filter in the form Qt's file dialogs take.
    static QString qtFilter(const QString &filter);

private:
    DialogBackend &m_backend;
};

} // namespace holvane
