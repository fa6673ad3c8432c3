// Documents go to disk and come back byte for byte, and no failure loses a
// document or pretends to have saved it.
#include "dialogs/form2.h"
#include "window_fixture.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <sys/mount.h>
#include <sys/stat.h>

using namespace holvane;
using namespace holvane::testing;

namespace {

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

// Opens `path` through the file menu, answering the dialog with it.
void openThroughMenu(Window &w, const QString &path)
{
    w.fakes.dialogs.fileAnswers.push_back(path);
    w.trigger("opens");
}

// What must not change when a command fails or is cancelled.
struct Snapshot {
    QString caption, fileName, mains, mains2, before, after;
    explicit Snapshot(const Window &w)
        : caption(w.form->windowTitle()), fileName(w.form->fileDialog().FileName), mains(w.mains().Text()),
          mains2(w.mains2().Text()), before(w.form->undoPair().before), after(w.form->undoPair().after)
    {
    }
    bool operator==(const Snapshot &) const = default;
};

} // namespace

class FilesTest : public QObject {
    Q_OBJECT
private slots:
    void init() { QVERIFY(m_dir.isValid()); }

    void openPutsTheFileIntoBothPanes();
    void cancelledDialogsChangeNothing();
    void saveWritesTheActivePaneUnderTheCurrentName();
    void saveAsAlwaysAsksAndTakesTheNewName();
    void roundTripKeepsEveryByte_data();
    void roundTripKeepsEveryByte();
    void failedOpenChangesNothing_data();
    void failedOpenChangesNothing();
    void failedSaveChangesNothing_data();
    void failedSaveChangesNothing();
    void fullDiskLeavesTheOldFileWhole();
    void saveKeepsPermissionsAndSymbolicLinks();
    void unencodableCharactersAreNeverWrittenSilently();
    void newAsksBeepsAndEmptiesTheDocument();
    void newCancelledChangesNothing();

private:
    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir m_dir;
};

void FilesTest::openPutsTheFileIntoBothPanes()
{
    Window w;
    writeBytes(path("a.htm"), "<P>\x82\xa0</P>\r\n");
    w.item("rightturn")->setChecked(true);
    openThroughMenu(w, path("a.htm"));
    QCOMPARE(w.mains().Text(), QStringLiteral("<P>あ</P>\r\n"));
    QCOMPARE(w.mains2().Text(), w.mains().Text());
    QCOMPARE(w.mains2().toPlainText(), QStringLiteral("<P>あ</P>\n")); // the visible pane shows it
    QCOMPARE(w.form->windowTitle(), path("a.htm") + QStringLiteral(" - holvas"));
    QCOMPARE(w.form->fileDialog().FileName, path("a.htm"));
    w.undo();
    QCOMPARE(w.mains2().Text(), QStringLiteral("<P>あ</P>\r\n"));
}

void FilesTest::cancelledDialogsChangeNothing()
{
    Window w;
    writeBytes(path("named.htm"), "named");
    openThroughMenu(w, path("named.htm"));
    QTest::keyClick(&w.mains(), Qt::Key_X);
    const Snapshot before(w);
    w.fakes.dialogs.fileAnswers.push_back(std::nullopt);
    w.trigger("opens");
    w.fakes.dialogs.fileAnswers.push_back(std::nullopt);
    w.trigger("saves");
    QVERIFY(Snapshot(w) == before);
    QCOMPARE(readBytes(path("named.htm")), QByteArray("named"));
}

void FilesTest::saveWritesTheActivePaneUnderTheCurrentName()
{
    Window w;
    writeBytes(path("doc.htm"), "old");
    openThroughMenu(w, path("doc.htm"));
    w.trigger("rightturn");
    w.mains2().setText(QStringLiteral("wrapped pane\r\n"));
    QFile::remove(path("doc.htm")); // deleted meanwhile: written again
    w.fakes.dialogs.fileDialogsShown.clear();
    w.trigger("saven");
    QVERIFY(w.fakes.dialogs.fileDialogsShown.isEmpty());
    QCOMPARE(readBytes(path("doc.htm")), QByteArray("wrapped pane\r\n"));
    QCOMPARE(w.mains().Text(), QStringLiteral("old")); // saving changes no pane

    Window unnamed;
    unnamed.mains().setText(QStringLiteral("new"));
    unnamed.fakes.dialogs.fileAnswers.push_back(path("new.htm"));
    unnamed.trigger("saven");
    QCOMPARE(unnamed.fakes.dialogs.fileDialogsShown, QStringList{QStringLiteral("save:")});
    QCOMPARE(readBytes(path("new.htm")), QByteArray("new"));
    QCOMPARE(unnamed.form->windowTitle(), path("new.htm") + QStringLiteral(" - holvas"));
}

