#pragma once

#include "documents/text_codec.h"
#include "editor/undo_pair.h"
#include "platform/standard_dialogs.h"
#include "platform/services.h"

#include <QHash>
#include <QMainWindow>

#include <functional>

class QAction;
class QMenu;

namespace holvane {

class EditPane;
class Form3;
struct PairedTag;
struct SingleTag;

// How a document is written: its encoding, and whether a byte order mark
// comes first.
struct DocumentFormat {
    Encoding encoding = Encoding::Cp932;
    bool byteOrderMark = false;
    bool operator==(const DocumentFormat &) const = default;
};

// The editor's main window: the two panes, the menu bar and every command.
class Form1 : public QMainWindow {
    Q_OBJECT
public:
    explicit Form1(Services services, QWidget *parent = nullptr);
    ~Form1() override;

    // Start-up: reads the document named by the command-line argument.
    void Form_Load(const QString &argument);

    EditPane &activePane() const;
    EditPane *mains() const { return Mains; }
    EditPane *mains2() const { return Mains2; }
    const UndoPair &undoPair() const { return m_undo; }
    const CommonDialog &fileDialog() const { return CD; }
    QAction *item(const char *name) const { return m_items.value(QByteArray(name)); }
    QMenu *menu(const char *name) const { return m_menus.value(QByteArray(name)); }

    // File commands.
    void news_Click();
    void opens_Click() { opener(); }
    void saven_Click() { saver2(); }
    void saves_Click() { saver(); }
    void ends_Click();

    // Edit menu.
    void edits_Click();
    void undo_Click();
    void cuts_Click();
    void copys_Click();
    void pattes_Click();
    void deleatem_Click();
    void Allok_Click();
    void timesnow_Click();
    void daysnow_Click();
    void rightturn_Click();

    // Markup commands, one behaviour for every row of their tables.
    void pairedTag_Click(const PairedTag &tag);
    void singleTag_Click(const SingleTag &tag);
    void Tagerase_Click();

    // Tools.
    void kaku_Click();
    void fonts_Click();
    void versionman_Click();

    void opener();
    void saver();
    void saver2();

    // The file menu's 文字コード(&K): read the file again in another encoding
    // (a wrong guess), or write the next save in another one (a conversion).
    void reopenIn(Encoding encoding);
    void saveIn(Encoding encoding);
    void setByteOrderMark(bool on);
    const DocumentFormat &documentFormat() const { return m_format; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void Form_Resize();
    void showPaneForWrapState(bool wrapping);
    void buildMenus();
    void buildEncodingMenu(QMenu *files);
    void showEncodingChecks();
    void Mains_KeyDown();
    void Mains_KeyUp();
    void Mains2_KeyDown();
    void Mains2_KeyUp();
    void paneMouseUp(EditPane &pane, Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint at);

    // Every editing command: snapshot, change the active pane, snapshot.
    void editActivePane(const std::function<void(EditPane &)> &change);

    // Document read into both panes; false (and the user told) on failure.
    bool loadDocument(const QString &path, bool reportFailure, std::optional<Encoding> forced = std::nullopt);
    bool writeActivePane(const QString &path);
    QByteArray bytesToWrite(const QString &text, const EncodeResult &encoded) const;
    void warnAboutDeclaredCharset(const QString &text);
    void setDocumentCaption(const QString &path);
    void tellAboutKeptBytes(const QString &path, qsizetype count);

    Services m_services;
    CommonDialog CD;
    EditPane *Mains = nullptr;
    EditPane *Mains2 = nullptr;
    UndoPair m_undo;
    DocumentFormat m_format; // what the next save writes
    // The document as last read or written, to tell whether it was edited
    // since, and to write an unedited one back byte for byte.
    struct OnDisk {
        QString path;
        DocumentFormat format;
        QString text;
    } m_onDisk;
    QHash<QByteArray, QAction *> m_items;
    QHash<QByteArray, QMenu *> m_menus;
    Form3 *m_form3 = nullptr;
    QString m_pendingNotice; // shown once the window is on screen
    bool m_shownOnce = false;
};

} // namespace holvane
