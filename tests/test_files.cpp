// Documents go to disk and come back byte for byte, and no failure loses a
// document or pretends to have saved it.
#include "window_fixture.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include "documents/document_file.h"

#include <iconv.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace holvane;
using namespace holvane::testing;

Q_DECLARE_METATYPE(holvane::Encoding)

namespace {

// Opens `path` through the file menu, answering the dialog with it.
void openThroughMenu(Window &w, const QString &path)
{
    w.fakes.dialogs.fileAnswers.push_back(path);
    w.trigger("file.open");
}

// The text in an encoding as glibc writes it, independent of our codecs.
QByteArray iconvBytes(const QString &text, const char *encoding)
{
    iconv_t cd = iconv_open(encoding, "UTF-16LE");
    QByteArray out(text.size() * 4 + 16, Qt::Uninitialized);
    char *in = reinterpret_cast<char *>(const_cast<ushort *>(text.utf16()));
    char *to = out.data();
    size_t inLeft = size_t(text.size()) * 2;
    size_t outLeft = size_t(out.size());
    const size_t converted = iconv(cd, &in, &inLeft, &to, &outLeft);
    const size_t flushed = iconv(cd, nullptr, nullptr, &to, &outLeft); // back to ASCII where stateful
    iconv_close(cd);
    if (converted == size_t(-1) || flushed == size_t(-1))
        qFatal("iconv cannot write the text in %s", encoding);
    out.truncate(out.size() - qsizetype(outLeft));
    return out;
}

// What must not change when a command fails or is cancelled.
struct Snapshot {
    QString caption, fileName, unwrapped, wrapping, before, after;
    explicit Snapshot(const Window &w)
        : caption(w.form->windowTitle()), fileName(w.form->fileDialog().path), unwrapped(w.unwrappedPane().text()),
          wrapping(w.wrappingPane().text()), before(w.form->undoPair().before.toString()), after(w.form->undoPair().after.toString())
    {
    }
    bool operator==(const Snapshot &) const = default;
};

} // namespace

class FilesTest : public QObject {
    Q_OBJECT
private slots:
    void openPutsTheFileIntoBothPanes();
    void saveWritesTheActivePaneUnderTheCurrentName();
    void roundTripKeepsEveryByte_data();
    void roundTripKeepsEveryByte();
    void reopenInAnotherEncodingAndConvertBySaving();
    void failuresAndCancelsChangeNothing_data();
    void failuresAndCancelsChangeNothing();
    void aFileInAFolderTheUserCannotWriteIsSavedInPlace();
    void unencodableCharactersAreNeverWrittenSilently_data();
    void unencodableCharactersAreNeverWrittenSilently();
    void newAsksBeepsAndEmptiesTheDocument();

private:
    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir m_dir;
};

void FilesTest::openPutsTheFileIntoBothPanes()
{
    Window w;
    writeBytes(path("a.htm"), "<P>\x82\xa0</P>\r\n");
    w.action("edit.wrap")->setChecked(true);
    openThroughMenu(w, path("a.htm"));
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("<P>あ</P>\r\n"));
    QCOMPARE(w.wrappingPane().lineCount(), 2);
    QCOMPARE(w.form->windowTitle(), path("a.htm") + QStringLiteral(" - holvas"));
    QCOMPARE(w.form->fileDialog().path, path("a.htm"));
    w.undo();
    QCOMPARE(w.wrappingPane().text(), QStringLiteral("<P>あ</P>\r\n"));
}

