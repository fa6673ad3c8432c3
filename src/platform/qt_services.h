#pragma once

#include "platform/services.h"

namespace holvane {

// The real platform: Qt's dialogs, the desktop's clipboard and clock.
class QtDialogBackend final : public DialogBackend {
public:
    std::optional<QString> openFileName(QWidget *parent, const QString &current, const QString &filter) override;
    std::optional<QString> saveFileName(QWidget *parent, const QString &current, const QString &filter) override;
    std::optional<QColor> color(QWidget *parent, const QColor &current) override;
    std::optional<QFont> font(QWidget *parent, const QFont &current) override;
};

class QtClipboard final : public Clipboard {
public:
    void setText(const QString &text) override;
    QString text() const override;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override;
};

class QtBeeper final : public Beeper {
public:
    void beep() override;
};

class QtMessageBoxes final : public MessageBoxes {
public:
    void information(QWidget *parent, const QString &text) override;
    void error(QWidget *parent, const QString &text) override;
    bool confirm(QWidget *parent, const QString &text, const QString &yesLabel, const QString &noLabel) override;
};

} // namespace holvane
