#include "recovery_bench.h"

#include "bench_support.h"

#include "app/document_recovery.h"
#include "app/main_window.h"
#include "documents/recovery_writer.h"
#include "editor/edit_pane.h"
#include "fakes.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <future>
#include <set>
#include <vector>

namespace holvane {
namespace {

constexpr int kKeys = 60;
constexpr int kPauseMs = 80; // between keys: about twelve a second

void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Typing {
    double median = 0, p90 = 0, slowest = 0;
    int writes = 0;
};

// Keys in the middle of the page, each pressed and released, with the
// event loop running between them as it does while someone types.
Typing typeAtAPace(MainWindow &window, const QString &folder)
{
    EditPane &pane = *window.unwrappedPane();
    pane.setSelectionStart(pane.buffer().size() / 2);
    std::vector<double> times;
    std::set<qint64> written;
    for (int i = 0; i < kKeys; ++i) {
        QElapsedTimer timer;
        timer.start();
        sendKey(&pane, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        times.push_back(timer.nsecsElapsed() / 1e6);
        pause(kPauseMs);
        if (!folder.isEmpty())
            for (const QFileInfo &file : QDir(folder).entryInfoList({QStringLiteral("*.recovery")}, QDir::Files))
                written.insert(file.lastModified().toMSecsSinceEpoch());
    }
    return {percentile(times, 0.5), percentile(times, 0.9), percentile(times, 1.0), int(written.size())};
}

Typing keysOnThePage(const QString &page, const QString &folder)
{
    testing::FakeServices fakes;
    MainWindow window(fakes.services());
    if (!folder.isEmpty())
        window.keepRecoveryIn(folder);
    window.resize(800, 600);
    window.show();
    window.unwrappedPane()->setText(page);
    window.unwrappedPane()->lineCount(); // the whole page in the display
    pause(200);
    return typeAtAPace(window, folder);
}

} // namespace

void recoveryBenchmark(const QString &page)
{
    QTemporaryDir state;
    const Typing off = keysOnThePage(page, QString());
    const Typing on = keysOnThePage(page, state.filePath(QStringLiteral("keys")));

    auto opened = RecoveryStore::open(state.filePath(QStringLiteral("writes")));
    RecoveryStore &store = *opened.store;
    RecoveryRecord record;
    record.path = QStringLiteral("/home/u/big.html");
    record.text = page;
    const QString name = store.newDocumentName();
    const double write = medianMs(5, [&] { store.write(name, record); });
    const double bytes = double(QFileInfo(state.filePath(QStringLiteral("writes/") + name)).size());

    // As the window hands it over: a snapshot of the text with an edit in
    // the middle, made a string on the writer's thread.
    TextBuffer buffer(page);
    buffer.replace(page.size() / 2, 0, QStringLiteral("a"));
    const TextSnapshot edited = buffer.snapshot();
    std::promise<void> *finished = nullptr;
    RecoveryWriter writer(store, [&](const RecoveryResult &) { finished->set_value(); });
    const double job = medianMs(5, [&] {
        std::promise<void> done;
        finished = &done;
        writer.submit({name, [edited] { return edited.toString(); }, record, 0, 0});
        done.get_future().wait();
    });

    std::printf("recovery, 10 MB page (%lld characters), a key every %d ms, %d keys:\n",
                static_cast<long long>(page.size()), kPauseMs, kKeys);
    std::printf("  key press and release   %8.3f ms median, %.3f ms at 90%%, %.3f ms slowest with recovery off\n",
                off.median, off.p90, off.slowest);
    std::printf("                          %8.3f ms median, %.3f ms at 90%%, %.3f ms slowest with recovery on (%d writes meanwhile)\n",
                on.median, on.p90, on.slowest, on.writes);
    std::printf("  recovery file           %8.1f ms to write %.1f MB (encode, CRC-32, write, fsync, rename)\n", write,
                bytes / 1e6);
    std::printf("  background job          %8.1f ms from hand-over to done, the string made from its snapshot first\n",
                job);
}

} // namespace holvane
