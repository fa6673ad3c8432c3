#include "dialogs/about_dialog.h"

#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <qdrawutil.h>

namespace holvane {
namespace {

// The box has no title bar, but a fixed dialog frame all the same: a raised
// two-pixel border drawn over everything else, since the picture reaches past
// the box's edges.
class DialogFrame : public QWidget {
public:
    explicit DialogFrame(QWidget *box) : QWidget(box)
    {
        setObjectName(QStringLiteral("frame"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setGeometry(box->rect());
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        qDrawWinPanel(&painter, rect(), palette(), false);
    }
};

} // namespace

AboutDialog::AboutDialog(QWidget *parent)
    : FixedDialog(QStringLiteral("aboutDialog"), QString(), 3210, 1065, parent, Qt::FramelessWindowHint)
{
    // The picture is bigger than the part of the box it covers; the box
    // clips it on the left, at the top and at the bottom.
    auto *image = new QLabel(this);
    image->setObjectName(QStringLiteral("icon"));
    image->setAccessibleName(QStringLiteral("holvas のアイコン"));
    image->setScaledContents(true);
    place(image, -600, -480, 2145, 1920);
    image->setPixmap(QIcon(QStringLiteral(":/holvane/holvane.ico")).pixmap(QSize(32, 32)));

    auto *name = new QLabel(QStringLiteral("holvas version 1.20"), this);
    name->setObjectName(QStringLiteral("nameAndVersion"));
    placeFitting(name, 1320, 360);
    auto *maker = new QLabel(QStringLiteral("presented by tarno software."), this);
    maker->setObjectName(QStringLiteral("maker"));
    placeFitting(maker, 960, 840);
    // Keep the labels inside the box where the font is wider than designed.
    for (QLabel *label : {name, maker})
        if (label->geometry().right() >= width())
            label->move(std::max(0, width() - label->width() - 4), label->y());
    new DialogFrame(this);
}

void AboutDialog::mouseReleaseEvent(QMouseEvent *event)
{
    // The labels pass their clicks on to the box, so one handler serves all.
    event->accept();
    accept();
}

void AboutDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        accept();
    event->accept(); // Escape too stays here: only Enter closes the box
}

} // namespace holvane
