// Nothing typed is lost: the window keeps unsaved edits in recovery files,
// offers them back at the next start, and asks before a save overwrites a
// file that another program changed since it was read.
#include "window_fixture.h"
#include "recovery_fakes.h"

#include "app/document_recovery.h"
#include "dialogs/recovery_dialog.h"
#include "documents/document_file.h"
#include "documents/recovery_store.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace holvane;
using namespace holvane::testing;

Q_DECLARE_METATYPE(holvane::RecoveryChoice)

namespace {

// The editor as main() starts it: recovery first, then the argument, then
// the question once the window shows.
struct Editor {
    FakeServices fakes;
    std::unique_ptr<MainWindow> form;

    explicit Editor(const QString &folder, const QString &argument = QString(), RecoveryQuestion *question = nullptr)
    {
        form = std::make_unique<MainWindow>(fakes.services());
        form->keepRecoveryIn(folder);
        form->openFromCommandLine(argument);
        form->show();
        QApplication::setActiveWindow(form.get());
        if (!QTest::qWaitForWindowExposed(form.get()))
            qWarning("main window not exposed");
        form->activePane().setFocus();
        if (question)
            form->offerRecoveredDocuments(*question);
    }

    EditPane &pane() const { return form->activePane(); }
    void type(const QString &keys) const { QTest::keyClicks(&pane(), keys); }
    void trigger(const char *id) const { form->action(id)->trigger(); }
    void open(const QString &path)
    {
        fakes.dialogs.fileAnswers.push_back(path);
        trigger("file.open");
    }
    // What the writer has been handed is on disk.
    void settle() const { form->bringRecoveryUpToDate(); }
};

// The file as another program leaves it after writing it.
void changeBehindTheEditorsBack(const QString &path, const QString &how)
{
    const QByteArray name = QFile::encodeName(path);
    if (how == QLatin1String("rewritten in place, same size")) {
        writeBytes(path, "other!");
    } else if (how == QLatin1String("grown")) {
        writeBytes(path, "another program's text");
    } else if (how == QLatin1String("replaced by a rename")) {
        writeBytes(path + QStringLiteral(".new"), "saved"); // the same bytes, another file
        QVERIFY(::rename((name + ".new").constData(), name.constData()) == 0);
    } else if (how == QLatin1String("only touched")) {
        struct timespec times[2] = {{0, UTIME_OMIT}, {12345, 678}};
        QVERIFY(::utimensat(AT_FDCWD, name.constData(), times, 0) == 0);
    }
}

} // namespace

class RecoveryTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void editsAreKeptUntilSavedOrNew();
    void theWindowsOwnChangesAreNoEdits();
    void nothingIsKeptWithoutAnEdit_data();
    void nothingIsKeptWithoutAnEdit();
    void theEndKeepsTheLatestEdits();
    void anotherDocumentKeepsTheEditedOne();
    void restoreOpensTheDocumentAsItWasLeft();
    void keepDiscardOrNothingToOffer_data();
    void keepDiscardOrNothingToOffer();
    void aDocumentNamedAtStartAndRecoveryFiles_data();
    void aDocumentNamedAtStartAndRecoveryFiles();
    void twoProgramsNeverTakeEachOthersFiles();
    void unreadableFilesAreReportedOnce();
    void anUnusableFolderIsReported();
    void aFailedWriteIsReportedOnce();
    void saveAsksBeforeOverwritingAnotherProgramsChange_data();
    void saveAsksBeforeOverwritingAnotherProgramsChange();
    void aRestoredDocumentStillNoticesAChange();
    void theQuestionListsAndAnswers_data();
    void theQuestionListsAndAnswers();

private:
    QString path(const char *name) const { return m_files.filePath(QString::fromLatin1(name)); }
    QString state() const { return m_state->path(); }
    QTemporaryDir m_files;
    std::unique_ptr<QTemporaryDir> m_state;
};

void RecoveryTest::init()
{
    m_state = std::make_unique<QTemporaryDir>();
}

