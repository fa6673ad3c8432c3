// Measures what a user waits for on big documents: the codec, reading and
// changing a pane's text, a key press with its undo snapshots, a tag command,
// Undo, and opening and saving a file.
//
//   ./build/holvane_bench          (runs on Qt's offscreen platform)
//   ./build/holvane_bench user     (only the documents as a user opens them)
//   ./build/holvane_bench recovery (only the cost of keeping unsaved edits)
#include "editor/edit_pane.h"
#include "app/main_window.h"
#include "documents/cp932_codec.h"
#include "bench_encodings.h"
#include "bench_support.h"
#include "fakes.h"
#include "recovery_bench.h"
#include "user_bench.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace holvane;

namespace {

// Japanese HTML with CR LF lines of about 80 characters.
QString japaneseHtml(qsizetype bytesWanted)
{
    const QStringList lines = {
        QStringLiteral("<P>日本語の文章をここに書きます。ひらがな、カタカナ、漢字が混ざった普通の段落です。</P>"),
        QStringLiteral("<TR><TD>項目</TD><TD>説明：全角記号～や①②③、半角ｶﾀｶﾅも入ります。</TD></TR>"),
        QStringLiteral("<A HREF=\"index.html\">目次へ戻る</A> <B>重要</B> <FONT COLOR=\"red\">赤い文字</FONT>"),
        QStringLiteral("  <IMG SRC=\"photo.jpg\" WIDTH=\"320\" HEIGHT=\"240\" ALT=\"写真の説明文\"><BR>"),
    };
    QString text;
    qsizetype bytes = 0;
    for (int i = 0; bytes < bytesWanted; ++i) {
        const QString &line = lines[i % lines.size()];
        text += line;
        text += u"\r\n";
        bytes += cp932::encode(line).bytes.size() + 2;
    }
    return text;
}

void pane(Services services, const QString &text, const char *label)
{
    MainWindow window(services);
    window.resize(800, 600);
    window.show();
    EditPane *unwrapped = window.unwrappedPane();
    unwrapped->setText(text);
    unwrapped->setSelectionStart(text.size() / 2);
    QCoreApplication::processEvents();

    const double read = medianMs(21, [&] { volatile qsizetype n = unwrapped->text().size(); (void)n; });
    const double snapshot = medianMs(21, [&] { volatile qsizetype n = unwrapped->snapshot().size(); (void)n; });
    const double keyWithSnapshots = medianMs(21, [&] {
        sendKey(unwrapped, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QCoreApplication::sendPostedEvents();
    });

    // The same key in the same pane with nobody listening: no snapshots.
    EditPane bare(QStringLiteral("bare"), EditPane::Wrap::None);
    bare.resize(800, 600);
    bare.show();
    bare.setText(text);
    bare.setSelectionStart(text.size() / 2);
    const double keyBare = medianMs(21, [&] {
        sendKey(&bare, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QCoreApplication::sendPostedEvents();
    });

    unwrapped->setSelectionStart(unwrapped->buffer().size());
    const double replaceSelection = medianMs(21, [&] { unwrapped->replaceSelection(QStringLiteral("<BR>")); });

    std::printf("pane, %s (%lld characters):\n", label, static_cast<long long>(text.size()));
    std::printf("  read text()               %8.3f ms   (a snapshot %.4f ms)\n", read, snapshot);
    std::printf("  replaceSelection at the end %8.3f ms\n", replaceSelection);
    std::printf("  key press and release     %8.3f ms painted with both snapshots, %.3f ms without\n",
                keyWithSnapshots, keyBare);

    if (text.size() > 5'000'000) {
        unwrapped->setSelectionStart(unwrapped->buffer().size() / 2);
        unwrapped->setSelectionLength(200);
        QAction *bold = window.action("tag.bold");
        const double tag = medianMs(1, [&] { bold->trigger(); });
        QAction *undo = window.action("edit.undo");
        const double undoMs = medianMs(9, [&] { undo->trigger(); });
        std::printf("  paired tag on 200 characters %.3f ms; Undo %.3f ms\n", tag, undoMs);
    }
}

void files(Services services, testing::FakeDialogs &dialogs, const QString &text)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.html"));
    const QByteArray bytes = cp932::encode(text).bytes;
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
    }
    const double plainRead = medianMs(5, [&] {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        f.readAll();
    });
    const double plainWrite = medianMs(5, [&] {
        QFile f(dir.filePath(QStringLiteral("plain.html")));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
    });

    MainWindow window(services);
    window.resize(800, 600);
    window.show();
    const double open = medianMs(5, [&] {
        dialogs.fileAnswers.push_back(path);
        window.openDocument();
    });
    const double save = medianMs(5, [&] { window.saveDocument(); });
    std::printf("files, %.1f MB:\n", bytes.size() / 1e6);
    std::printf("  open  %8.1f ms   to the first screen (reading the bytes alone %.1f ms)\n", open, plainRead);
    std::printf("  save  %8.1f ms   (writing the bytes alone %.1f ms)\n", save, plainWrite);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Whatever runs here, no recovery file goes near the user's own.
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
    if (argc >= 4 && qstrcmp(argv[1], "--document") == 0)
        return bench::documentChild(argc, argv);
    QApplication app(argc, argv);
    testing::FakeServices fakes;
    const QString prose = QStringLiteral(
        "日本語の文章をここに書きます。ひらがな、カタカナ、漢字が混ざった普通の段落です。"
        "全角記号～や①②③、半角ｶﾀｶﾅも入ります。目次へ戻る前に、重要な点を赤い文字で示しました。"
        "写真の説明文は短く、読みやすく書くのがよいでしょう。");
    if (argc == 2 && qstrcmp(argv[1], "user") == 0) {
        bench::userBenchmark(QCoreApplication::applicationFilePath(), prose);
        return 0;
    }
    if (argc == 2 && qstrcmp(argv[1], "recovery") == 0) {
        recoveryBenchmark(japaneseHtml(10'000'000));
        return 0;
    }

    const QString big = japaneseHtml(10'000'000);
    encodingsBenchmark(big);
    pane(fakes.services(), japaneseHtml(100'000), "100 KB");
    pane(fakes.services(), japaneseHtml(1'000'000), "1 MB");
    pane(fakes.services(), big, "10 MB");
    files(fakes.services(), fakes.dialogs, big);
    recoveryBenchmark(big);
    bench::userBenchmark(QCoreApplication::applicationFilePath(), prose);

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak memory (resident): %.0f MB\n", usage.ru_maxrss / 1024.0);
    return 0;
}
