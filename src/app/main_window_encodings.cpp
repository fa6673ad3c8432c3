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
    const char *name; // after "reopen" or "saveIn" in the actions' objectNames
    const char *caption;
};

const EncodingItem kEncodingItems[] = {
    {Encoding::Cp932, "Cp932", "Shift_JIS(&S)"},       {Encoding::Utf8, "Utf8", "UTF-8(&U)"},
    {Encoding::EucJp, "EucJp", "EUC-JP(&E)"},          {Encoding::Iso2022Jp, "Iso2022Jp", "ISO-2022-JP(&J)"},
    {Encoding::Utf16Le, "Utf16Le", "UTF-16LE(&L)"},    {Encoding::Utf16Be, "Utf16Be", "UTF-16BE(&B)"},
};

QByteArray actionName(const char *prefix, const EncodingItem &item)
{
    return QByteArray(prefix) + item.name;
}

bool isUtf16(Encoding encoding)
{
    return encoding == Encoding::Utf16Le || encoding == Encoding::Utf16Be;
}

} // namespace

void Form1::buildEncodingMenu(QMenu *files)
{
    auto addMenu = [this](QMenu *parent, const char *name, const char *caption) {
        QMenu *menu = parent->addMenu(QString::fromUtf8(caption));
        menu->setObjectName(QString::fromLatin1(name));
        menu->menuAction()->setObjectName(QString::fromLatin1(name));
        m_menus.insert(QByteArray(name), menu);
        return menu;
    };
    QMenu *encodings = addMenu(files, "encodings", "文字コード(&K)");
    QMenu *reopen = addMenu(encodings, "reopens", "この文字コードで開き直す(&R)");
    QMenu *save = addMenu(encodings, "saveEncodings", "保存する文字コード(&W)");

    auto *reopenGroup = new QActionGroup(this);
    auto *saveGroup = new QActionGroup(this);
    for (const EncodingItem &item : kEncodingItems) {
        const Encoding encoding = item.encoding;
        for (auto [menu, group, prefix] : {std::tuple{reopen, reopenGroup, "reopen"}, {save, saveGroup, "saveIn"}}) {
            QAction *action = menu->addAction(QString::fromLatin1(item.caption));
            action->setObjectName(QString::fromLatin1(actionName(prefix, item)));
            action->setCheckable(true);
            group->addAction(action);
            m_items.insert(actionName(prefix, item), action);
        }
        connect(m_items.value(actionName("reopen", item)), &QAction::triggered, this, [this, encoding] { reopenIn(encoding); });
        connect(m_items.value(actionName("saveIn", item)), &QAction::triggered, this, [this, encoding] { saveIn(encoding); });
    }
    save->addSeparator();
    QAction *mark = save->addAction(QStringLiteral("BOM を付ける(&M)"));
    mark->setObjectName(QStringLiteral("byteOrderMark"));
    mark->setCheckable(true);
    m_items.insert(QByteArrayLiteral("byteOrderMark"), mark);
    connect(mark, &QAction::triggered, this, &Form1::setByteOrderMark);
    connect(encodings, &QMenu::aboutToShow, this, &Form1::showEncodingChecks);
}

void Form1::showEncodingChecks()
{
    // Reopening reads the file the document came from; the check marks its
    // encoding there. The other list marks what the next save writes.
    menu("reopens")->setEnabled(!CD.FileName.isEmpty());
    for (const EncodingItem &item : kEncodingItems) {
        m_items.value(actionName("reopen", item))
            ->setChecked(!CD.FileName.isEmpty() && item.encoding == m_onDisk.format.encoding);
        m_items.value(actionName("saveIn", item))->setChecked(item.encoding == m_format.encoding);
    }
    item("byteOrderMark")->setEnabled(canHaveByteOrderMark(m_format.encoding));
    item("byteOrderMark")->setChecked(m_format.byteOrderMark);
}

void Form1::reopenIn(Encoding encoding)
{
    if (CD.FileName.isEmpty())
        return;
    QGuiApplication::inputMethod()->commit();
    if (activePane().Text() != m_onDisk.text
        && !m_services.messages.confirm(this,
                                        QStringLiteral("「%1」を %2 として読み直します。\n"
                                                       "この文書への変更は失われます。よろしいですか？")
                                            .arg(CD.FileName, encodingName(encoding)),
                                        QStringLiteral("読み直す"), QStringLiteral("キャンセル")))
        return;
    if (loadDocument(CD.FileName, true, encoding))
        setDocumentCaption(CD.FileName);
}

void Form1::saveIn(Encoding encoding)
{
    // A UTF-16 file without its mark would not be recognised when read
    // again; otherwise a mark stays where the encoding can have one.
    m_format = {encoding, isUtf16(encoding) || (m_format.byteOrderMark && canHaveByteOrderMark(encoding))};
    if (!CD.FileName.isEmpty())
        setDocumentCaption(CD.FileName);
}

void Form1::setByteOrderMark(bool on)
{
    m_format.byteOrderMark = on && canHaveByteOrderMark(m_format.encoding);
}

} // namespace holvane
