#pragma once

#include "dialogs/fixed_dialog.h"

class QPushButton;

namespace holvane {

// "caution": asks before New empties the document. Accepted means OK.
class Form2 : public FixedDialog {
    Q_OBJECT
public:
    explicit Form2(QWidget *parent = nullptr);

    void Oks_Click() { accept(); }
    void Cancels_Click() { reject(); }
};

} // namespace holvane
