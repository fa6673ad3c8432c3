#pragma once

#include <QDateTime>
#include <QString>

#include <cstddef>
#include <vector>

class QWidget;

namespace holvane {

// A document whose unsaved text a program left behind when it ended.
struct RecoveryOffer {
    QString path; // empty: the document had no name
    QDateTime written;
    QString firstLine;
};

enum class RecoveryChoice {
    Restore, // the one at `index`; the others stay for later
    Discard, // all of them
    Keep,    // all of them, to be offered again at the next start
};

struct RecoveryAnswer {
    RecoveryChoice choice = RecoveryChoice::Keep;
    std::size_t index = 0;
};

// The question at start-up, behind an interface of its own so that tests
// answer it without a dialog. Closing it without an answer keeps them all.
class RecoveryQuestion {
public:
    virtual ~RecoveryQuestion() = default;
    virtual RecoveryAnswer ask(QWidget *parent, const std::vector<RecoveryOffer> &offers) = 0;
};

} // namespace holvane
