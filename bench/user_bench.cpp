#include "user_bench.h"

#include "bench_support.h"

#include "app/main_window.h"
#include "documents/cp932_codec.h"
#include "editor/edit_pane.h"
#include "fakes.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace holvane::bench {
namespace {

qint64 monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// A minified page: markup and Japanese text without a line break, and an
// image inlined as base64.
QByteArray oneLinePage(qsizetype bytesWanted, const QString &japanese)
{
    QByteArray page = "<!DOCTYPE html><html><head><meta charset=\"Shift_JIS\"><title>"
                      + cp932::encode(japanese.left(20)).bytes + "</title></head><body>";
    for (int i = 0; i < 20; ++i)
        page += "<div class=\"c" + QByteArray::number(i) + "\"><p>" + cp932::encode(japanese.mid(i * 40, 40)).bytes
                + "</p></div>";
    page += "<img alt=\"\" src=\"data:image/png;base64,";
    QRandomGenerator random(14);
    QByteArray image(qsizetype((bytesWanted - page.size()) * 3 / 4), Qt::Uninitialized);
    for (char &c : image)
        c = char(random.bounded(256));
    page += image.toBase64() + "\"></body></html>";
    return page;
}

// Japanese HTML with CR LF lines of about 80 characters, in code page 932
// or, the same text, in UTF-8.
QByteArray pageOfLines(qsizetype bytesWanted, const QString &japanese, bool utf8 = false)
{
    QByteArray page;
    QByteArray cp932Page;
    for (qsizetype i = 0; cp932Page.size() < bytesWanted; ++i) {
        const QString line = QStringLiteral("<P>%1</P>\r\n").arg(japanese.mid((i * 37) % (japanese.size() - 40), 36));
        cp932Page += cp932::encode(line).bytes;
        if (utf8)
            page += line.toUtf8();
    }
    return utf8 ? page : cp932Page;
}

// Milliseconds for `work` until its change is laid out and painted: the
// repaint the change asked for runs with the events it posted.
double toScreen(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    QCoreApplication::sendPostedEvents();
    return timer.nsecsElapsed() / 1e6;
}

// Milliseconds for `work` until the event loop has nothing left to do: what
// it painted and whatever it scheduled to run after (a zero timer counts as
// work, so a chain of them keeps the program busy, as it would the CPU).
double untilQuiet(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    auto *dispatcher = QAbstractEventDispatcher::instance();
    qint64 quiet = timer.nsecsElapsed();
    for (;;) {
        QCoreApplication::sendPostedEvents();
        if (!dispatcher->processEvents(QEventLoop::AllEvents))
            break;
        quiet = timer.nsecsElapsed();
    }
    return quiet / 1e6;
}

// The peak resident memory of this process image. Not getrusage: Linux
// carries ru_maxrss over from the parent across fork and exec.
double peakMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').front().toDouble() / 1024.0;
    return 0;
}

// Runs the event loop until the pane has painted once; returns when.
qint64 waitForFirstPaint(EditPane &pane, const std::function<void()> &onPaint = {})
{
    struct FirstPaint : QObject {
        qint64 at = 0;
        std::function<void()> then;
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::Paint && at == 0)
                QTimer::singleShot(0, this, [this] {
                    at = monotonicNs();
                    if (then)
                        then();
                });
            return false;
        }
    } firstPaint;
    firstPaint.then = onPaint;
    pane.viewport()->installEventFilter(&firstPaint);
    while (firstPaint.at == 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    pane.viewport()->removeEventFilter(&firstPaint);
    return firstPaint.at;
}

using Figures = QMap<QByteArray, double>;

void print(const Figures &figures)
{
    for (auto it = figures.cbegin(); it != figures.cend(); ++it)
        std::printf("%s=%.3f ", it.key().constData(), it.value());
    std::printf("\n");
}

// Everything a user does after the window appears, in one process: keys,
// a tag over everything and Undo, a paste, the wrap switch and keys there.
void measureEditing(MainWindow &window, testing::FakeServices &fakes, Figures &f, bool quick)
{
    EditPane &pane = window.activePane();
    const qsizetype middle = pane.buffer().size() / 2;
    pane.setSelectionStart(middle);
    std::vector<double> keys;
    for (int i = 0; i < 15; ++i)
        keys.push_back(toScreen([&] { sendKey(&pane, Qt::Key_A, Qt::NoModifier, QStringLiteral("a")); }));
    f["key"] = median(keys);
    if (quick)
        return;
    f["selectAllTag"] = toScreen([&] {
        window.action("edit.select_all")->trigger();
        window.action("tag.bold")->trigger();
    });
    f["undo"] = toScreen([&] { window.action("edit.undo")->trigger(); });
    pane.setSelectionStart(middle);
    // A MiB of the page's own text, as a user copies it from another page.
    const QString piece = pane.buffer().mid(0, 64 * 1024);
    QString pasted;
    while (pasted.size() < 1024 * 1024)
        pasted += piece;
    fakes.clipboard.content = pasted;
    f["paste1MiB"] = toScreen([&] { window.action("edit.paste")->trigger(); });
    f["wrapSwitch"] = untilQuiet([&] { window.action("edit.wrap")->trigger(); });
    EditPane &wrapping = window.activePane();
    wrapping.setSelectionStart(middle);
    keys.clear();
    for (int i = 0; i < 15; ++i)
        keys.push_back(toScreen([&] { sendKey(&wrapping, Qt::Key_A, Qt::NoModifier, QStringLiteral("a")); }));
    f["keyWrapped"] = median(keys);
}

} // namespace