void RecoveryTest::editsAreKeptUntilSavedOrNew()
{
    writeBytes(path("kept.html"), "<p>\xe6\x97\xa5\xe6\x9c\xac</p>\r\n"); // UTF-8
    Editor e(state());
    e.open(path("kept.html"));
    e.pane().setSelectionStart(3);
    e.type(QStringLiteral("ab"));
    QTRY_COMPARE_WITH_TIMEOUT(recoveryFiles(state()).size(), std::size_t(1), 5000);
    e.settle();
    RecoveryRecord record = recoveryFiles(state()).front().record;
    QCOMPARE(record.text, QStringLiteral("<p>ab日本</p>\r\n"));
    QCOMPARE(record.path, path("kept.html"));
    QCOMPARE(record.encoding, Encoding::Utf8);
    QCOMPARE(record.caret, qint64(5));
    QCOMPARE(record.onDisk, fileIdentity(path("kept.html")));
    QCOMPARE(record.writerPid, quint32(::getpid()));

    e.trigger("file.save");
    e.settle();
    QVERIFY(recoveryFiles(state()).empty());

    e.type(QStringLiteral("c"));
    e.settle();
    QCOMPARE(recoveryFiles(state()).size(), std::size_t(1));
    whenModalOpens([](QWidget *dialog) {
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("okButton")), Qt::LeftButton);
    });
    e.trigger("file.new");
    e.settle();
    QVERIFY(recoveryFiles(state()).empty());
}

void RecoveryTest::theWindowsOwnChangesAreNoEdits()
{
    writeBytes(path("own.htm"), "own");
    Editor e(state(), path("own.htm"));
    e.open(path("own.htm"));
    e.trigger("edit.wrap");
    e.trigger("edit.wrap");
    e.fakes.messages.confirmAnswer = true;
    e.trigger("file.encoding.reopen.utf8");
    whenModalOpens([](QWidget *dialog) {
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("okButton")), Qt::LeftButton);
    });
    e.trigger("file.new");
    QCOMPARE(e.form->recovery().edits(), quint64(0));
    e.type(QStringLiteral("k"));
    QVERIFY(e.form->recovery().edits() > 0);
}

void RecoveryTest::nothingIsKeptWithoutAnEdit_data()
{
    QTest::addColumn<QString>("what");
    QTest::newRow("opening") << "open";
    QTest::newRow("the wrap switch, both ways") << "wrap";
    QTest::newRow("a big document filling its pane") << "big";
    QTest::newRow("an edit undone") << "undo";
    QTest::newRow("saved in another encoding") << "convert";
    QTest::newRow("typed and taken back in a new window") << "untitled";
}

