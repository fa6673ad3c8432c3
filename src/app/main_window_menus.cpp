// The menu bar: one table, read top to bottom, builds it.
#include "app/main_window.h"

#include "editor/edit_pane.h"
#include "commands/tag_tables.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace holvane {
namespace {

using Handler = void (MainWindow::*)();

enum class Row {
    Menu,       // a top-level menu
    Item,       // an item of the last menu
    Separator,  // a separator of the last menu
    PairedTags, // the rows of the paired-tag table
    SingleTags, // the rows of the single-tag table
    Encodings,  // the document encoding submenu
};

struct MenuRow {
    Row kind;
    const char *id; // the stable id, also the objectName
    const char *caption = "";
    const char *shortcut = "";
    Handler handler = nullptr;
    bool hidden = false;
};

const MenuRow kMenuBar[] = {
    {Row::Menu, "file", "file(&F)"},
    {Row::Item, "file.new", "新規作成(&N)", "", &MainWindow::newDocument},
    {Row::Item, "file.open", "開く(&O)", "", &MainWindow::openDocument},
    {Row::Item, "file.save", "上書き保存(&S)", "", &MainWindow::saveDocument},
    {Row::Item, "file.save_as", "名前を付けて保存(&A)", "", &MainWindow::saveDocumentAs},
    {Row::Encodings, "file.encoding"},
    {Row::Separator, "file.separator"},
    {Row::Item, "file.quit", "holvaneの終了", "", &MainWindow::quit},

    {Row::Menu, "edit", "edit(&E)"},
    {Row::Item, "edit.undo", "元に戻す(&U)", "", &MainWindow::undo},
    {Row::Separator, "edit.separator_clipboard"},
    {Row::Item, "edit.cut", "切り取り(&T)", "Ctrl+X", &MainWindow::cut},
    {Row::Item, "edit.copy", "コピー(&C)", "Ctrl+C", &MainWindow::copy},
    {Row::Item, "edit.paste", "貼り付け(&P)", "Ctrl+V", &MainWindow::paste},
    {Row::Item, "edit.delete", "削除(&L)", "Del", &MainWindow::deleteSelected},
    {Row::Separator, "edit.separator_select"},
    {Row::Item, "edit.select_all", "全て選択(&A)", "F1", &MainWindow::selectAll},
    {Row::Item, "edit.insert_time", "現在時刻(&H)", "", &MainWindow::insertTime},
    {Row::Item, "edit.insert_date", "今日の日付(&D)", "", &MainWindow::insertDate},
    {Row::Separator, "edit.separator_wrap"},
    {Row::Item, "edit.wrap", "右端で折り返す(&W)"}, // checkable; see buildMenus

    {Row::Menu, "tag", "twin tag(&T)"},
    {Row::PairedTags, "pairedTags"},
    {Row::Separator, "tag.separator_remove"},
    {Row::Item, "tag.remove", "E タグを解除(&E)", "Ctrl+E", &MainWindow::removeTags},
    {Row::Separator, "tag.separator_cancel", "", "", nullptr, true},
    {Row::Item, "tag.cancel", "F Cancel(&F)", "Ctrl+N", nullptr, true},

    {Row::Menu, "single_tag", "single tag(&S)"},
    {Row::SingleTags, "singleTags"},

    {Row::Menu, "help", "help(&H)"},
    {Row::Item, "help.sheet_count", "枚数確認", "Ctrl+Q", &MainWindow::showSheetCount},
    {Row::Item, "help.display_settings", "画面設定", "Ctrl+W", &MainWindow::showDisplaySettings},
    {Row::Separator, "help.separator_about"},
    {Row::Item, "help.about", "バージョン情報", "", &MainWindow::showAbout},
};

} // namespace

void MainWindow::buildMenus()
{
    QList<QKeySequence> reserved;
    QMenu *current = nullptr;

    auto addItem = [&](const char *id, const char *caption, const char *shortcut, bool hidden) {
        QAction *action = current->addAction(QString::fromUtf8(caption));
        action->setObjectName(QString::fromLatin1(id));
        if (*shortcut) {
            const QKeySequence key(QString::fromLatin1(shortcut), QKeySequence::PortableText);
            action->setShortcut(key);
            reserved << key;
        }
        action->setVisible(!hidden);
        m_actions.insert(QByteArray(id), action);
        return action;
    };

    for (const MenuRow &row : kMenuBar) {
        switch (row.kind) {
        case Row::Menu:
            current = menuBar()->addMenu(QString::fromUtf8(row.caption));
            current->setObjectName(QString::fromLatin1(row.id));
            m_menus.insert(QByteArray(row.id), current);
            break;
        case Row::Separator: {
            QAction *separator = current->addSeparator();
            separator->setObjectName(QString::fromLatin1(row.id));
            separator->setVisible(!row.hidden);
            m_actions.insert(QByteArray(row.id), separator);
            break;
        }
        case Row::Item: {
            QAction *action = addItem(row.id, row.caption, row.shortcut, row.hidden);
            if (row.handler)
                connect(action, &QAction::triggered, this, row.handler);
            break;
        }
        case Row::PairedTags:
            for (const PairedTag &tag : kPairedTags)
                connect(addItem(tag.id, tag.caption, tag.shortcut, false), &QAction::triggered, this,
                        [this, &tag] { wrapInTag(tag); });
            break;
        case Row::Encodings:
            buildEncodingMenu(current);
            break;
        case Row::SingleTags:
            for (const SingleTag &tag : kSingleTags)
                connect(addItem(tag.id, tag.caption, tag.shortcut, false), &QAction::triggered, this,
                        [this, &tag] { insertTag(tag); });
            break;
        }
    }

    QAction *wrap = action("edit.wrap");
    wrap->setCheckable(true);
    connect(wrap, &QAction::toggled, this, &MainWindow::showPaneForWrapState);
    connect(menu("edit"), &QMenu::aboutToShow, this, &MainWindow::updateEditActions);

    m_unwrappedPane->setReservedKeys(reserved);
    m_wrappingPane->setReservedKeys(reserved);
}

} // namespace holvane
