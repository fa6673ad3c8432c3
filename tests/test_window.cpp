// The main window as a user meets it: start-up with a document or without,
// the menus, which key goes where, the wrap switch and the tag pop-up menu.
#include "window_fixture.h"

#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace holvane;
using namespace holvane::testing;

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// One line per menu and item: caption, shortcut, and "hidden" or "-" marks.
QStringList menuTree(QMenuBar *bar)
{
    QStringList lines;
    for (QAction *top : bar->actions()) {
        lines << top->menu()->objectName() + u' ' + top->text();
        for (QAction *a : top->menu()->actions()) {
            QString line = QStringLiteral("  ") + a->objectName();
            if (a->isSeparator())
                line += QStringLiteral(" -");
            else
                line += u' ' + a->text();
            if (!a->shortcut().isEmpty())
                line += u' ' + a->shortcut().toString(QKeySequence::PortableText);
            if (!a->isVisible())
                line += QStringLiteral(" hidden");
            lines << line;
        }
    }
    return lines;
}

} // namespace

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void startsEmptyAndUnnamed();
    void startsWithADocument();
    void ignoresWhatCannotBeRead_data();
    void ignoresWhatCannotBeRead();
    void tellsOnceAboutBytesThatAreNotCodePage932();
    void menuTreeIsExactlyTheDesignedOne();
    void menuShortcutsWinOverThePanesOwnKeys_data();
    void menuShortcutsWinOverThePanesOwnKeys();
    void disabledItemsLeaveTheirKeysDead();
    void editMenuFollowsTheActivePanesSelection();
    void wrapSwitchCarriesTheText();
    void panesFillTheClientArea();
    void tagPopupOpensOnlyOnShiftLeftReleaseOverASelection();
    void popupOffersCancelOnlyWhileOpen();
};

void WindowTest::startsEmptyAndUnnamed()
{
    Window w;
    QCOMPARE(w.form->windowTitle(), QStringLiteral("holvas v1.20"));
    QVERIFY(w.mains().isVisible());
    QVERIFY(!w.mains2().isVisible());
    QVERIFY(w.mains().hasFocus());
    QCOMPARE(w.mains().Text(), QString());
    QCOMPARE(w.form->fileDialog().FileName, QString());
    QVERIFY(!w.item("rightturn")->isChecked());
    QCOMPARE(w.mains().font().family(), QStringLiteral("ＭＳ ゴシック"));
    QCOMPARE(w.mains().font().pointSize(), 12);
    QVERIFY(w.mains().lineWrapMode() == QPlainTextEdit::NoWrap);
    QVERIFY(w.mains2().lineWrapMode() == QPlainTextEdit::WidgetWidth);
    w.undo();
    QCOMPARE(w.mains().Text(), QString());
}

void WindowTest::startsWithADocument()
{
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    writeFile(dir.filePath(QStringLiteral("page.htm")), "<P>\x93\xfa\x96\x7b</P>\r\nx\n");
    Window w(QStringLiteral("page.htm")); // relative to the current folder, shown as typed
    QCOMPARE(w.form->windowTitle(), QStringLiteral("page.htm - holvas"));
    QCOMPARE(w.mains().Text(), QStringLiteral("<P>日本</P>\r\nx\n"));
    QCOMPARE(w.mains2().Text(), w.mains().Text());
    QCOMPARE(w.form->fileDialog().FileName, QStringLiteral("page.htm"));
    QCOMPARE(w.form->undoPair().before, w.mains().Text());
    QCOMPARE(w.form->undoPair().after, w.mains().Text());
    QVERIFY(w.fakes.messages.shown.isEmpty());

    writeFile(dir.filePath(QStringLiteral("empty.htm")), QByteArray());
    Window empty(QStringLiteral("empty.htm"));
    QCOMPARE(empty.form->windowTitle(), QStringLiteral("empty.htm - holvas"));
    QCOMPARE(empty.form->fileDialog().FileName, QStringLiteral("empty.htm"));
    QCOMPARE(empty.mains().Text(), QString());
}

void WindowTest::ignoresWhatCannotBeRead_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("missing") << QStringLiteral("/nonexistent/page.htm");
    QTest::newRow("folder") << QDir::tempPath();
    QTest::newRow("endless device") << QStringLiteral("/dev/zero");
    QTest::newRow("random device") << QStringLiteral("/dev/urandom");
    QTest::newRow("FIFO") << QStringLiteral("FIFO");
    QTest::newRow("quoted path") << QStringLiteral("\"/etc/hostname\"");
}

