#include "dialogs/recovery_dialog.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

namespace holvane {

RecoveryDialog::RecoveryDialog(const std::vector<RecoveryOffer> &offers, QWidget *parent)
    : FixedDialog(QStringLiteral("recoveryDialog"), QStringLiteral("文書の復元"), 7200, 3900, parent)
{
    auto *message = new QLabel(QStringLiteral("前回、保存しないまま終わった文書があります。\n"
                                              "復元する文書を選んでください。"),
                               this);
    message->setObjectName(QStringLiteral("message"));
    place(message, 120, 120, 6960, 600);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("documents"));
    m_list->setAccessibleName(QStringLiteral("保存していない文書"));
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setHeaderLabels({QStringLiteral("ファイル"), QStringLiteral("時刻"), QStringLiteral("1 行目")});
    for (const RecoveryOffer &offer : offers)
        new QTreeWidgetItem(m_list, {offer.path.isEmpty() ? QStringLiteral("無題") : offer.path,
                                     offer.written.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")),
                                     offer.firstLine});
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_list->setCurrentItem(m_list->topLevelItem(0));
    place(m_list, 120, 780, 6960, 2280);

    auto *restore = new QPushButton(QStringLiteral("復元(&R)"), this);
    restore->setObjectName(QStringLiteral("restoreButton"));
    restore->setDefault(true);
    place(restore, 2160, 3300, 1560, 375);
    auto *discard = new QPushButton(QStringLiteral("破棄(&D)"), this);
    discard->setObjectName(QStringLiteral("discardButton"));
    place(discard, 3840, 3300, 1560, 375);
    auto *later = new QPushButton(QStringLiteral("後で(&L)"), this);
    later->setObjectName(QStringLiteral("laterButton"));
    place(later, 5520, 3300, 1560, 375);

    connect(restore, &QPushButton::clicked, this, [this] { finishWith(RecoveryChoice::Restore); });
    connect(discard, &QPushButton::clicked, this, [this] { finishWith(RecoveryChoice::Discard); });
    connect(later, &QPushButton::clicked, this, [this] { finishWith(RecoveryChoice::Keep); });
    connect(m_list, &QTreeWidget::itemActivated, this, [this] { finishWith(RecoveryChoice::Restore); });
    connect(m_list, &QTreeWidget::currentItemChanged, restore,
            [restore](QTreeWidgetItem *current) { restore->setEnabled(current != nullptr); });

    setTabOrder(m_list, restore);
    setTabOrder(restore, discard);
    setTabOrder(discard, later);
    m_list->setFocus();
}

void RecoveryDialog::finishWith(RecoveryChoice choice)
{
    m_answer.choice = choice;
    if (choice == RecoveryChoice::Restore) {
        const int row = m_list->indexOfTopLevelItem(m_list->currentItem());
        if (row < 0)
            return;
        m_answer.index = std::size_t(row);
    }
    accept();
}

// Unlike the program's other small dialogs this one has a safe way out:
// Escape keeps everything for later.
void RecoveryDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        finishWith(RecoveryChoice::Keep);
        return;
    }
    FixedDialog::keyPressEvent(event);
}

RecoveryAnswer DialogRecoveryQuestion::ask(QWidget *parent, const std::vector<RecoveryOffer> &offers)
{
    RecoveryDialog dialog(offers, parent);
    dialog.exec();
    return dialog.answer(); // Keep, unless a button said otherwise
}

} // namespace holvane
