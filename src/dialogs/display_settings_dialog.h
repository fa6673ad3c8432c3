#pragma once

#include "dialogs/fixed_dialog.h"
#include "platform/standard_dialogs.h"

#include <QFont>
#include <QList>

class QLabel;

namespace holvane {

// "option": the font, font size, text colour and background colour of the
// panes, chosen against a sample. Made once and only hidden afterwards, so
// the choices wait for the next opening; OK applies them to every pane.
class DisplaySettingsDialog : public FixedDialog {
    Q_OBJECT
public:
    DisplaySettingsDialog(DialogBackend &dialogs, QList<QWidget *> panes, QWidget *parent = nullptr);

    void chooseTextColor();
    void chooseBackgroundColor();
    void chooseFont();
    enum class Step { Smaller, Bigger };
    void stepFontSize(Step step);
    void applyToPanes(); // OK

    // Bounds of "small" and "big"; a step past them is ignored.
    static constexpr double kMinimumSize = 6;
    static constexpr double kMaximumSize = 72;

private:
    void showSample();

    StandardDialogs m_pickers;
    QList<QWidget *> m_panes;
    QWidget *m_sampleBox = nullptr;
    QLabel *m_sampleText = nullptr;
    QLabel *m_fontSizeLabel = nullptr;
    ColorValue m_foreColor = ColorValue::system(QPalette::Text);
    ColorValue m_backColor = ColorValue::system(QPalette::Base);
    QFont m_font;
};

// A palette that sets only the explicitly chosen colours, so that colours
// left to the desktop keep following it.
QPalette paneColors(const ColorValue &text, const ColorValue &background);

} // namespace holvane
