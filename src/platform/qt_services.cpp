#include "platform/qt_services.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>
#include <QPushButton>

namespace holvane {

std::optional<QString> QtDialogBackend::openFileName(QWidget *parent, const QString &current, const QString &filter)
{
    const QString name = QFileDialog::getOpenFileName(parent, QString(), current, filter);
    return name.isEmpty() ? std::nullopt : std::optional(name);
}

std::optional<QString> QtDialogBackend::saveFileName(QWidget *parent, const QString &current, const QString &filter)
{
    const QString name = QFileDialog::getSaveFileName(parent, QString(), current, filter);
    return name.isEmpty() ? std::nullopt : std::optional(name);
}

std::optional<QColor> QtDialogBackend::color(QWidget *parent, const QColor &current)
{
    const QColor chosen = QColorDialog::getColor(current, parent);
    return chosen.isValid() ? std::optional(chosen) : std::nullopt;
}

std::optional<QFont> QtDialogBackend::font(QWidget *parent, const QFont &current)
{
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, current, parent);
    return ok ? std::optional(chosen) : std::nullopt;
}

void QtClipboard::setText(const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
}

QString QtClipboard::text() const
{
    return QGuiApplication::clipboard()->text();
}

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

void QtBeeper::beep()
{
    QApplication::beep();
}

void QtMessageBoxes::information(QWidget *parent, const QString &text)
{
    QMessageBox::information(parent, QStringLiteral("holvane"), text);
}

void QtMessageBoxes::error(QWidget *parent, const QString &text)
{
    QMessageBox::critical(parent, QStringLiteral("holvane"), text);
}

bool QtMessageBoxes::confirm(QWidget *parent, const QString &text, const QString &yesLabel, const QString &noLabel)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("holvane"), text, QMessageBox::NoButton, parent);
    QPushButton *yes = box.addButton(yesLabel, QMessageBox::AcceptRole);
    QPushButton *no = box.addButton(noLabel, QMessageBox::RejectRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

} // namespace holvane
