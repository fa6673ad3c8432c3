#pragma once

// A start-up question that answers as told and remembers what it offered,
// and what tests need to look into a recovery folder.
#include "documents/recovery_format.h"
#include "platform/recovery_question.h"

#include <QDir>
#include <QFile>

#include <deque>
#include <vector>

namespace holvane::testing {

class FakeRecoveryQuestion final : public RecoveryQuestion {
public:
    std::deque<RecoveryAnswer> answers; // none left: keep them all
    std::vector<std::vector<RecoveryOffer>> asked;

    RecoveryAnswer ask(QWidget *, const std::vector<RecoveryOffer> &offers) override
    {
        asked.push_back(offers);
        if (answers.empty())
            return {};
        const RecoveryAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

struct RecoveryFile {
    QString name;
    RecoveryRecord record;
};

// The recovery files of a folder as they are now, whoever they belong to.
inline std::vector<RecoveryFile> recoveryFiles(const QString &folder)
{
    std::vector<RecoveryFile> files;
    const QStringList names = QDir(folder).entryList({QStringLiteral("*.recovery")}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        QFile file(QDir(folder).filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            qFatal("cannot read %s", qPrintable(name));
        const ParsedRecovery parsed = parseRecovery(file.readAll());
        if (!parsed.record)
            qFatal("%s is not a whole recovery file", qPrintable(name));
        files.push_back({name, *parsed.record});
    }
    return files;
}

} // namespace holvane::testing
