#pragma once

#include "dialogs/fixed_dialog.h"

namespace holvane {

// The about box: name, version and maker beside the program's icon. It
// closes at a click anywhere on it or at Enter, and at no other key.
class AboutDialog : public FixedDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget *parent = nullptr);

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace holvane
