#pragma once

#include "dialogs/fixed_dialog.h"

class QPushButton;

namespace holvane {

// "caution": asks before New empties the document. Accepted means OK.
class NewDocumentDialog : public FixedDialog {
    Q_OBJECT
public:
    explicit NewDocumentDialog(QWidget *parent = nullptr);

};

} // namespace holvane