void FilesTest::saveWritesTheActivePaneUnderTheCurrentName()
{
    Window w;
    w.unwrappedPane().setText(QStringLiteral("new"));
    w.fakes.dialogs.fileAnswers.push_back(path("doc.htm"));
    w.trigger("file.save"); // unnamed: asks
    QCOMPARE(w.fakes.dialogs.fileDialogsShown, QStringList{QStringLiteral("save:")});
    QCOMPARE(readBytes(path("doc.htm")), QByteArray("new"));
    QCOMPARE(w.form->windowTitle(), path("doc.htm") + QStringLiteral(" - holvas"));

    w.trigger("edit.wrap");
    w.wrappingPane().setText(QStringLiteral("wrapped pane\r\n"));
    QFile::remove(path("doc.htm")); // deleted meanwhile: written again, without asking
    w.trigger("file.save");
    QCOMPARE(w.fakes.dialogs.fileDialogsShown.size(), 1);
    QCOMPARE(readBytes(path("doc.htm")), QByteArray("wrapped pane\r\n"));
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("new")); // saving changes no pane

    w.fakes.dialogs.fileAnswers.push_back(path("second.htm"));
    w.trigger("file.save_as"); // always asks, on the current name, and takes the new one
    QCOMPARE(w.fakes.dialogs.fileDialogsShown.last(), QStringLiteral("save:") + path("doc.htm"));
    QCOMPARE(w.form->fileDialog().path, path("second.htm"));
    QTest::keyClick(&w.wrappingPane(), Qt::Key_Z);
    w.trigger("file.save");
    QCOMPARE(readBytes(path("second.htm")), QByteArray("zwrapped pane\r\n"));
}

void FilesTest::roundTripKeepsEveryByte_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<QByteArray>("mark");
    QTest::addColumn<bool>("canonical"); // what the encoder writes for this text itself
    const auto cp932 = Encoding::Cp932;
    QTest::newRow("empty") << QByteArray() << cp932 << QByteArray() << true;
    QTest::newRow("CR LF") << QByteArray("<P>\x93\xfa\x96\x7b</P>\r\n<BR>\r\n") << cp932 << QByteArray() << true;
    QTest::newRow("LF") << QByteArray("a\nb\n") << cp932 << QByteArray() << true;
    QTest::newRow("CR") << QByteArray("a\rb\r") << cp932 << QByteArray() << true;
    QTest::newRow("mixed, no end") << QByteArray("a\r\nb\nc\rd\r\r\ne") << cp932 << QByteArray() << true;
    QTest::newRow("not code page 932") << QByteArray("\x82<\x85\xff\xfd\x80\xa0 \xf0\x40 \xfc") << cp932
                                       << QByteArray() << true;
    QTest::newRow("NUL") << QByteArray("a\0b", 3) << cp932 << QByteArray() << true;
    // Codes Windows writes under another code: unedited, they stay.
    QTest::newRow("duplicate codes") << QByteArray("\xed\x40\xfa\x54<P>\r\n") << cp932 << QByteArray() << false;

    const QString text = QStringLiteral("<P>日本語のテキスト、かなと漢字。</P>\r\n<BR>\n").repeated(6);
    const std::tuple<const char *, const char *, Encoding, QByteArray, QByteArray> encoded[] = {
        {"UTF-8", "UTF-8", Encoding::Utf8, QByteArray(), QByteArray()},
        {"UTF-8, mark", "UTF-8", Encoding::Utf8, QByteArray("\xef\xbb\xbf"), QByteArray()},
        {"UTF-8, a byte that is not", "UTF-8", Encoding::Utf8, QByteArray(), QByteArray("\xff")},
        {"EUC-JP", "EUC-JP", Encoding::EucJp, QByteArray(), QByteArray()},
        {"EUC-JP, a byte that is not", "EUC-JP", Encoding::EucJp, QByteArray(), QByteArray("\x8e")},
        {"ISO-2022-JP", "ISO-2022-JP", Encoding::Iso2022Jp, QByteArray(), QByteArray()},
        {"UTF-16LE, mark", "UTF-16LE", Encoding::Utf16Le, QByteArray("\xff\xfe"), QByteArray()},
        {"UTF-16BE, mark", "UTF-16BE", Encoding::Utf16Be, QByteArray("\xfe\xff"), QByteArray()},
    };
    for (const auto &[row, iconvName, encoding, mark, kept] : encoded)
        QTest::newRow(row) << mark + iconvBytes(text, iconvName) + kept << encoding << mark << true;
}

