#pragma once

#include "dialogs/fixed_dialog.h"
#include "platform/recovery_question.h"

class QTreeWidget;

namespace holvane {

// 文書の復元: at start-up, the documents a program that has ended left
// unsaved, each with its file (or 無題), when it was last written and its
// first line. Restore takes the selected one; Escape and the close button
// keep them all, like 後で.
class RecoveryDialog : public FixedDialog {
    Q_OBJECT
public:
    RecoveryDialog(const std::vector<RecoveryOffer> &offers, QWidget *parent = nullptr);
    RecoveryAnswer answer() const { return m_answer; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void finishWith(RecoveryChoice choice);

    QTreeWidget *m_list = nullptr;
    RecoveryAnswer m_answer;
};

class DialogRecoveryQuestion final : public RecoveryQuestion {
public:
    RecoveryAnswer ask(QWidget *parent, const std::vector<RecoveryOffer> &offers) override;
};

} // namespace holvane
