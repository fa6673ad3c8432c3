// The ways a running editor ends besides its own menus: each leaves the
// unsaved text in its recovery file, brought up to date where the program
// is given a moment, and SIGKILL leaves what was written before it.
//
// Each case runs the editor in a child process (this program, started again
// with --editor-child), the way main() sets it up.
#include "app/document_recovery.h"
#include "app/main_window.h"
#include "documents/recovery_store.h"
#include "editor/edit_pane.h"
#include "fakes.h"
#include "platform/termination_watch.h"
#include "recovery_fakes.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace holvane;
using namespace holvane::testing;

namespace {

const QString kWritten = QStringLiteral("written");
const QString kWhole = QStringLiteral("written, then typed on");

// The child: an editor whose text is written once, then edited further
// with the writer's interval at an hour, so that only the way out can bring
// the file up to date. Then it ends as `how` says, or waits to be ended.
int editorChild(int argc, char *argv[])
{
    const QString folder = QString::fromLocal8Bit(argv[2]);
    const QByteArray how = argv[3];
    QApplication app(argc, argv);
    FakeServices fakes;
    MainWindow window(fakes.services());
    window.keepRecoveryIn(folder);
    window.recovery().setInterval(std::chrono::hours(1));
    TerminationWatch watch([&window] { window.bringRecoveryUpToDate(); }, [&window] { window.quit(); });
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 10;
    // Edits without keys: Qt's wayland plugin crashes on a key event that
    // no input device sent, and a compositor without a seat sends none.
    EditPane &pane = window.activePane();
    pane.replaceAllCaretAtEnd(TextSnapshot(kWritten));
    window.bringRecoveryUpToDate();
    pane.replaceAllCaretAtEnd(TextSnapshot(kWhole));

    QTimer::singleShot(0, [&] {
        std::printf("ready\n");
        std::fflush(stdout);
        if (how == "wayland") { // what Qt's wayland plugin does when the compositor goes
            qWarning("The Wayland connection broke. Did the Wayland compositor die?");
            ::_exit(1);
        } else if (how == "wayland-thread") { // the same, noticed on its event thread
            std::thread([] {
                qWarning("The Wayland connection broke. Did the Wayland compositor die?");
                ::_exit(1);
            }).detach();
        } else if (how == "x11") { // and its xcb plugin when the X server goes
            qWarning("The X11 connection broke (error 1). Did the X11 server die?");
            std::exit(1);
        } else if (how == "exit") {
            std::exit(3);
        } else if (how == "fatal") {
            qFatal("a fatal error somewhere");
        }
    });
    return QApplication::exec();
}

struct Child {
    QProcess process;
    bool ready = false;

