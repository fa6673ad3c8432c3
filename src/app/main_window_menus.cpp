// The menu bar: one table, read top to bottom, builds it.
#include "app/main_window.h"

#include "editor/edit_pane.h"
#include "commands/tag_tables.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace holvane {
namespace {

using Handler = void (Form1::*)();

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
    const char *name;
    const char *caption = "";
    const char *shortcut = "";
    Handler handler = nullptr;
    bool hidden = false;
};

const MenuRow kMenuBar[] = {
    {Row::Menu, "files", "file(&F)"},
    {Row::Item, "news", "新規作成(&N)", "", &Form1::news_Click},
    {Row::Item, "opens", "開く(&O)", "", &Form1::opens_Click},
    {Row::Item, "saven", "上書き保存(&S)", "", &Form1::saven_Click},
    {Row::Item, "saves", "名前を付けて保存(&A)", "", &Form1::saves_Click},
    {Row::Encodings, "encodings"},
    {Row::Separator, "hifun"},
    {Row::Item, "ends", "holvaneの終了", "", &Form1::ends_Click},

    {Row::Menu, "edits", "edit(&E)"},
    {Row::Item, "undo", "元に戻す(&U)", "", &Form1::undo_Click},
    {Row::Separator, "heyfun"},
    {Row::Item, "cuts", "切り取り(&T)", "Ctrl+X", &Form1::cuts_Click},
    {Row::Item, "copys", "コピー(&C)", "Ctrl+C", &Form1::copys_Click},
    {Row::Item, "pattes", "貼り付け(&P)", "Ctrl+V", &Form1::pattes_Click},
    {Row::Item, "deleatem", "削除(&L)", "Del", &Form1::deleatem_Click},
    {Row::Separator, "hifo"},
    {Row::Item, "Allok", "全て選択(&A)", "F1", &Form1::Allok_Click},
    {Row::Item, "timesnow", "現在時刻(&H)", "", &Form1::timesnow_Click},
    {Row::Item, "daysnow", "今日の日付(&D)", "", &Form1::daysnow_Click},
    {Row::Separator, "oho"},
    {Row::Item, "rightturn", "右端で折り返す(&W)"}, // checkable; see buildMenus

    {Row::Menu, "html", "twin tag(&T)"},
    {Row::PairedTags, "pairedTags"},
    {Row::Separator, "hihi"},
    {Row::Item, "Tagerase", "E タグを解除(&E)", "Ctrl+E", &Form1::Tagerase_Click},
    {Row::Separator, "hihihi", "", "", nullptr, true},
    {Row::Item, "Canceler", "F Cancel(&F)", "Ctrl+N", nullptr, true},

    {Row::Menu, "html2", "single tag(&S)"},
    {Row::SingleTags, "singleTags"},

    {Row::Menu, "options", "help(&H)"},
    {Row::Item, "kaku", "枚数確認", "Ctrl+Q", &Form1::kaku_Click},
    {Row::Item, "fonts", "画面設定", "Ctrl+W", &Form1::fonts_Click},
    {Row::Separator, "koko"},
    {Row::Item, "versionman", "バージョン情報", "", &Form1::versionman_Click},
};

} // namespace

void Form1::buildMenus()
{
    QList<QKeySequence> reserved;
    QMenu *current = nullptr;

    auto addItem = [&](const char *name, const char *caption, const char *shortcut, bool hidden) {
        QAction *action = current->addAction(QString::fromUtf8(caption));
        action->setObjectName(QString::fromLatin1(name));
        if (*shortcut) {
            const QKeySequence key(QString::fromLatin1(shortcut), QKeySequence::PortableText);
            action->setShortcut(key);
            reserved << key;
        }
        action->setVisible(!hidden);
        m_items.insert(QByteArray(name), action);
        return action;
    };

    for (const MenuRow &row : kMenuBar) {
        switch (row.kind) {
        case Row::Menu:
            current = menuBar()->addMenu(QString::fromUtf8(row.caption));
            current->setObjectName(QString::fromLatin1(row.name));
            m_menus.insert(QByteArray(row.name), current);
            break;
        case Row::Separator: {
            QAction *separator = current->addSeparator();
            separator->setObjectName(QString::fromLatin1(row.name));
            separator->setVisible(!row.hidden);
            m_items.insert(QByteArray(row.name), separator);
            break;
        }
        case Row::Item: {
            QAction *action = addItem(row.name, row.caption, row.shortcut, row.hidden);
            if (row.handler)
                connect(action, &QAction::triggered, this, row.handler);
            break;
        }
        case Row::PairedTags:
            for (const PairedTag &tag : kPairedTags)
                connect(addItem(tag.item, tag.caption, tag.shortcut, false), &QAction::triggered, this,
                        [this, &tag] { pairedTag_Click(tag); });
            break;
        case Row::Encodings:
            buildEncodingMenu(current);
            break;
        case Row::SingleTags:
            for (const SingleTag &tag : kSingleTags)
                connect(addItem(tag.item, tag.caption, tag.shortcut, false), &QAction::triggered, this,
                        [this, &tag] { singleTag_Click(tag); });
            break;
        }
    }

    QAction *wrap = item("rightturn");
    wrap->setCheckable(true);
    connect(wrap, &QAction::toggled, this, &Form1::showPaneForWrapState);
    connect(menu("edits"), &QMenu::aboutToShow, this, &Form1::edits_Click);

    Mains->setReservedKeys(reserved);
    Mains2->setReservedKeys(reserved);
}

} // namespace holvane
