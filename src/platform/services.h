#pragma once

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QString>

#include <optional>

class QWidget;

namespace holvane {

// The platform services the editor uses, behind interfaces of its own so
// that tests can put fakes in their place: no test opens a real dialog,
// touches the desktop's clipboard, waits on the clock or beeps.

class DialogBackend {
public:
    virtual ~DialogBackend() = default;
    // Each returns nothing when the user cancels.
    virtual std::optional<QString> openFileName(QWidget *parent, const QString &current, const QString &filter) = 0;
    virtual std::optional<QString> saveFileName(QWidget *parent, const QString &current, const QString &filter) = 0;
    virtual std::optional<QColor> color(QWidget *parent, const QColor &current) = 0;
    virtual std::optional<QFont> font(QWidget *parent, const QFont &current) = 0;
};

class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual void setText(const QString &text) = 0;
    virtual QString text() const = 0; // empty when the clipboard holds no text
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0; // local time
};

class Beeper {
public:
    virtual ~Beeper() = default;
    virtual void beep() = 0;
};

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual void information(QWidget *parent, const QString &text) = 0;
    virtual void error(QWidget *parent, const QString &text) = 0;
    // A question whose safe answer, the default, is no.
    virtual bool confirm(QWidget *parent, const QString &text, const QString &yesLabel, const QString &noLabel) = 0;
};

struct Services {
    DialogBackend &dialogs;
    Clipboard &clipboard;
    Clock &clock;
    Beeper &beeper;
    MessageBoxes &messages;
};

} // namespace holvane