void FilesTest::saveAsAlwaysAsksAndTakesTheNewName()
{
    Window w;
    writeBytes(path("first.htm"), "text");
    openThroughMenu(w, path("first.htm"));
    w.fakes.dialogs.fileAnswers.push_back(path("second.htm"));
    w.trigger("saves");
    QCOMPARE(w.fakes.dialogs.fileDialogsShown.last(), QStringLiteral("save:") + path("first.htm"));
    QCOMPARE(w.form->fileDialog().FileName, path("second.htm"));
    QTest::keyClick(&w.mains(), Qt::Key_Z);
    w.trigger("saven");
    QCOMPARE(readBytes(path("second.htm")), QByteArray("ztext"));
    QCOMPARE(readBytes(path("first.htm")), QByteArray("text"));
}

void FilesTest::roundTripKeepsEveryByte_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("CR LF") << QByteArray("<P>\x93\xfa\x96\x7b</P>\r\n<BR>\r\n");
    QTest::newRow("LF") << QByteArray("a\nb\n");
    QTest::newRow("CR") << QByteArray("a\rb\r");
    QTest::newRow("mixed, no end") << QByteArray("a\r\nb\nc\rd\r\r\ne");
    QTest::newRow("not code page 932") << QByteArray("\x82<\x85\xff\xfd\x80\xa0 \xf0\x40 \xfc");
    QTest::newRow("NUL") << QByteArray("a\0b", 3);
}

void FilesTest::roundTripKeepsEveryByte()
{
    QFETCH(QByteArray, bytes);
    writeBytes(path("round.htm"), bytes);
    Window w;
    openThroughMenu(w, path("round.htm"));
    w.trigger("saven");
    QCOMPARE(readBytes(path("round.htm")), bytes);
    // Typing elsewhere in the document leaves the other line ends alone.
    w.mains().setSelStart(0);
    QTest::keyClick(&w.mains(), Qt::Key_Q);
    w.trigger("saven");
    QCOMPARE(readBytes(path("round.htm")), QByteArray("q") + bytes);
}

void FilesTest::failedOpenChangesNothing_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("missing file") << QStringLiteral("missing.htm");
    QTest::newRow("folder") << QStringLiteral(".");
    QTest::newRow("device") << QStringLiteral("/dev/zero");
    QTest::newRow("FIFO") << QStringLiteral("fifo");
}

void FilesTest::failedOpenChangesNothing()
{
    QFETCH(QString, target);
    if (target == QLatin1String("fifo"))
        QCOMPARE(mkfifo(QFile::encodeName(path("fifo")).constData(), 0600), 0);
    const QString full = target.startsWith(u'/') ? target : QDir(m_dir.path()).filePath(target);
    Window w;
    writeBytes(path("current.htm"), "current");
    openThroughMenu(w, path("current.htm"));
    QTest::keyClick(&w.mains(), Qt::Key_X);
    const Snapshot before(w);
    openThroughMenu(w, full);
    QVERIFY(Snapshot(w) == before);
    QCOMPARE(w.fakes.messages.shown.size(), 1);
    QVERIFY(w.fakes.messages.shown.front().startsWith(QStringLiteral("error:")));
    QVERIFY(w.fakes.messages.shown.front().contains(full));
    QFile::remove(path("fifo"));
}

void FilesTest::failedSaveChangesNothing_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("missing folder") << QStringLiteral("no/such/folder/x.htm");
    QTest::newRow("folder") << QStringLiteral("sub");
    QTest::newRow("device that refuses data") << QStringLiteral("/dev/full");
}

void FilesTest::failedSaveChangesNothing()
{
    QFETCH(QString, target);
    QDir(m_dir.path()).mkdir(QStringLiteral("sub"));
    const QString full = target.startsWith(u'/') ? target : QDir(m_dir.path()).filePath(target);
    for (const char *command : {"saves", "saven"}) {
        Window w;
        writeBytes(path("kept.htm"), "kept");
        openThroughMenu(w, path("kept.htm"));
        if (QLatin1String(command) == QLatin1String("saven")) {
            w.fakes.dialogs.fileAnswers.push_back(path("kept.htm"));
            w.trigger("saves");
        }
        QTest::keyClick(&w.mains(), Qt::Key_X);
        const Snapshot before(w);
        w.fakes.dialogs.fileAnswers.push_back(full);
        w.trigger("saves"); // a failing save-as
        QVERIFY(Snapshot(w) == before);
        QCOMPARE(w.fakes.messages.shown.size(), 1);
        QVERIFY(w.fakes.messages.shown.front().startsWith(QStringLiteral("error:")));
        QVERIFY(w.fakes.messages.shown.front().contains(full));
        QCOMPARE(readBytes(path("kept.htm")), QByteArray("kept"));
    }
    QVERIFY(QFileInfo(QStringLiteral("/dev/full")).exists() && !QFileInfo(QStringLiteral("/dev/full")).isFile());
}