int documentChild(int argc, char *argv[])
{
    const qint64 started = QByteArray(argv[3]).toLongLong();
    const QByteArray mode = argc > 4 ? QByteArray(argv[4]) : QByteArray("all");
    QApplication app(argc, argv);
    testing::FakeServices fakes;
    MainWindow window(fakes.services());
    window.openFromCommandLine(QString::fromLocal8Bit(argv[2]));
    EditPane &pane = window.activePane();
    Figures f;

    if (mode == "ctrl-end") {
        // Ctrl+End as soon as the window appears, until the last line is painted.
        window.show();
        waitForFirstPaint(pane, [&] {
            f["ctrlEnd"] = toScreen([&] { sendKey(&pane, Qt::Key_End, Qt::ControlModifier, QString()); });
        });
        print(f);
        return 0;
    }

    window.show();
    const qint64 painted = waitForFirstPaint(pane);
    f["firstScreen"] = (painted - started) / 1e6;
    f["ready"] = f["firstScreen"] + untilQuiet([] {});
    f["mibOpen"] = peakMb();
    measureEditing(window, fakes, f, mode == "quick");
    f["mibAfterAll"] = peakMb();
    print(f);
    return 0;
}

void userBenchmark(const QString &program, const QString &japaneseText)
{
    QTemporaryDir dir;
    struct Document {
        const char *label;
        QByteArray bytes;
        int runs;
        const char *mode;
    };
    std::vector<Document> documents = {
        {"small page (2 KB)", pageOfLines(2 * 1024, japaneseText), 5, "all"},
        {"10 MiB, short lines", pageOfLines(10 * 1024 * 1024, japaneseText), 5, "all"},
        {"the same in UTF-8", pageOfLines(10 * 1024 * 1024, japaneseText, true), 3, "quick"},
        {"2 MiB on one line", oneLinePage(2 * 1024 * 1024, japaneseText), 5, "all"},
        {"100 MiB, short lines", pageOfLines(100 * 1024 * 1024, japaneseText), 3, "quick"},
    };
    std::printf("documents as a user opens them (median of fresh processes, QT_QPA_PLATFORM=%s); ms unless said:\n",
                qgetenv("QT_QPA_PLATFORM").constData());
    int index = 0;
    for (Document &document : documents) {
        const QString path = dir.filePath(QStringLiteral("doc%1.html").arg(index++));
        {
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write(document.bytes) != document.bytes.size())
                return;
        }
        document.bytes = QByteArray(); // the children's memory, not ours
        QMap<QByteArray, std::vector<double>> runs;
        for (const char *mode : {document.mode, "ctrl-end"}) {
            for (int run = 0; run < document.runs; ++run) {
                QProcess child;
                child.setStandardErrorFile(QProcess::nullDevice());
                const qint64 started = monotonicNs();
                child.start(program, {QStringLiteral("--document"), path, QString::number(started),
                                      QString::fromLatin1(mode)});
                if (!child.waitForFinished(600'000) || child.exitCode() != 0) {
                    std::printf("  %s: the child failed\n", document.label);
                    return;
                }
                for (const QByteArray &field : child.readAllStandardOutput().simplified().split(' ')) {
                    const QList<QByteArray> pair = field.split('=');
                    if (pair.size() == 2)
                        runs[pair[0]].push_back(pair[1].toDouble());
                }
            }
        }
        std::printf("  %s:\n   ", document.label);
        const std::pair<const char *, const char *> order[] = {
            {"firstScreen", "first screen"}, {"ready", "ready (quiet)"}, {"ctrlEnd", "Ctrl+End"},
            {"key", "key"},                  {"selectAllTag", "Select All + tag"}, {"undo", "Undo"},
            {"paste1MiB", "1 MiB paste"},    {"wrapSwitch", "wrap switch (quiet)"}, {"keyWrapped", "key wrapped"},
            {"mibOpen", "MiB open"},         {"mibAfterAll", "MiB after all"},
        };
        for (const auto &[key, label] : order)
            if (runs.contains(key))
                std::printf(" %s %.*f,", label, key[0] == 'm' ? 0 : key[0] == 'k' ? 2 : 1, median(runs[key]));
        std::printf("\n");
    }
}

} // namespace holvane::bench