void RecoveryTest::nothingIsKeptWithoutAnEdit()
{
    QFETCH(QString, what);
    const QString big = QStringLiteral("<P>日本語の段落です。</P>\r\n").repeated(what == QLatin1String("big") ? 20'000 : 2);
    writeBytes(path("quiet.html"), big.toUtf8());
    Editor e(state());
    if (what != QLatin1String("untitled"))
        e.open(path("quiet.html"));
    if (what == QLatin1String("wrap")) {
        e.trigger("edit.wrap");
        e.trigger("edit.wrap");
    } else if (what == QLatin1String("big")) {
        QTRY_VERIFY(e.pane().lineCount() > 0); // the display filled, as after a paint
    } else if (what == QLatin1String("undo") || what == QLatin1String("untitled")) {
        e.type(QStringLiteral("x"));
        e.settle();
        QCOMPARE(recoveryFiles(state()).size(), std::size_t(1));
        if (what == QLatin1String("undo"))
            e.trigger("edit.undo");
        else
            QTest::keyClick(&e.pane(), Qt::Key_Backspace);
    } else if (what == QLatin1String("convert")) {
        e.type(QStringLiteral("x"));
        e.trigger("file.encoding.save.utf16le");
        e.trigger("file.save");
    }
    QTest::qWait(50);
    e.settle();
    QVERIFY(recoveryFiles(state()).empty());
}

void RecoveryTest::theEndKeepsTheLatestEdits()
{
    {
        Editor e(state());
        e.form->recovery().setInterval(std::chrono::hours(1));
        e.type(QStringLiteral("first"));
        e.settle();
        e.type(QStringLiteral(" and last"));
    } // the window goes as at the menu's exit or its close button, without asking
    const auto files = recoveryFiles(state());
    QCOMPARE(files.size(), std::size_t(1));
    QCOMPARE(files.front().record.text, QStringLiteral("first and last"));
    QCOMPARE(files.front().record.path, QString());
    // And no lock is left: the program that wrote it is gone.
    QCOMPARE(QDir(state()).entryList({QStringLiteral("*.lock")}, QDir::Files), QStringList());
}

void RecoveryTest::anotherDocumentKeepsTheEditedOne()
{
    writeBytes(path("a.htm"), "A");
    writeBytes(path("b.htm"), "B");
    {
        Editor e(state());
        e.form->recovery().setInterval(std::chrono::hours(1)); // only the change of document writes
        e.open(path("a.htm"));
        e.type(QStringLiteral("1"));
        e.open(path("b.htm"));
        e.settle();
        auto files = recoveryFiles(state());
        QCOMPARE(files.size(), std::size_t(1));
        QCOMPARE(files.front().record.text, QStringLiteral("1A"));
        QCOMPARE(files.front().record.path, path("a.htm"));
        QCOMPARE(e.pane().text(), QStringLiteral("B"));

        // Reading B again over its edits throws them away, with its file.
        e.type(QStringLiteral("2"));
        e.settle();
        QCOMPARE(recoveryFiles(state()).size(), std::size_t(2));
        e.fakes.messages.confirmAnswer = true;
        e.trigger("file.encoding.reopen.utf8");
        e.settle();
        files = recoveryFiles(state());
        QCOMPARE(files.size(), std::size_t(1));
        QCOMPARE(files.front().record.path, path("a.htm"));
    }
    FakeRecoveryQuestion question;
    Editor next(state(), QString(), &question);
    QCOMPARE(question.asked.size(), std::size_t(1));
    QCOMPARE(question.asked.front().size(), std::size_t(1));
    QCOMPARE(question.asked.front().front().path, path("a.htm"));
    QCOMPARE(question.asked.front().front().firstLine, QStringLiteral("1A"));
}

void RecoveryTest::restoreOpensTheDocumentAsItWasLeft()
{
    writeBytes(path("page.html"), QByteArray("\xef\xbb\xbf<p>\xe6\x97\xa5</p>\r\n<p>x</p>")); // UTF-8 with a mark
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    {
        Editor e(state());
        e.open(path("page.html"));
        e.pane().setSelectionStart(3);
        e.type(QStringLiteral("new "));
    }
    {
        Editor other(state()); // an unnamed one, left a little later
        other.type(QStringLiteral("untitled"));
        QTest::keyClick(&other.pane(), Qt::Key_Return);
        other.type(QStringLiteral("second line"));
    }
    FakeRecoveryQuestion question;
    question.answers.push_back({RecoveryChoice::Restore, 1});
    Editor e(state(), QString(), &question);

    QCOMPARE(question.asked.size(), std::size_t(1));
    const std::vector<RecoveryOffer> &offers = question.asked.front();
    QCOMPARE(offers.size(), std::size_t(2));
    QCOMPARE(offers[0].path, QString()); // newest first
    QCOMPARE(offers[0].firstLine, QStringLiteral("untitled"));
    QCOMPARE(offers[1].path, path("page.html"));
    QCOMPARE(offers[1].firstLine, QStringLiteral("<p>new 日</p>"));
    for (const RecoveryOffer &offer : offers)
        QVERIFY(offer.written.toMSecsSinceEpoch() >= before && offer.written <= QDateTime::currentDateTime());

    const QString restored = QStringLiteral("<p>new 日</p>\r\n<p>x</p>");
    QCOMPARE(e.form->unwrappedPane()->text(), restored);
    QCOMPARE(e.form->wrappingPane()->text(), restored);
    QCOMPARE(e.form->undoPair().before.toString(), restored);
    QCOMPARE(e.form->windowTitle(), path("page.html") + QStringLiteral(" [UTF-8] - holvas"));
    QCOMPARE(e.form->fileDialog().path, path("page.html"));
    QCOMPARE(e.form->documentFormat(), (DocumentFormat{Encoding::Utf8, true}));
    QCOMPARE(e.pane().selectionStart(), qsizetype(7));

    // The file is this program's now; the unnamed one stays for later.
    const QString session = e.form->recovery().store()->session();
    auto files = recoveryFiles(state());
    QCOMPARE(files.size(), std::size_t(2));
    QCOMPARE(std::count_if(files.begin(), files.end(), [&](const RecoveryFile &f) { return f.name.startsWith(session); }), 1);

    // Edited, and saved like any edited document, in its encoding.
    e.trigger("file.save");
    e.settle();
    QVERIFY(e.fakes.messages.shown.isEmpty());
    QCOMPARE(readBytes(path("page.html")), QByteArray("\xef\xbb\xbf") + restored.toUtf8());
    files = recoveryFiles(state());
    QCOMPARE(files.size(), std::size_t(1));
    QCOMPARE(files.front().record.path, QString());
}

void RecoveryTest::keepDiscardOrNothingToOffer_data()
{
    QTest::addColumn<bool>("leftBehind");
    QTest::addColumn<QList<RecoveryChoice>>("answers");
    QTest::addColumn<bool>("confirmDiscard");
    QTest::addColumn<int>("questions"); // how often the question came
    QTest::addColumn<bool>("filesStay");
    QTest::newRow("nothing to offer") << false << QList<RecoveryChoice>{} << false << 0 << false;
    QTest::newRow("keep for later") << true << QList<RecoveryChoice>{RecoveryChoice::Keep} << false << 1 << true;
    QTest::newRow("discard") << true << QList<RecoveryChoice>{RecoveryChoice::Discard} << true << 1 << false;
    QTest::newRow("discard, then not sure") << true << QList{RecoveryChoice::Discard, RecoveryChoice::Keep} << false << 2
                                            << true;
}

void RecoveryTest::keepDiscardOrNothingToOffer()
{
    QFETCH(bool, leftBehind);
    QFETCH(QList<RecoveryChoice>, answers);
    QFETCH(bool, confirmDiscard);
    QFETCH(int, questions);
    QFETCH(bool, filesStay);
    if (leftBehind) {
        Editor e(state());
        e.type(QStringLiteral("left behind"));
    }
    FakeRecoveryQuestion question;
    for (const RecoveryChoice choice : answers)
        question.answers.push_back({choice, 0});
    {
        FakeServices fakes;
        fakes.messages.confirmAnswer = confirmDiscard;
        MainWindow form(fakes.services());
        form.keepRecoveryIn(state());
        form.openFromCommandLine(QString());
        form.offerRecoveredDocuments(question);
        QCOMPARE(int(question.asked.size()), questions);
        QCOMPARE(form.windowTitle(), QStringLiteral("holvas v1.20")); // nothing restored
        QCOMPARE(form.activePane().text(), QString());
        const bool discardAsked = answers.contains(RecoveryChoice::Discard);
        QCOMPARE(fakes.messages.shown.size(), discardAsked ? 1 : 0);
        QCOMPARE(recoveryFiles(state()).size(), std::size_t(filesStay ? 1 : 0));
    }
    QCOMPARE(recoveryFiles(state()).size(), std::size_t(filesStay ? 1 : 0));
}

void RecoveryTest::aDocumentNamedAtStartAndRecoveryFiles_data()
{
    QTest::addColumn<RecoveryChoice>("choice");
    QTest::newRow("keep: the named document stays") << RecoveryChoice::Keep;
    QTest::newRow("restore: it takes the named one's place") << RecoveryChoice::Restore;
}

void RecoveryTest::aDocumentNamedAtStartAndRecoveryFiles()
{
    QFETCH(RecoveryChoice, choice);
    writeBytes(path("named.htm"), "named");
    {
        Editor e(state(), path("named.htm"));
        e.type(QStringLiteral("edited "));
    }
    FakeRecoveryQuestion question;
    question.answers.push_back({choice, 0});
    Editor e(state(), path("named.htm"), &question);
    QCOMPARE(question.asked.size(), std::size_t(1));
    QCOMPARE(e.pane().text(), choice == RecoveryChoice::Keep ? QStringLiteral("named") : QStringLiteral("edited named"));
    QCOMPARE(e.form->windowTitle(), path("named.htm") + QStringLiteral(" - holvas"));
}

void RecoveryTest::twoProgramsNeverTakeEachOthersFiles()
{
    Editor first(state());
    first.type(QStringLiteral("live"));
    first.settle();
    QCOMPARE(recoveryFiles(state()).size(), std::size_t(1));
    FakeRecoveryQuestion question;
    Editor second(state(), QString(), &question);
    QVERIFY(question.asked.empty());
    second.type(QStringLiteral("also live"));
    second.settle();
    QCOMPARE(recoveryFiles(state()).size(), std::size_t(2));
}

void RecoveryTest::unreadableFilesAreReportedOnce()
{
    const QString damaged = QDir(state()).filePath(QStringLiteral("7-dead-1.recovery"));
    QVERIFY(QDir().mkpath(state()));
    RecoveryRecord record;
    record.text = QStringLiteral("a text cut short");
    const QByteArray cut = encodeRecovery(record).chopped(9);
    writeBytes(damaged, cut);
    for (int start = 0; start < 2; ++start) {
        FakeRecoveryQuestion question;
        Editor e(state(), QString(), &question);
        QVERIFY(question.asked.empty());
        QCOMPARE(e.fakes.messages.shown.size(), start == 0 ? 1 : 0);
        if (start == 0) {
            QVERIFY(e.fakes.messages.shown.front().startsWith(QStringLiteral("error:")));
            QVERIFY(e.fakes.messages.shown.front().contains(QStringLiteral("7-dead-1.recovery.damaged")));
        }
    }
    QCOMPARE(readBytes(damaged + QStringLiteral(".damaged")), cut);
}

void RecoveryTest::anUnusableFolderIsReported()
{
    writeBytes(path("not-a-folder"), "x");
    FakeRecoveryQuestion question;
    Editor e(path("not-a-folder") + QStringLiteral("/holvane"), QString(), &question);
    QCOMPARE(e.fakes.messages.shown.size(), 1);
    QVERIFY(e.fakes.messages.shown.front().startsWith(QStringLiteral("error:")));
    e.type(QStringLiteral("still an editor"));
    e.settle();
    QCOMPARE(e.pane().text(), QStringLiteral("still an editor"));
}

void RecoveryTest::aFailedWriteIsReportedOnce()
{
    const QString mountPoint = m_state->filePath(QStringLiteral("tiny"));
    QDir().mkpath(mountPoint);
    if (::mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", 0, "size=64k") != 0)
        QSKIP("cannot mount a small file system here (needs root)");
    {
        Editor e(mountPoint);
        e.pane().setText(QString(40'000, u'x')); // 80 KB as UTF-16: more than there is room for
        QTRY_COMPARE_WITH_TIMEOUT(e.fakes.messages.shown.size(), 1, 5000);
        QVERIFY(e.fakes.messages.shown.front().startsWith(QStringLiteral("error:")));
        e.type(QStringLiteral("y"));
        e.settle();
        QCoreApplication::processEvents();
        QCOMPARE(e.fakes.messages.shown.size(), 1);
        e.pane().setText(QStringLiteral("fits"));
        e.settle();
        QCoreApplication::processEvents();
        QCOMPARE(recoveryFiles(mountPoint).front().record.text, QStringLiteral("fits"));
    }
    ::umount2(QFile::encodeName(mountPoint).constData(), MNT_DETACH);
}

void RecoveryTest::saveAsksBeforeOverwritingAnotherProgramsChange_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("asks");
    QTest::newRow("no change") << "" << false;
    QTest::newRow("rewritten in place, same size") << "rewritten in place, same size" << true;
    QTest::newRow("grown") << "grown" << true;
    QTest::newRow("replaced by a rename") << "replaced by a rename" << true;
    QTest::newRow("only touched") << "only touched" << true;
    QTest::newRow("deleted: written again") << "deleted" << false;
}

void RecoveryTest::saveAsksBeforeOverwritingAnotherProgramsChange()
{
    QFETCH(QString, change);
    QFETCH(bool, asks);
    writeBytes(path("shared.htm"), "saved");
    Window w;
    w.fakes.dialogs.fileAnswers.push_back(path("shared.htm"));
    w.trigger("file.open");
    QTest::keyClick(&w.unwrappedPane(), Qt::Key_M);
    w.trigger("file.save");
    QTest::keyClick(&w.unwrappedPane(), Qt::Key_N); // written by us: no question
    QTest::qWait(20); // file times move on a coarse clock: a change within the same tick would not show
    if (change == QLatin1String("deleted"))
        QFile::remove(path("shared.htm"));
    else
        changeBehindTheEditorsBack(path("shared.htm"), change);
    const QByteArray theirs = QFile::exists(path("shared.htm")) ? readBytes(path("shared.htm")) : QByteArray();
    const QString caption = w.form->windowTitle();

    w.fakes.messages.confirmAnswer = false;
    w.trigger("file.save");
    QCOMPARE(w.fakes.messages.shown.size(), asks ? 1 : 0);
    if (asks) {
        QVERIFY(w.fakes.messages.shown.front().startsWith(QStringLiteral("confirm:")));
        QVERIFY(w.fakes.messages.shown.front().contains(path("shared.htm")));
        QCOMPARE(readBytes(path("shared.htm")), theirs); // no: nothing written, nothing changed
        QCOMPARE(w.form->windowTitle(), caption);
        w.fakes.messages.confirmAnswer = true;
        w.trigger("file.save");
        QCOMPARE(w.fakes.messages.shown.size(), 2);
    }
    QCOMPARE(readBytes(path("shared.htm")), QByteArray("mnsaved"));
    w.trigger("file.save"); // what we wrote is what we know
    QCOMPARE(w.fakes.messages.shown.size(), asks ? 2 : 0);
}

void RecoveryTest::aRestoredDocumentStillNoticesAChange()
{
    writeBytes(path("later.htm"), "as read");
    {
        Editor e(state(), path("later.htm"));
        e.type(QStringLiteral("x"));
    }
    changeBehindTheEditorsBack(path("later.htm"), QStringLiteral("grown")); // say, a git checkout
    FakeRecoveryQuestion question;
    question.answers.push_back({RecoveryChoice::Restore, 0});
    Editor e(state(), QString(), &question);
    e.trigger("file.save");
    QCOMPARE(e.fakes.messages.shown.size(), 1);
    QVERIFY(e.fakes.messages.shown.front().startsWith(QStringLiteral("confirm:")));
    QCOMPARE(readBytes(path("later.htm")), QByteArray("another program's text"));
}

void RecoveryTest::theQuestionListsAndAnswers_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<RecoveryChoice>("choice");
    QTest::addColumn<int>("index");
    QTest::newRow("restore the first") << "restoreButton" << RecoveryChoice::Restore << 0;
    QTest::newRow("restore the second") << "second" << RecoveryChoice::Restore << 1;
    QTest::newRow("discard") << "discardButton" << RecoveryChoice::Discard << 0;
    QTest::newRow("later") << "laterButton" << RecoveryChoice::Keep << 0;
    QTest::newRow("Escape") << "escape" << RecoveryChoice::Keep << 0;
    QTest::newRow("closed") << "close" << RecoveryChoice::Keep << 0;
}

void RecoveryTest::theQuestionListsAndAnswers()
{
    QFETCH(QString, action);
    QFETCH(RecoveryChoice, choice);
    QFETCH(int, index);
    const QDateTime when(QDate(2026, 12, 6), QTime(21, 5, 3));
    const std::vector<RecoveryOffer> offers = {
        {QStringLiteral("/home/u/page.html"), when, QStringLiteral("<P>日本語</P>")},
        {QString(), when.addSecs(60), QStringLiteral("untitled")},
    };
    QStringList rows;
    whenModalOpens([&](QWidget *dialog) {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("文書の復元"));
        auto *list = dialog->findChild<QTreeWidget *>(QStringLiteral("documents"));
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *item = list->topLevelItem(i);
            rows << item->text(0) + u'|' + item->text(1) + u'|' + item->text(2);
        }
        if (action == QLatin1String("escape")) {
            QTest::keyClick(list, Qt::Key_Escape);
        } else if (action == QLatin1String("close")) {
            dialog->close();
        } else if (action == QLatin1String("second")) {
            list->setCurrentItem(list->topLevelItem(1));
            QTest::keyClick(list, Qt::Key_Return);
        } else {
            QTest::mouseClick(dialog->findChild<QPushButton *>(action), Qt::LeftButton);
        }
    });
    DialogRecoveryQuestion question;
    const RecoveryAnswer answer = question.ask(nullptr, offers);
    QCOMPARE(rows, QStringList({QStringLiteral("/home/u/page.html|2026/12/06 21:05:03|<P>日本語</P>"),
                                QStringLiteral("無題|2026/12/06 21:06:03|untitled")}));
    QCOMPARE(answer.choice, choice);
    if (choice == RecoveryChoice::Restore)
        QCOMPARE(int(answer.index), index);
}

QTEST_MAIN(RecoveryTest)
#include "test_recovery.moc"