void WindowTest::ignoresWhatCannotBeRead()
{
    QFETCH(QString, path);
    QTemporaryDir dir;
    if (path == QLatin1String("FIFO")) {
        path = dir.filePath(QStringLiteral("fifo"));
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    }
    Window w(path); // a hang here would be the failure
    QCOMPARE(w.form->windowTitle(), QStringLiteral("holvas v1.20"));
    QCOMPARE(w.mains().Text(), QString());
    QCOMPARE(w.form->fileDialog().FileName, QString());
    QVERIFY(w.fakes.messages.shown.isEmpty());
}

void WindowTest::tellsOnceAboutBytesThatAreNotCodePage932()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("odd.htm"));
    writeFile(path, "a\x82<\x85\r\n");
    Window w(path);
    QTRY_COMPARE(w.fakes.messages.shown.size(), 1);
    QVERIFY(w.fakes.messages.shown.front().contains(path));
    QVERIFY(w.fakes.messages.shown.front().contains(u'2'));
    QCOMPARE(w.mains().Text().size(), 6);
}

void WindowTest::menuTreeIsExactlyTheDesignedOne()
{
    Window w;
    const QStringList expected = {
        QStringLiteral("files file(&F)"),
        QStringLiteral("  news 新規作成(&N)"),
        QStringLiteral("  opens 開く(&O)"),
        QStringLiteral("  saven 上書き保存(&S)"),
        QStringLiteral("  saves 名前を付けて保存(&A)"),
        QStringLiteral("  hifun -"),
        QStringLiteral("  ends holvaneの終了"),
        QStringLiteral("edits edit(&E)"),
        QStringLiteral("  undo 元に戻す(&U)"),
        QStringLiteral("  heyfun -"),
        QStringLiteral("  cuts 切り取り(&T) Ctrl+X"),
        QStringLiteral("  copys コピー(&C) Ctrl+C"),
        QStringLiteral("  pattes 貼り付け(&P) Ctrl+V"),
        QStringLiteral("  deleatem 削除(&L) Del"),
        QStringLiteral("  hifo -"),
        QStringLiteral("  Allok 全て選択(&A) F1"),
        QStringLiteral("  timesnow 現在時刻(&H)"),
        QStringLiteral("  daysnow 今日の日付(&D)"),
        QStringLiteral("  oho -"),
        QStringLiteral("  rightturn 右端で折り返す(&W)"),
        QStringLiteral("html twin tag(&T)"),
        QStringLiteral("  bolder 1 <B>(&1) Ctrl+B"),
        QStringLiteral("  Itaricer 2 <I>(&2) Ctrl+I"),
        QStringLiteral("  under 3 <U>(&3) Ctrl+U"),
        QStringLiteral("  Tter 4 <TT>(&4) Ctrl+T"),
        QStringLiteral("  Ser 5 <S>(&5) Ctrl+S"),
        QStringLiteral("  Super 6 <SUP>(&6) Ctrl+P"),
        QStringLiteral("  Suber 7 <SUB>(&7) Ctrl+D"),
        QStringLiteral("  Biger 8 <BIG>(&8) Ctrl+G"),
        QStringLiteral("  Smaller 9 <SMALL>(&9) Ctrl+M"),
        QStringLiteral("  Keys A <A>(&A) Ctrl+A"),
        QStringLiteral("  Sampler B <FONT>(&B) Ctrl+F"),
        QStringLiteral("  TRTD C <TR>(&C) Ctrl+O"),
        QStringLiteral("  TD D <TD>(&D) Ctrl+L"),
        QStringLiteral("  hihi -"),
        QStringLiteral("  Tagerase E タグを解除(&E) Ctrl+E"),
        QStringLiteral("  hihihi - hidden"),
        QStringLiteral("  Canceler F Cancel(&F) Ctrl+N hidden"),
        QStringLiteral("html2 single tag(&S)"),
        QStringLiteral("  brs 1 <BR>(&1) Ctrl+R"),
        QStringLiteral("  hrs 2 <HR>(&2) Ctrl+H"),
        QStringLiteral("  Img 3 <IMG>(&3) Ctrl+J"),
        QStringLiteral("options help(&H)"),
        QStringLiteral("  kaku 枚数確認 Ctrl+Q"),
        QStringLiteral("  fonts 画面設定 Ctrl+W"),
        QStringLiteral("  koko -"),
        QStringLiteral("  versionman バージョン情報"),
    };
    QCOMPARE(menuTree(w.form->menuBar()), expected);
    QVERIFY(w.item("rightturn")->isCheckable());
}