void FilesTest::fullDiskLeavesTheOldFileWhole()
{
    const QString mountPoint = path("tiny");
    QDir().mkpath(mountPoint);
    if (mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", 0, "size=64k") != 0)
        QSKIP("cannot mount a small file system here (needs root)");
    const QString doc = mountPoint + QStringLiteral("/doc.htm");
    writeBytes(doc, "old text");
    {
        QFile filler(mountPoint + QStringLiteral("/filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }
    Window w;
    openThroughMenu(w, doc);
    w.mains().setText(QString(20000, u'x'));
    const QString caption = w.form->windowTitle();
    w.trigger("saven");
    QCOMPARE(readBytes(doc), QByteArray("old text"));
    QCOMPARE(w.form->windowTitle(), caption);
    QCOMPARE(w.fakes.messages.shown.size(), 1);
    QVERIFY(w.fakes.messages.shown.front().startsWith(QStringLiteral("error:")));
    umount2(QFile::encodeName(mountPoint).constData(), MNT_DETACH);
}

void FilesTest::saveKeepsPermissionsAndSymbolicLinks()
{
    writeBytes(path("target.htm"), "target");
    QVERIFY(QFile::setPermissions(path("target.htm"), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    QVERIFY(QFile::link(path("target.htm"), path("link.htm")));
    Window w;
    openThroughMenu(w, path("link.htm"));
    QTest::keyClick(&w.mains(), Qt::Key_N);
    w.trigger("saven");
    QVERIFY(QFileInfo(path("link.htm")).isSymLink());
    QCOMPARE(readBytes(path("target.htm")), QByteArray("ntarget"));
    struct stat info {};
    QCOMPARE(stat(QFile::encodeName(path("target.htm")).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, mode_t(0640));
}

void FilesTest::unencodableCharactersAreNeverWrittenSilently()
{
    Window w;
    writeBytes(path("u.htm"), "before");
    openThroughMenu(w, path("u.htm"));
    w.mains().setText(QStringLiteral("<P>\r\nok \U0001F600 and \u00A5</P>"));
    const QString caption = w.form->windowTitle();

    w.fakes.messages.confirmAnswer = false;
    w.trigger("saven");
    QCOMPARE(readBytes(path("u.htm")), QByteArray("before"));
    QCOMPARE(w.form->windowTitle(), caption);
    QCOMPARE(w.fakes.messages.shown.size(), 1);
    const QString question = w.fakes.messages.shown.front();
    QVERIFY(question.contains(QStringLiteral("U+1F600")));
    QVERIFY(question.contains(QStringLiteral(" 2 "))); // how many
    QVERIFY(question.contains(QStringLiteral("2 行目")));
    QVERIFY(question.contains(QStringLiteral("4 文字目")));

    w.fakes.messages.confirmAnswer = true;
    w.trigger("saven");
    QCOMPARE(readBytes(path("u.htm")), QByteArray("<P>\r\nok &#128512; and &#165;</P>"));
}

void FilesTest::newAsksBeepsAndEmptiesTheDocument()
{
    Window w;
    writeBytes(path("n.htm"), "document");
    openThroughMenu(w, path("n.htm"));
    QTest::keyClick(&w.mains(), Qt::Key_X);
    w.trigger("rightturn");
    bool focusOnOk = false;
    whenModalOpens([&](QWidget *dialog) {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("caution"));
        QCOMPARE(dialog->findChild<QLabel *>(QStringLiteral("Label1"))->text(),
                 QStringLiteral("ファイルを新規作成します。よろしいですか？"));
        QVERIFY(!dialog->findChild<QLabel *>(QStringLiteral("Image1"))->pixmap().isNull());
        focusOnOk = QApplication::focusWidget() == dialog->findChild<QPushButton *>(QStringLiteral("Oks"));
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("Oks")), Qt::LeftButton);
    });
    w.trigger("news");
    QVERIFY(focusOnOk);
    QCOMPARE(w.fakes.beeper.beeps, 1);
    QCOMPARE(w.mains().Text(), QString());
    QCOMPARE(w.mains2().Text(), QString());
    QCOMPARE(w.form->windowTitle(), QStringLiteral("holvane"));
    QCOMPARE(w.form->fileDialog().FileName, QString());
    QVERIFY(w.item("rightturn")->isChecked());
    w.undo(); // the snapshots outlive New
    QCOMPARE(w.mains2().Text(), QStringLiteral("document"));
    w.fakes.dialogs.fileAnswers.push_back(std::nullopt);
    w.trigger("saven");
    QCOMPARE(w.fakes.dialogs.fileDialogsShown.last(), QStringLiteral("save:"));
}

void FilesTest::newCancelledChangesNothing()
{
    Window w;
    writeBytes(path("c.htm"), "stays");
    openThroughMenu(w, path("c.htm"));
    const Snapshot before(w);
    whenModalOpens([](QWidget *dialog) {
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("Cancels")), Qt::LeftButton);
    });
    w.trigger("news");
    QCOMPARE(w.fakes.beeper.beeps, 1);
    QVERIFY(Snapshot(w) == before);
    whenModalOpens([](QWidget *dialog) { dialog->close(); }); // the title bar's close
    w.trigger("news");
    QVERIFY(Snapshot(w) == before);
}

QTEST_MAIN(FilesTest)
#include "test_files.moc"