void FilesTest::roundTripKeepsEveryByte()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Encoding, encoding);
    QFETCH(QByteArray, mark);
    QFETCH(bool, canonical);
    writeBytes(path("round.htm"), bytes);
    Window w;
    openThroughMenu(w, path("round.htm"));
    QCOMPARE(w.form->documentFormat(), (DocumentFormat{encoding, !mark.isEmpty()}));
    const QString named = encoding == Encoding::Cp932 ? QString() : QStringLiteral(" [%1]").arg(encodingName(encoding));
    QCOMPARE(w.form->windowTitle(), path("round.htm") + named + QStringLiteral(" - holvas"));
    const QString opened = w.unwrappedPane().text();
    w.trigger("file.save");
    QCOMPARE(readBytes(path("round.htm")), bytes);
    // Typing elsewhere in the document leaves the other line ends alone.
    w.unwrappedPane().setSelectionStart(0);
    QTest::keyClick(&w.unwrappedPane(), Qt::Key_Q);
    w.trigger("file.save");
    const QByteArray q = encoding == Encoding::Utf16Le ? QByteArray("q\0", 2)
                         : encoding == Encoding::Utf16Be ? QByteArray("\0q", 2) : QByteArray("q");
    if (canonical)
        QCOMPARE(readBytes(path("round.htm")), mark + q + bytes.sliced(mark.size()));
    const auto again = readDocument(path("round.htm"));
    QCOMPARE(again.document->text, QStringLiteral("q") + opened);
    QCOMPARE(again.document->encoding, encoding);
}

void FilesTest::reopenInAnotherEncodingAndConvertBySaving()
{
    const QByteArray utf8 = "<meta charset=\"utf-8\">\n<p>\xed\x95\x9c\xea\xb5\xad\xec\x96\xb4 "
                            "\xe3\x83\x86\xe3\x82\xb9\xe3\x83\x88</p>\n"; // 한국어 テスト
    writeBytes(path("page.html"), utf8);
    Window w;
    openThroughMenu(w, path("page.html"));
    QCOMPARE(w.form->windowTitle(), path("page.html") + QStringLiteral(" [UTF-8] - holvas"));
    const QString korean = w.unwrappedPane().text();
    QVERIFY(korean.contains(QStringLiteral("한국어 テスト")));

    // A wrong guess taken back: nothing was edited, so nothing is asked
    // (the bytes code page 932 cannot read are kept, and the user told).
    w.trigger("file.encoding.reopen.cp932");
    QCOMPARE(w.fakes.messages.shown.size(), 1);
    QVERIFY(w.fakes.messages.shown.front().startsWith(QStringLiteral("info:")));
    QCOMPARE(w.form->windowTitle(), path("page.html") + QStringLiteral(" - holvas"));
    QCOMPARE(w.unwrappedPane().text(), decodeDocument(utf8, Encoding::Cp932).text);
    QCOMPARE(w.form->undoPair().before.toString(), w.unwrappedPane().text());
    QCOMPARE(w.wrappingPane().text(), w.unwrappedPane().text());

    // With an edit, it asks first; no keeps the edit.
    QTest::keyClick(&w.unwrappedPane(), Qt::Key_X);
    const QString edited = w.unwrappedPane().text();
    w.fakes.messages.confirmAnswer = false;
    w.trigger("file.encoding.reopen.utf8");
    QCOMPARE(w.fakes.messages.shown.size(), 2);
    QVERIFY(w.fakes.messages.shown.back().startsWith(QStringLiteral("confirm:")));
    QCOMPARE(w.unwrappedPane().text(), edited);
    w.fakes.messages.confirmAnswer = true;
    w.trigger("file.encoding.reopen.utf8");
    QCOMPARE(w.unwrappedPane().text(), korean);
    QCOMPARE(w.form->windowTitle(), path("page.html") + QStringLiteral(" [UTF-8] - holvas"));

    // Converting changes no text; the save writes the new encoding, with
    // the mark UTF-16 needs to be recognised, and says that the page
    // declares another one.
    w.fakes.messages.shown.clear();
    w.trigger("file.encoding.save.utf16le");
    QCOMPARE(w.unwrappedPane().text(), korean);
    QCOMPARE(w.form->windowTitle(), path("page.html") + QStringLiteral(" [UTF-16LE] - holvas"));
    w.trigger("file.save");
    QCOMPARE(readBytes(path("page.html")), QByteArray("\xff\xfe") + iconvBytes(korean, "UTF-16LE"));
    QCOMPARE(w.fakes.messages.shown.size(), 1);
    QVERIFY(w.fakes.messages.shown.front().contains(QStringLiteral("「utf-8」")));
    QVERIFY(w.fakes.messages.shown.front().contains(QStringLiteral("UTF-16LE")));
    QCOMPARE(readDocument(path("page.html")).document->encoding, Encoding::Utf16Le);
}