void WindowTest::menuShortcutsWinOverThePanesOwnKeys_data()
{
    QTest::addColumn<bool>("wrapping");
    QTest::addColumn<QKeySequence>("key");
    QTest::addColumn<QString>("expected"); // "abc" with "b" selected before the key
    for (const bool wrapping : {false, true}) {
        const char *pane = wrapping ? "Mains2" : "Mains";
        QTest::addRow("%s Ctrl+A wraps in an anchor", pane) << wrapping << QKeySequence(QStringLiteral("Ctrl+A"))
                                                           << QStringLiteral("a<A HREF=\"\">b</A>c");
        QTest::addRow("%s Ctrl+H inserts a rule", pane) << wrapping << QKeySequence(QStringLiteral("Ctrl+H"))
                                                       << QStringLiteral("a<HR ALIGN=\"\" COLOR=\"\" SIZE=\"\" WIDTH=\"\">c");
        QTest::addRow("%s Ctrl+I wraps in italics", pane) << wrapping << QKeySequence(QStringLiteral("Ctrl+I"))
                                                         << QStringLiteral("a<I>b</I>c");
        QTest::addRow("%s Ctrl+M wraps in small", pane) << wrapping << QKeySequence(QStringLiteral("Ctrl+M"))
                                                       << QStringLiteral("a<SMALL>b</SMALL>c");
        QTest::addRow("%s Ctrl+J inserts an image", pane) << wrapping << QKeySequence(QStringLiteral("Ctrl+J"))
                                                          << QStringLiteral("a<IMG SRC=\"\" WIDTH=\"\" HEIGHT=\"\" ALT=\"\">c");
        QTest::addRow("%s Del runs delete", pane) << wrapping << QKeySequence(QStringLiteral("Del"))
                                                 << QStringLiteral("ac");
        QTest::addRow("%s Ctrl+X cuts through the clipboard", pane) << wrapping << QKeySequence(QStringLiteral("Ctrl+X"))
                                                                   << QStringLiteral("ac");
        QTest::addRow("%s Ctrl+V pastes the fake clipboard", pane) << wrapping << QKeySequence(QStringLiteral("Ctrl+V"))
                                                                  << QStringLiteral("aPASTEDc");
        QTest::addRow("%s Ctrl+N does nothing", pane) << wrapping << QKeySequence(QStringLiteral("Ctrl+N"))
                                                     << QStringLiteral("abc");
        QTest::addRow("%s F1 selects all", pane) << wrapping << QKeySequence(QStringLiteral("F1"))
                                                << QStringLiteral("abc");
    }
}

void WindowTest::menuShortcutsWinOverThePanesOwnKeys()
{
    QFETCH(bool, wrapping);
    QFETCH(QKeySequence, key);
    QFETCH(QString, expected);
    Window w;
    w.fakes.clipboard.content = QStringLiteral("PASTED");
    w.item("rightturn")->setChecked(wrapping);
    w.setUp(QStringLiteral("abc"), 1, 1);
    w.press(key);
    QCOMPARE(w.active().Text(), expected);
    if (key == QKeySequence(QStringLiteral("Ctrl+X")))
        QCOMPARE(w.fakes.clipboard.content, QStringLiteral("b"));
    if (key == QKeySequence(QStringLiteral("F1")))
        QCOMPARE(w.active().SelText(), QStringLiteral("abc"));
    EditPane &other = wrapping ? w.mains() : w.mains2();
    QCOMPARE(other.Text(), QString());
}

void WindowTest::disabledItemsLeaveTheirKeysDead()
{
    Window w;
    w.setUp(QStringLiteral("abc"), 1, 0);
    w.openEditMenu(); // nothing selected: Cut, Copy and Delete are greyed
    QVERIFY(!w.item("cuts")->isEnabled());
    QVERIFY(!w.item("copys")->isEnabled());
    QVERIFY(!w.item("deleatem")->isEnabled());
    QVERIFY(w.item("pattes")->isEnabled());

    w.mains().setSelLength(1);
    w.fakes.clipboard.content = QStringLiteral("kept");
    w.press(QKeySequence(QStringLiteral("Ctrl+C")));
    w.press(QKeySequence(QStringLiteral("Ctrl+X")));
    w.press(QKeySequence(QStringLiteral("Del")));
    QCOMPARE(w.fakes.clipboard.content, QStringLiteral("kept"));
    QCOMPARE(w.mains().Text(), QStringLiteral("abc"));

    w.openEditMenu(); // now with "b" selected
    QVERIFY(w.item("copys")->isEnabled());
    w.press(QKeySequence(QStringLiteral("Ctrl+C")));
    QCOMPARE(w.fakes.clipboard.content, QStringLiteral("b"));
}

