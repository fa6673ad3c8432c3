#pragma once

#include "dialogs/fixed_dialog.h"

namespace holvane {

// "枚数確認": how many sheets of 400-character manuscript paper a text fills.
class Form4 : public FixedDialog {
    Q_OBJECT
public:
    Form4(const QString &text, QWidget *parent = nullptr);

    void Okb_Click() { accept(); }
};

} // namespace holvane