void FilesTest::failuresAndCancelsChangeNothing_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("target"); // empty: the user cancels
    QTest::newRow("open cancelled") << "file.open" << "";
    QTest::newRow("open a missing file") << "file.open" << "missing.htm";
    QTest::newRow("open a folder") << "file.open" << ".";
    QTest::newRow("open a device") << "file.open" << "/dev/zero";
    QTest::newRow("open a FIFO") << "file.open" << "fifo";
    QTest::newRow("save-as cancelled") << "file.save_as" << "";
    QTest::newRow("save into a missing folder") << "file.save_as" << "no/such/folder/x.htm";
    QTest::newRow("save onto a folder") << "file.save_as" << "sub";
    QTest::newRow("save to a device that refuses data") << "file.save_as" << "/dev/full";
    QTest::newRow("save onto a FIFO") << "file.save_as" << "fifo"; // a hang here would be the failure
}

void FilesTest::failuresAndCancelsChangeNothing()
{
    QFETCH(QString, command);
    QFETCH(QString, target);
    QDir(m_dir.path()).mkdir(QStringLiteral("sub"));
    QFile::remove(path("fifo"));
    QCOMPARE(mkfifo(QFile::encodeName(path("fifo")).constData(), 0600), 0);
    const QString full = target.isEmpty() || target.startsWith(u'/') ? target : QDir(m_dir.path()).filePath(target);

    Window w;
    writeBytes(path("kept.htm"), "kept");
    openThroughMenu(w, path("kept.htm"));
    QTest::keyClick(&w.unwrappedPane(), Qt::Key_X);
    const Snapshot before(w);
    w.fakes.dialogs.fileAnswers.push_back(full.isEmpty() ? std::nullopt : std::optional(full));
    w.trigger(qPrintable(command));
    QVERIFY(Snapshot(w) == before); // a named document stays named, too
    QCOMPARE(readBytes(path("kept.htm")), QByteArray("kept"));
    if (full.isEmpty()) {
        QVERIFY(w.fakes.messages.shown.isEmpty());
    } else {
        QCOMPARE(w.fakes.messages.shown.size(), 1);
        QVERIFY(w.fakes.messages.shown.front().startsWith(QStringLiteral("error:")));
        QVERIFY(w.fakes.messages.shown.front().contains(full));
    }
    QVERIFY(!QFileInfo(QStringLiteral("/dev/full")).isFile()); // the device is still a device
}

void FilesTest::aFileInAFolderTheUserCannotWriteIsSavedInPlace()
{
    // The rest of what a save keeps of a file is tested on writeDocument
    // itself (test_saving); this is the case that needs another user.
    if (::geteuid() != 0)
        QSKIP("needs root to set the scene");
    const passwd *nobody = ::getpwnam("nobody");
    QVERIFY(nobody);
    QDir(m_dir.path()).mkdir(QStringLiteral("scene"));
    const QString doc = path("scene") + QStringLiteral("/doc.htm");
    writeBytes(doc, "old");
    QCOMPARE(::chown(QFile::encodeName(doc).constData(), nobody->pw_uid, nobody->pw_gid), 0);
    QCOMPARE(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755), 0);
    QCOMPARE(::chmod(QFile::encodeName(path("scene")).constData(), 0555), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        const bool dropped = ::setgroups(0, nullptr) == 0
                             && ::setresgid(nobody->pw_gid, nobody->pw_gid, nobody->pw_gid) == 0
                             && ::setresuid(nobody->pw_uid, nobody->pw_uid, nobody->pw_uid) == 0;
        ::_exit(dropped && !writeDocument(doc, "new") ? 0 : 1);
    }
    int status = -1;
    QCOMPARE(::waitpid(child, &status, 0), child);
    ::chmod(QFile::encodeName(path("scene")).constData(), 0755);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    QCOMPARE(readBytes(doc), QByteArray("new"));
}

