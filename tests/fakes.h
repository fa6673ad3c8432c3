#pragma once

// Fakes of the platform services: scripted dialogs, an in-memory clipboard,
// a clock that tells the time it is told, a beep that is counted and message
// boxes that answer as told and remember what they were shown.
#include "platform/services.h"

#include <QStringList>

#include <deque>

namespace holvane::testing {

class FakeDialogs final : public DialogBackend {
public:
    std::deque<std::optional<QString>> fileAnswers; // nullopt: the user cancels
    std::deque<std::optional<QColor>> colorAnswers;
    std::deque<std::optional<QFont>> fontAnswers;
    QStringList fileDialogsShown; // "open" or "save", with the name they opened on
    QList<QColor> colorsOfferedFirst;

    std::optional<QString> openFileName(QWidget *, const QString &current, const QString &) override
    {
        fileDialogsShown << QStringLiteral("open:") + current;
        return next(fileAnswers);
    }
    std::optional<QString> saveFileName(QWidget *, const QString &current, const QString &) override
    {
        fileDialogsShown << QStringLiteral("save:") + current;
        return next(fileAnswers);
    }
    std::optional<QColor> color(QWidget *, const QColor &current) override
    {
        colorsOfferedFirst << current;
        return next(colorAnswers);
    }
    std::optional<QFont> font(QWidget *, const QFont &) override { return next(fontAnswers); }

private:
    template <class T> static std::optional<T> next(std::deque<std::optional<T>> &answers)
    {
        std::optional<T> answer;
        if (!answers.empty()) {
            answer.swap(answers.front());
            answers.pop_front();
        }
        return answer;
    }
};

class FakeClipboard final : public Clipboard {
public:
    QString content;
    void setText(const QString &text) override { content = text; }
    QString text() const override { return content; }
};

class FakeClock final : public Clock {
public:
    QDateTime time = QDateTime(QDate(2026, 12, 6), QTime(21, 5, 3));
    QDateTime now() const override { return time; }
};

class FakeBeeper final : public Beeper {
public:
    int beeps = 0;
    void beep() override { ++beeps; }
};

class FakeMessages final : public MessageBoxes {
public:
    QStringList shown;
    bool confirmAnswer = false;
    void information(QWidget *, const QString &text) override { shown << QStringLiteral("info:") + text; }
    void error(QWidget *, const QString &text) override { shown << QStringLiteral("error:") + text; }
    bool confirm(QWidget *, const QString &text, const QString &, const QString &) override
    {
        shown << QStringLiteral("confirm:") + text;
        return confirmAnswer;
    }
};

struct FakeServices {
    FakeDialogs dialogs;
    FakeClipboard clipboard;
    FakeClock clock;
    FakeBeeper beeper;
    FakeMessages messages;
    Services services() { return {dialogs, clipboard, clock, beeper, messages}; }
};

} // namespace holvane::testing
