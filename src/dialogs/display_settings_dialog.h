#pragma once

#include "dialogs/fixed_dialog.h"
#include "platform/standard_dialogs.h"

#include <QFont>
#include <QList>

class QLabel;
class QPlainTextEdit;

namespace holvane {

// "option": the font, font size, text colour and background colour of the
// panes, chosen against a sample. Made once and only hidden afterwards, so
// the choices wait for the next opening; OK applies them to every pane.
class Form3 : public FixedDialog {
    Q_OBJECT
public:
    Form3(DialogBackend &dialogs, QList<QPlainTextEdit *> panes, QWidget *parent = nullptr);

    void fontc_Click();
    void backc_Click();
    void fonto_Click();
    void fontsizer_Click(int index); // 0 "small", 1 "big"
    void Oka_Click();
    void Cancela_Click() { reject(); }

    // Bounds of "small" and "big"; a step past them is ignored.
    static constexpr double kMinimumSize = 6;
    static constexpr double kMaximumSize = 72;

private:
    void showSample();

    CommonDialog CD2;
    QList<QPlainTextEdit *> m_panes;
    QWidget *m_colorbox = nullptr;
    QLabel *m_viewfont = nullptr;
    QLabel *m_sizeviewer = nullptr;
    ColorValue m_foreColor = ColorValue::system(QPalette::Text);
    ColorValue m_backColor = ColorValue::system(QPalette::Base);
    QFont m_font;
};

// A palette that sets only the explicitly chosen colours, so that colours
// left to the desktop keep following it.
QPalette paneColors(const ColorValue &text, const ColorValue &background);

} // namespace holvane
