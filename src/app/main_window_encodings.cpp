// The file menu's 文字コード(&K): the document's encoding, shown and changed.
#include "app/main_window.h"

#include "editor/edit_pane.h"

#include <QAction>
#include <QActionGroup>
#include <QGuiApplication>
#include <QInputMethod>
#include <QMenu>

namespace holvane {
namespace {

struct EncodingItem {
    Encoding encoding;
    const char *name; // the last part of the items' ids
    const char *caption;
};

const EncodingItem kEncodingItems[] = {
    {Encoding::Cp932, "cp932", "Shift_JIS(&S)"},       {Encoding::Utf8, "utf8", "UTF-8(&U)"},
    {Encoding::EucJp, "euc_jp", "EUC-JP(&E)"},         {Encoding::Iso2022Jp, "iso2022jp", "ISO-2022-JP(&J)"},
    {Encoding::Utf16Le, "utf16le", "UTF-16LE(&L)"},    {Encoding::Utf16Be, "utf16be", "UTF-16BE(&B)"},
};

// The two submenus; each item's id is the menu's and the encoding's name.
constexpr const char *kReopenMenu = "file.encoding.reopen";
constexpr const char *kSaveMenu = "file.encoding.save";

QByteArray actionId(const char *menuId, const EncodingItem &item)
{
    return QByteArray(menuId) + '.' + item.name;
}

bool isUtf16(Encoding encoding)
{
    return encoding == Encoding::Utf16Le || encoding == Encoding::Utf16Be;
}

} // namespace

void MainWindow::buildEncodingMenu(QMenu *files)
{
    auto addMenu = [this](QMenu *parent, const char *name, const char *caption) {
        QMenu *menu = parent->addMenu(QString::fromUtf8(caption));
        menu->setObjectName(QString::fromLatin1(name));
        menu->menuAction()->setObjectName(QString::fromLatin1(name));
        m_menus.insert(QByteArray(name), menu);
        return menu;
    };
    QMenu *encodings = addMenu(files, "file.encoding", "文字コード(&K)");
    QMenu *reopen = addMenu(encodings, kReopenMenu, "この文字コードで開き直す(&R)");
    QMenu *save = addMenu(encodings, kSaveMenu, "保存する文字コード(&W)");

    auto *reopenGroup = new QActionGroup(this);
    auto *saveGroup = new QActionGroup(this);
    for (const EncodingItem &item : kEncodingItems) {
        const Encoding encoding = item.encoding;
        for (auto [menu, group, prefix] : {std::tuple{reopen, reopenGroup, kReopenMenu}, {save, saveGroup, kSaveMenu}}) {
            QAction *action = menu->addAction(QString::fromLatin1(item.caption));
            action->setObjectName(QString::fromLatin1(actionId(prefix, item)));
            action->setCheckable(true);
            group->addAction(action);
            m_actions.insert(actionId(prefix, item), action);
        }
        connect(m_actions.value(actionId(kReopenMenu, item)), &QAction::triggered, this, [this, encoding] { reopenIn(encoding); });
        connect(m_actions.value(actionId(kSaveMenu, item)), &QAction::triggered, this, [this, encoding] { saveIn(encoding); });
    }
    save->addSeparator();
    QAction *mark = save->addAction(QStringLiteral("BOM を付ける(&M)"));
    mark->setObjectName(QStringLiteral("file.encoding.byte_order_mark"));
    mark->setCheckable(true);
    m_actions.insert(QByteArrayLiteral("file.encoding.byte_order_mark"), mark);
    connect(mark, &QAction::triggered, this, &MainWindow::setByteOrderMark);
    connect(encodings, &QMenu::aboutToShow, this, &MainWindow::showEncodingChecks);
}

void MainWindow::showEncodingChecks()
{
    // Reopening reads the file the document came from; the check marks its
    // encoding there. The other list marks what the next save writes.
    menu(kReopenMenu)->setEnabled(!m_fileDialog.path.isEmpty());
    for (const EncodingItem &item : kEncodingItems) {
        m_actions.value(actionId(kReopenMenu, item))
            ->setChecked(!m_fileDialog.path.isEmpty() && item.encoding == m_onDisk.format.encoding);
        m_actions.value(actionId(kSaveMenu, item))->setChecked(item.encoding == m_format.encoding);
    }
    action("file.encoding.byte_order_mark")->setEnabled(canHaveByteOrderMark(m_format.encoding));
    action("file.encoding.byte_order_mark")->setChecked(m_format.byteOrderMark);
}

void MainWindow::reopenIn(Encoding encoding)
{
    if (m_fileDialog.path.isEmpty())
        return;
    QGuiApplication::inputMethod()->commit();
    if (activePane().snapshot() != m_onDisk.text
        && !m_services.messages.confirm(this,
                                        QStringLiteral("「%1」を %2 として読み直します。\n"
                                                       "この文書への変更は失われます。よろしいですか？")
                                            .arg(m_fileDialog.path, encodingName(encoding)),
                                        QStringLiteral("読み直す"), QStringLiteral("キャンセル")))
        return;
    if (loadDocument(m_fileDialog.path, true, encoding))
        setDocumentCaption(m_fileDialog.path);
}

void MainWindow::saveIn(Encoding encoding)
{
    // A UTF-16 file without its mark would not be recognised when read
    // again; otherwise a mark stays where the encoding can have one.
    m_format = {encoding, isUtf16(encoding) || (m_format.byteOrderMark && canHaveByteOrderMark(encoding))};
    if (!m_fileDialog.path.isEmpty())
        setDocumentCaption(m_fileDialog.path);
}

void MainWindow::setByteOrderMark(bool on)
{
    m_format.byteOrderMark = on && canHaveByteOrderMark(m_format.encoding);
}

} // namespace holvane
