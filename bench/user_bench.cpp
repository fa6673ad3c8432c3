#include "user_bench.h"

#include "app/main_window.h"
#include "documents/cp932_codec.h"
#include "editor/edit_pane.h"
#include "fakes.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QProcess>
#include <QRandomGenerator>
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

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
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

void sendKey(QWidget *target, int key, const QString &text)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &release);
}

// Milliseconds for `work` until its change is laid out and painted: the
// repaint the change asked for runs with the events it posted.
double toScreen(EditPane &, const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    QCoreApplication::sendPostedEvents();
    return timer.nsecsElapsed() / 1e6;
}

struct Figures {
    double open = 0, key = 0, tag = 0, undo = 0, openPeakMb = 0, peakMb = 0;
};

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

} // namespace

int documentChild(int argc, char *argv[])
{
    const qint64 started = QByteArray(argv[3]).toLongLong();
    QApplication app(argc, argv);
    testing::FakeServices fakes;
    MainWindow window(fakes.services());
    window.openFromCommandLine(QString::fromLocal8Bit(argv[2]));
    EditPane &pane = window.activePane();

    // Ready: the first paint of the pane, with the document in it, is done.
    struct FirstPaint : QObject {
        qint64 at = 0;
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::Paint && at == 0)
                QTimer::singleShot(0, this, [this] { at = monotonicNs(); });
            return false;
        }
    } firstPaint;
    pane.viewport()->installEventFilter(&firstPaint);
    window.show();
    while (firstPaint.at == 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    pane.viewport()->removeEventFilter(&firstPaint);

    Figures f;
    f.open = (firstPaint.at - started) / 1e6;
    pane.lineCount(); // the whole document in the display: the memory of a document open
    f.openPeakMb = peakMb();
    if (argc > 4) { // profiling the opening alone
        std::printf("%.3f %.1f\n", f.open, f.openPeakMb);
        return 0;
    }
    const qsizetype middle = pane.text().size() / 2;
    pane.setSelectionStart(middle);
    std::vector<double> keys;
    for (int i = 0; i < 15; ++i)
        keys.push_back(toScreen(pane, [&] { sendKey(&pane, Qt::Key_A, QStringLiteral("a")); }));
    std::vector<double> tags, undos;
    for (int i = 0; i < 5; ++i) {
        pane.setSelectionStart(middle);
        pane.setSelectionLength(200);
        tags.push_back(toScreen(pane, [&] { window.action("tag.bold")->trigger(); }));
        undos.push_back(toScreen(pane, [&] { window.action("edit.undo")->trigger(); }));
    }
    f.key = median(keys);
    f.tag = median(tags);
    f.undo = median(undos);
    f.peakMb = peakMb();
    std::printf("%.3f %.3f %.3f %.3f %.1f %.1f\n", f.open, f.key, f.tag, f.undo, f.openPeakMb, f.peakMb);
    return 0;
}

void userBenchmark(const QString &program, const QString &japaneseText)
{
    QTemporaryDir dir;
    const std::pair<const char *, QByteArray> documents[] = {
        {"small page (2 KB)", pageOfLines(2 * 1024, japaneseText)},
        {"10 MiB, short lines", pageOfLines(10 * 1024 * 1024, japaneseText)},
        {"the same in UTF-8", pageOfLines(10 * 1024 * 1024, japaneseText, true)},
        {"2 MiB on one line", oneLinePage(2 * 1024 * 1024, japaneseText)},
    };
    constexpr int kRuns = 5;
    std::printf("documents as a user opens them (median of %d fresh processes, QT_QPA_PLATFORM=%s):\n", kRuns,
                qgetenv("QT_QPA_PLATFORM").constData());
    std::printf("  %-22s %9s %8s %8s %8s %14s %14s\n", "document", "ready ms", "key ms", "tag ms", "undo ms",
                "MiB when open", "MiB after all");
    int index = 0;
    for (const auto &[label, bytes] : documents) {
        const QString path = dir.filePath(QStringLiteral("doc%1.html").arg(index++));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return;
        file.close();
        std::vector<double> open, key, tag, undo, openPeak, peak;
        for (int run = 0; run < kRuns; ++run) {
            QProcess child;
            child.setStandardErrorFile(QProcess::nullDevice());
            const qint64 started = monotonicNs();
            child.start(program, {QStringLiteral("--document"), path, QString::number(started)});
            if (!child.waitForFinished(600'000) || child.exitCode() != 0) {
                std::printf("  %s: the child failed\n", label);
                return;
            }
            const QList<QByteArray> fields = child.readAllStandardOutput().simplified().split(' ');
            if (fields.size() != 6)
                return;
            open.push_back(fields[0].toDouble());
            key.push_back(fields[1].toDouble());
            tag.push_back(fields[2].toDouble());
            undo.push_back(fields[3].toDouble());
            openPeak.push_back(fields[4].toDouble());
            peak.push_back(fields[5].toDouble());
        }
        std::printf("  %-22s %9.1f %8.2f %8.2f %8.2f %14.0f %14.0f\n", label, median(open), median(key),
                    median(tag), median(undo), median(openPeak), median(peak));
    }
}

} // namespace holvane::bench
