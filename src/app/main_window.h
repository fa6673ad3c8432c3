#pragma once

#include "documents/file_identity.h"
#include "documents/text_codec.h"
#include "editor/undo_pair.h"
#include "platform/standard_dialogs.h"
#include "platform/services.h"

#include <QHash>
#include <QMainWindow>

#include <functional>
#include <memory>

class QAction;
class QMenu;

namespace holvane {

class EditPane;
class DisplaySettingsDialog;
class DocumentRecovery;
class RecoveryQuestion;
struct RecoveryRecord;
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
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(Services services, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Start-up: reads the document named by the command-line argument.
    void openFromCommandLine(const QString &argument);

    EditPane &activePane() const;
    EditPane *unwrappedPane() const { return m_unwrappedPane; }
    EditPane *wrappingPane() const { return m_wrappingPane; }
    const UndoPair &undoPair() const { return m_undo; }
    const StandardDialogs &fileDialog() const { return m_fileDialog; }
    // Menu items and menus by their stable ids ("file.save_as", "edit.wrap",
    // "tag.bold"; menus "file", "edit", "tag"...), which are also their objectNames.
    QAction *action(const char *id) const { return m_actions.value(QByteArray(id)); }
    QMenu *menu(const char *id) const { return m_menus.value(QByteArray(id)); }

    // File commands.
    void newDocument();
    void openDocument();
    void saveDocument(); // under the current name; asks for one where there is none
    void saveDocumentAs();
    void quit();

    // Edit menu.
    void updateEditActions();
    void undo();
    void cut();
    void copy();
    void paste();
    void deleteSelected();
    void selectAll();
    void insertTime();
    void insertDate();
    void toggleWrap();

    // Markup commands, one behaviour for every row of their tables.
    void wrapInTag(const PairedTag &tag);
    void insertTag(const SingleTag &tag);
    void removeTags();

    // Tools.
    void showSheetCount();
    void showDisplaySettings();
    void showAbout();

    // The file menu's 文字コード(&K): read the file again in another encoding
    // (a wrong guess), or write the next save in another one (a conversion).
    void reopenIn(Encoding encoding);
    void saveIn(Encoding encoding);
    void setByteOrderMark(bool on);
    const DocumentFormat &documentFormat() const { return m_format; }

    // Unsaved edits kept in recovery files (main_window_recovery.cpp).
    void keepRecoveryIn(const QString &folder);
    void offerRecoveredDocuments(RecoveryQuestion &question); // at start-up, once the window shows
    void bringRecoveryUpToDate();
    DocumentRecovery &recovery() const { return *m_recovery; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void layOutPanes();
    void showPaneForWrapState(bool wrapping);
    void buildMenus();
    void buildEncodingMenu(QMenu *files);
    void showEncodingChecks();
    void offerTagMenu(EditPane &pane, Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint at);

    // Every editing command: snapshot, change the active pane, snapshot.
    void editActivePane(const std::function<void(EditPane &)> &change);

    // Document read into both panes; false (and the user told) on failure.
    bool loadDocument(const QString &path, bool reportFailure, std::optional<Encoding> forced = std::nullopt);
    // Both panes show the text as the window's own doing; Undo starts from it.
    TextSnapshot showDocumentText(const QString &text);
    bool writeActivePane(const QString &path);
    QByteArray bytesToWrite(const TextSnapshot &text, const QString &written, const EncodeResult &encoded) const;
    void warnAboutDeclaredCharset(const QString &text);
    void setDocumentCaption(const QString &path);
    void tellAboutKeptBytes(const QString &path, qsizetype count);
    bool mayOverwrite(const QString &path);
    TextSnapshot recoveryText() const;
    RecoveryRecord recoveryRecord() const;
    void watchForRecovery();
    void restoreDocument(const RecoveryRecord &record, const QString &fileName);

    Services m_services;
    StandardDialogs m_fileDialog;
    EditPane *m_unwrappedPane = nullptr;
    EditPane *m_wrappingPane = nullptr;
    UndoPair m_undo;
    DocumentFormat m_format; // what the next save writes
    // The document as last read or written, to tell whether it was edited
    // since, and to write an unedited one back byte for byte.
    struct OnDisk {
        QString path;
        DocumentFormat format;
        std::optional<TextSnapshot> text; // none where what was written is not the text
        std::optional<FileIdentity> identity; // noted before reading and after writing
    } m_onDisk;
    QHash<QByteArray, QAction *> m_actions;
    QHash<QByteArray, QMenu *> m_menus;
    DisplaySettingsDialog *m_displaySettings = nullptr;
    QString m_pendingNotice; // shown once the window is on screen
    bool m_shownOnce = false;
    std::unique_ptr<DocumentRecovery> m_recovery;
};

} // namespace holvane
