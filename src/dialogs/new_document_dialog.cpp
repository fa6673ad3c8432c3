#include "dialogs/new_document_dialog.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>

namespace holvane {

NewDocumentDialog::NewDocumentDialog(QWidget *parent) : FixedDialog(QStringLiteral("newDocumentDialog"), QStringLiteral("caution"), 3030, 990, parent)
{
    auto *label = new QLabel(QStringLiteral("ファイルを新規作成します。よろしいですか？"), this);
    label->setObjectName(QStringLiteral("message"));
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(label, 30, 0, 2175, 375);

    auto *image = new QLabel(this);
    image->setObjectName(QStringLiteral("exclamation"));
    image->setAccessibleName(QStringLiteral("注意"));
    image->setPixmap(QPixmap(QStringLiteral(":/holvane/exclamation.gif")));
    image->setAlignment(Qt::AlignCenter);
    place(image, 2400, 75, 480, 480);

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    place(ok, 1080, 600, 975, 375);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    place(cancel, 2040, 600, 975, 375);
    connect(ok, &QPushButton::clicked, this, &NewDocumentDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &NewDocumentDialog::reject);

    setTabOrder(ok, cancel);
    ok->setFocus();
}

} // namespace holvane