    Child(const QString &folder, const QString &how, const QProcessEnvironment &environment)
    {
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--editor-child"), folder, how});
        while (!ready && process.waitForReadyRead(20'000))
            ready = process.readAllStandardOutput().contains("ready");
    }
};

QProcessEnvironment offscreen()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return environment;
}

// The text a program that is gone left, and that it left only that.
QString leftText(const QString &folder)
{
    auto opened = RecoveryStore::open(folder);
    const Orphans orphans = opened.store->takeOrphans();
    if (orphans.found.size() != 1 || !orphans.setAside.empty())
        return QStringLiteral("<%1 recovery files>").arg(orphans.found.size());
    return orphans.found.front().record.text;
}

// A display server of our own; it goes when this does. Ended with SIGTERM,
// it takes its lock file and socket with it, and its clients see their
// connection break all the same.
struct Server {
    QProcess process;
    QString name;
    void end()
    {
        process.terminate();
        if (!process.waitForFinished(10'000)) {
            process.kill();
            process.waitForFinished();
        }
    }
    ~Server() { end(); }
};

bool startXvfb(Server &server)
{
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty())
        return false;
    for (int display = 140; display < 200; ++display) {
        if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(display))
            || QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display)))
            continue;
        server.name = QStringLiteral(":%1").arg(display);
        server.process.start(xvfb, {server.name, QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(display);
        return QTest::qWaitFor([&] { return QFile::exists(socket) || server.process.state() == QProcess::NotRunning; }, 10'000)
               && server.process.state() == QProcess::Running;
    }
    return false;
}

bool startWeston(Server &server, const QString &runtime)
{
    const QString weston = QStandardPaths::findExecutable(QStringLiteral("weston"));
    const QString plugin = QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms/libqwayland-generic.so");
    if (weston.isEmpty() || !QFile::exists(plugin))
        return false;
    server.name = QStringLiteral("holvane-test-%1").arg(::getpid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    server.process.setProcessEnvironment(environment);
    server.process.start(weston, {QStringLiteral("--backend=headless-backend.so"), QStringLiteral("--socket=") + server.name,
                                  QStringLiteral("--idle-time=0")});
    return QTest::qWaitFor([&] { return QFile::exists(runtime + u'/' + server.name) || server.process.state() == QProcess::NotRunning; },
                           10'000)
           && server.process.state() == QProcess::Running;
}

} // namespace

class TerminationTest : public QObject {
    Q_OBJECT
private slots:
    void signalsEndItTheOrdinaryWay_data();
    void signalsEndItTheOrdinaryWay();
    void otherEndsStillSave_data();
    void otherEndsStillSave();
    void killLeavesTheLastWrite();
    void aLostXServer();
    void aLostWaylandCompositor();
};

void TerminationTest::signalsEndItTheOrdinaryWay_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGHUP") << SIGHUP;
    QTest::newRow("SIGINT") << SIGINT;
}

void TerminationTest::signalsEndItTheOrdinaryWay()
{
    QFETCH(int, signal);
    QTemporaryDir state;
    Child child(state.path(), QStringLiteral("wait"), offscreen());
    QVERIFY(child.ready);
    ::kill(pid_t(child.process.processId()), signal);
    QVERIFY(child.process.waitForFinished(20'000));
    QCOMPARE(child.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.process.exitCode(), 0);
    QCOMPARE(leftText(state.path()), kWhole);
}

void TerminationTest::otherEndsStillSave_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("exitCode"); // -1: killed by SIGABRT
    QTest::newRow("the wayland plugin's _exit") << "wayland" << 1;
    QTest::newRow("the same on its event thread") << "wayland-thread" << 1;
    QTest::newRow("the xcb plugin's exit") << "x11" << 1;
    QTest::newRow("exit() from elsewhere") << "exit" << 3;
    QTest::newRow("qFatal") << "fatal" << -1;
}

void TerminationTest::otherEndsStillSave()
{
    QFETCH(QString, how);
    QFETCH(int, exitCode);
    QTemporaryDir state;
    Child child(state.path(), how, offscreen());
    QVERIFY(child.ready);
    QVERIFY(child.process.waitForFinished(20'000));
    if (exitCode < 0) {
        QCOMPARE(child.process.exitStatus(), QProcess::CrashExit);
    } else {
        QCOMPARE(child.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.process.exitCode(), exitCode);
    }
    QCOMPARE(leftText(state.path()), kWhole);
}

void TerminationTest::killLeavesTheLastWrite()
{
    QTemporaryDir state;
    Child child(state.path(), QStringLiteral("wait"), offscreen());
    QVERIFY(child.ready);
    ::kill(pid_t(child.process.processId()), SIGKILL);
    QVERIFY(child.process.waitForFinished(20'000));
    QCOMPARE(leftText(state.path()), kWritten);
}

void TerminationTest::aLostXServer()
{
    Server xvfb;
    if (!startXvfb(xvfb))
        QSKIP("no Xvfb here (apt install xvfb)");
    QTemporaryDir state;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("DISPLAY"), xvfb.name);
    Child child(state.path(), QStringLiteral("wait"), environment);
    QVERIFY(child.ready);
    xvfb.end();
    QVERIFY(child.process.waitForFinished(20'000));
    QCOMPARE(child.process.exitCode(), 1);
    QVERIFY(child.process.readAllStandardError().contains("The X11 connection broke"));
    QCOMPARE(leftText(state.path()), kWhole);
}

void TerminationTest::aLostWaylandCompositor()
{
    QTemporaryDir runtime;
    QVERIFY(::chmod(QFile::encodeName(runtime.path()).constData(), 0700) == 0);
    Server weston;
    if (!startWeston(weston, runtime.path()))
        QSKIP("no weston or no Qt wayland plugin here (apt install weston qt6-wayland)");
    QTemporaryDir state;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), weston.name);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    Child child(state.path(), QStringLiteral("wait"), environment);
    QVERIFY(child.ready);
    weston.end();
    QVERIFY(child.process.waitForFinished(20'000));
    QCOMPARE(child.process.exitCode(), 1);
    QVERIFY(child.process.readAllStandardError().contains("The Wayland connection broke"));
    QCOMPARE(leftText(state.path()), kWhole);
}

int main(int argc, char *argv[])
{
    if (argc >= 4 && qstrcmp(argv[1], "--editor-child") == 0)
        return editorChild(argc, argv);
    QApplication app(argc, argv);
    TerminationTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_termination.moc"
