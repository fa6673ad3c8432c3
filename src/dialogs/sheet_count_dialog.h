#pragma once

#include "dialogs/fixed_dialog.h"

namespace holvane {

// "枚数確認": how many sheets of 400-character manuscript paper a text fills.
class SheetCountDialog : public FixedDialog {
    Q_OBJECT
public:
    SheetCountDialog(const QString &text, QWidget *parent = nullptr);

};

} // namespace holvane
