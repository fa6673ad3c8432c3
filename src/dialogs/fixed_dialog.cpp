#include "dialogs/fixed_dialog.h"

#include "platform/twips.h"

#include <QKeyEvent>
#include <QScreen>

namespace holvane {

FixedDialog::FixedDialog(const QString &name, const QString &caption, int widthTwips, int heightTwips,
                         QWidget *parent, Qt::WindowFlags extraFlags)
    : QDialog(parent, (extraFlags & Qt::FramelessWindowHint)
                          ? Qt::Dialog | Qt::FramelessWindowHint
                          : Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                                | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | extraFlags)
{
    setObjectName(name);
    setWindowTitle(caption);
    setModal(true);
    setFixedSize(dialogTwips(widthTwips, this), dialogTwips(heightTwips, this));
}

void FixedDialog::place(QWidget *control, int left, int top, int width, int height) const
{
    control->setGeometry(dialogRect(left, top, width, height, this));
}

void FixedDialog::placeFitting(QWidget *control, int left, int top) const
{
    control->adjustSize();
    control->move(dialogTwips(left, this), dialogTwips(top, this));
}

void FixedDialog::keepRightOf(QWidget *control, const QWidget *label)
{
    const int minimumX = label->geometry().right() + 4;
    if (control->x() < minimumX)
        control->move(minimumX, control->y());
}

void FixedDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (const QScreen *s = screen())
        move(s->availableGeometry().center() - rect().center());
}

void FixedDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace holvane