void WindowTest::editMenuFollowsTheActivePanesSelection()
{
    Window w;
    w.mains().setText(QStringLiteral("abc"));
    w.mains().setSelStart(0);
    w.mains().setSelLength(2);
    w.trigger("rightturn"); // Mains2 shows the text with nothing selected
    w.openEditMenu();
    QVERIFY(!w.item("copys")->isEnabled());
    w.mains2().setSelLength(1);
    w.openEditMenu();
    QVERIFY(w.item("copys")->isEnabled());
}

void WindowTest::wrapSwitchCarriesTheText()
{
    Window w;
    w.setUp(QStringLiteral("one\r\ntwo\nthree"), 2, 5);
    w.trigger("rightturn");
    QVERIFY(w.item("rightturn")->isChecked());
    QVERIFY(w.mains2().isVisible());
    QVERIFY(!w.mains().isVisible());
    QCOMPARE(w.mains2().Text(), QStringLiteral("one\r\ntwo\nthree"));
    QCOMPARE(w.mains2().SelStart(), 0);
    QCOMPARE(w.mains2().SelLength(), 0);

    w.mains2().setFocus();
    QTest::keyClicks(&w.mains2(), QStringLiteral("new "));
    QCOMPARE(w.mains().Text(), QStringLiteral("one\r\ntwo\nthree")); // not kept in step while hidden
    w.trigger("rightturn");
    QVERIFY(!w.item("rightturn")->isChecked());
    QVERIFY(w.mains().isVisible());
    QCOMPARE(w.mains().Text(), QStringLiteral("new one\r\ntwo\nthree"));
    QCOMPARE(w.mains().toPlainText(), QStringLiteral("new one\ntwo\nthree"));
}

void WindowTest::panesFillTheClientArea()
{
    Window w;
    for (const QSize size : {QSize(640, 480), QSize(300, 200), QSize(900, 700)}) {
        w.form->resize(size);
        QCoreApplication::processEvents();
        const QRect client = w.form->centralWidget()->geometry();
        QCOMPARE(w.mains().geometry(), QRect(QPoint(0, 0), client.size()));
        QCOMPARE(w.mains2().geometry(), QRect(QPoint(0, 0), client.size()));
    }
}

void WindowTest::tagPopupOpensOnlyOnShiftLeftReleaseOverASelection()
{
    Window w;
    w.setUp(QStringLiteral("abc def"), 4, 3);
    QWidget *viewport = w.mains().viewport();
    int opened = 0;
    auto release = [&](Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
        QMouseEvent e(QEvent::MouseButtonRelease, QPointF(5, 5), viewport->mapToGlobal(QPointF(5, 5)), button,
                      Qt::NoButton, modifiers);
        QTimer::singleShot(50, [&] {
            if (QWidget *popup = QApplication::activePopupWidget()) {
                ++opened;
                popup->close();
            }
        });
        QApplication::sendEvent(viewport, &e);
        QTest::qWait(80);
    };
    release(Qt::LeftButton, Qt::ShiftModifier | Qt::ControlModifier);
    release(Qt::RightButton, Qt::ShiftModifier);
    release(Qt::LeftButton, Qt::NoModifier);
    QCOMPARE(opened, 0);
    release(Qt::LeftButton, Qt::ShiftModifier);
    QCOMPARE(opened, 1);
}

void WindowTest::popupOffersCancelOnlyWhileOpen()
{
    Window w;
    w.setUp(QStringLiteral("abc def"), 4, 3);
    bool cancelShown = false;
    whenModalOpens([&](QWidget *popup) {
        cancelShown = w.item("Canceler")->isVisible() && w.item("hihihi")->isVisible();
        QCOMPARE(popup, static_cast<QWidget *>(w.form->menu("html")));
        w.item("Canceler")->trigger();
        popup->close();
    });
    QWidget *viewport = w.mains().viewport();
    QMouseEvent e(QEvent::MouseButtonRelease, QPointF(5, 5), viewport->mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                  Qt::NoButton, Qt::ShiftModifier);
    QApplication::sendEvent(viewport, &e);
    QVERIFY(cancelShown);
    QVERIFY(!w.item("Canceler")->isVisible());
    QVERIFY(!w.item("hihihi")->isVisible());
    QCOMPARE(w.form->menu("html")->actions().last()->objectName(), QStringLiteral("Canceler"));
    QCOMPARE(w.mains().Text(), QStringLiteral("abc def"));
}

QTEST_MAIN(WindowTest)
#include "test_window.moc"