void FilesTest::unencodableCharactersAreNeverWrittenSilently_data()
{
    QTest::addColumn<QString>("encoding"); // the item that chooses it
    QTest::addColumn<QString>("named");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("code page 932") << "file.encoding.save.cp932" << "Shift-JIS" << "<P>\r\nok \U0001F600 and \u00A5</P>"
                                   << QByteArray("<P>\r\nok &#128512; and &#165;</P>");
    QTest::newRow("EUC-JP") << "file.encoding.save.euc_jp" << "EUC-JP" << "<P>\r\nok \U0001F600 and 한</P>"
                            << QByteArray("<P>\r\nok &#128512; and &#54620;</P>");
    QTest::newRow("ISO-2022-JP") << "file.encoding.save.iso2022jp" << "ISO-2022-JP" << "<P>\r\nok \U0001F600 and 한</P>"
                                 << QByteArray("<P>\r\nok &#128512; and &#54620;</P>");
}

void FilesTest::unencodableCharactersAreNeverWrittenSilently()
{
    QFETCH(QString, encoding);
    QFETCH(QString, named);
    QFETCH(QString, text);
    QFETCH(QByteArray, written);
    Window w;
    writeBytes(path("u.htm"), "before");
    openThroughMenu(w, path("u.htm"));
    w.trigger(qPrintable(encoding));
    w.unwrappedPane().setText(text);
    const QString caption = w.form->windowTitle();

    w.fakes.messages.confirmAnswer = false;
    w.trigger("file.save");
    QCOMPARE(readBytes(path("u.htm")), QByteArray("before"));
    QCOMPARE(w.form->windowTitle(), caption);
    QCOMPARE(w.fakes.messages.shown.size(), 1);
    const QString question = w.fakes.messages.shown.front();
    for (const QString &part : {QStringLiteral("U+1F600"), QStringLiteral(" 2 "), QStringLiteral("2 行目"),
                                QStringLiteral("4 文字目"), named}) // the first, how many, where, in what
        QVERIFY2(question.contains(part), qPrintable(part));

    w.fakes.messages.confirmAnswer = true;
    w.trigger("file.save");
    QCOMPARE(readBytes(path("u.htm")), written);
}

void FilesTest::newAsksBeepsAndEmptiesTheDocument()
{
    Window w;
    writeBytes(path("n.htm"), "document");
    openThroughMenu(w, path("n.htm"));
    QTest::keyClick(&w.unwrappedPane(), Qt::Key_X);
    const Snapshot before(w);
    for (const char *answer : {"cancelButton", "close", "okButton"}) {
        bool focusOnOk = false;
        whenModalOpens([&](QWidget *dialog) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("caution"));
            QVERIFY(!dialog->findChild<QLabel *>(QStringLiteral("exclamation"))->pixmap().isNull());
            focusOnOk = QApplication::focusWidget() == dialog->findChild<QPushButton *>(QStringLiteral("okButton"));
            if (auto *button = dialog->findChild<QPushButton *>(QString::fromLatin1(answer)))
                QTest::mouseClick(button, Qt::LeftButton);
            else
                dialog->close(); // the title bar's close acts like Cancel
        });
        w.trigger("file.new");
        QVERIFY(focusOnOk);
        if (QLatin1String(answer) != QLatin1String("okButton"))
            QVERIFY(Snapshot(w) == before);
    }
    QCOMPARE(w.fakes.beeper.beeps, 3);
    QCOMPARE(w.unwrappedPane().text(), QString());
    QCOMPARE(w.wrappingPane().text(), QString());
    QCOMPARE(w.form->windowTitle(), QStringLiteral("holvane"));
    QCOMPARE(w.form->fileDialog().path, QString());
    w.undo(); // the snapshots outlive New
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("document"));
    w.fakes.dialogs.fileAnswers.push_back(std::nullopt);
    w.trigger("file.save");
    QCOMPARE(w.fakes.dialogs.fileDialogsShown.last(), QStringLiteral("save:"));
}

QTEST_MAIN(FilesTest)
#include "test_files.moc"
