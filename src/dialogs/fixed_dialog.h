#pragma once

#include <QDialog>

namespace holvane {

// A small modal dialog with a frame that cannot be resized, no minimise or
// maximise buttons, laid out in twips and opened centred on the screen.
class FixedDialog : public QDialog {
    Q_OBJECT
public:
    FixedDialog(const QString &name, const QString &caption, int widthTwips, int heightTwips, QWidget *parent,
                Qt::WindowFlags extraFlags = {});

protected:
    void place(QWidget *control, int left, int top, int width, int height) const;
    // For a label sized to fit its text.
    void placeFitting(QWidget *control, int left, int top) const;
    // Where the font is wider than designed, a control that stands after a
    // label sized to fit its text is moved right so that the two do not overlap.
    static void keepRightOf(QWidget *control, const QWidget *label);
    void showEvent(QShowEvent *event) override;
    // These dialogs have no cancel key: Escape does nothing.
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace holvane
