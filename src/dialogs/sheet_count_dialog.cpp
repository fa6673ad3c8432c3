#include "dialogs/sheet_count_dialog.h"

#include "dialogs/number_text.h"

#include <QLabel>
#include <QPushButton>

namespace holvane {

SheetCountDialog::SheetCountDialog(const QString &text, QWidget *parent)
    : FixedDialog(QStringLiteral("sheetCountDialog"), QStringLiteral("枚数確認"), 3030, 990, parent)
{
    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    place(ok, 2040, 600, 975, 375);
    connect(ok, &QPushButton::clicked, this, &SheetCountDialog::accept);

    auto *caption = new QLabel(QStringLiteral("400字詰原稿用紙："), this);
    caption->setObjectName(QStringLiteral("sheetCountCaption"));
    placeFitting(caption, 120, 120);

    auto *figure = new QLabel(numberText(manuscriptSheets(text)), this);
    figure->setObjectName(QStringLiteral("sheetCount"));
    place(figure, 1560, 120, 1215, 255);
    keepRightOf(figure, caption);

    ok->setFocus();
}

} // namespace holvane
