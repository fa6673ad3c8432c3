// The main window as a user meets it: start-up with a document or without,
// the menus, which key goes where, the wrap switch and the tag pop-up menu.
#include "window_fixture.h"

#include <QDir>
#include <QMenuBar>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace holvane;
using namespace holvane::testing;

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void startsWithADocument();
    void ignoresWhatCannotBeRead_data();
    void ignoresWhatCannotBeRead();
    void tellsOnceAboutBytesThatAreNotCodePage932();
    void menuTreeIsExactlyTheDesignedOne();
    void menuShortcutsWinOverThePanesOwnKeys_data();
    void menuShortcutsWinOverThePanesOwnKeys();
    void disabledItemsLeaveTheirKeysDead();
    void wrapSwitchCarriesTheText();
    void tagPopupOpensOnlyOnShiftLeftReleaseOverASelection();
};

void WindowTest::startsWithADocument()
{
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    writeBytes(dir.filePath(QStringLiteral("page.htm")), "<P>\x93\xfa\x96\x7b</P>\r\nx\n");
    Window w(QStringLiteral("page.htm")); // relative to the current folder, shown as typed
    QCOMPARE(w.form->windowTitle(), QStringLiteral("page.htm - holvas"));
    QCOMPARE(w.mains().Text(), QStringLiteral("<P>日本</P>\r\nx\n"));
    QCOMPARE(w.mains2().Text(), w.mains().Text());
    QCOMPARE(w.form->fileDialog().FileName, QStringLiteral("page.htm"));
    QVERIFY(w.mains().hasFocus());
    w.undo(); // both snapshots hold the loaded text
    QCOMPARE(w.mains().Text(), QStringLiteral("<P>日本</P>\r\nx\n"));

    writeBytes(dir.filePath(QStringLiteral("empty.htm")), QByteArray());
    Window empty(QStringLiteral("empty.htm"));
    QCOMPARE(empty.form->windowTitle(), QStringLiteral("empty.htm - holvas"));
    QCOMPARE(empty.form->fileDialog().FileName, QStringLiteral("empty.htm"));
}

void WindowTest::ignoresWhatCannotBeRead_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("none") << QString();
    QTest::newRow("missing") << QStringLiteral("/nonexistent/page.htm");
    QTest::newRow("folder") << QDir::tempPath();
    QTest::newRow("endless device") << QStringLiteral("/dev/zero");
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
    writeBytes(path, "a\x82<\x85\r\n");
    Window w(path);
    QTRY_COMPARE(w.fakes.messages.shown.size(), 1);
    QVERIFY(w.fakes.messages.shown.front().contains(path));
    QVERIFY(w.fakes.messages.shown.front().contains(u'2'));
}

void WindowTest::menuTreeIsExactlyTheDesignedOne()
{
    Window w;
    QStringList tree;
    for (QAction *top : w.form->menuBar()->actions()) {
        tree << top->menu()->objectName() + u' ' + top->text();
        for (QAction *a : top->menu()->actions()) {
            QStringList parts{a->objectName(), a->isSeparator() ? QStringLiteral("-") : a->text()};
            if (!a->shortcut().isEmpty())
                parts << a->shortcut().toString(QKeySequence::PortableText);
            if (!a->isVisible())
                parts << QStringLiteral("hidden");
            tree << QStringLiteral("  ") + parts.join(u' ');
        }
    }
    const QString expected = QStringLiteral(R"(files file(&F)
  news 新規作成(&N)
  opens 開く(&O)
  saven 上書き保存(&S)
  saves 名前を付けて保存(&A)
  encodings 文字コード(&K)
  hifun -
  ends holvaneの終了
edits edit(&E)
  undo 元に戻す(&U)
  heyfun -
  cuts 切り取り(&T) Ctrl+X
  copys コピー(&C) Ctrl+C
  pattes 貼り付け(&P) Ctrl+V
  deleatem 削除(&L) Del
  hifo -
  Allok 全て選択(&A) F1
  timesnow 現在時刻(&H)
  daysnow 今日の日付(&D)
  oho -
  rightturn 右端で折り返す(&W)
html twin tag(&T)
  bolder 1 <B>(&1) Ctrl+B
  Itaricer 2 <I>(&2) Ctrl+I
  under 3 <U>(&3) Ctrl+U
  Tter 4 <TT>(&4) Ctrl+T
  Ser 5 <S>(&5) Ctrl+S
  Super 6 <SUP>(&6) Ctrl+P
  Suber 7 <SUB>(&7) Ctrl+D
  Biger 8 <BIG>(&8) Ctrl+G
  Smaller 9 <SMALL>(&9) Ctrl+M
  Keys A <A>(&A) Ctrl+A
  Sampler B <FONT>(&B) Ctrl+F
  TRTD C <TR>(&C) Ctrl+O
  TD D <TD>(&D) Ctrl+L
  hihi -
  Tagerase E タグを解除(&E) Ctrl+E
  hihihi - hidden
  Canceler F Cancel(&F) Ctrl+N hidden
html2 single tag(&S)
  brs 1 <BR>(&1) Ctrl+R
  hrs 2 <HR>(&2) Ctrl+H
  Img 3 <IMG>(&3) Ctrl+J
options help(&H)
  kaku 枚数確認 Ctrl+Q
  fonts 画面設定 Ctrl+W
  koko -
  versionman バージョン情報)");
    QCOMPARE(tree, expected.split(u'\n'));
    QVERIFY(w.item("rightturn")->isCheckable());
}

void WindowTest::menuShortcutsWinOverThePanesOwnKeys_data()
{
    QTest::addColumn<bool>("wrapping");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected"); // "abc" with "b" selected before the key
    // Every tag goes in as the table has it, and keys that QPlainTextEdit
    // claims for itself (Ctrl+A, Del, Ctrl+H...) reach the menu instead.
    const std::pair<const char *, const char *> rows[] = {
        {"Ctrl+B", "a<B>b</B>c"}, {"Ctrl+I", "a<I>b</I>c"}, {"Ctrl+U", "a<U>b</U>c"},
        {"Ctrl+T", "a<TT>b</TT>c"}, {"Ctrl+S", "a<S>b</S>c"}, {"Ctrl+P", "a<SUP>b</SUP>c"},
        {"Ctrl+D", "a<SUB>b</SUB>c"}, {"Ctrl+G", "a<BIG>b</BIG>c"}, {"Ctrl+M", "a<SMALL>b</SMALL>c"},
        {"Ctrl+A", "a<A HREF=\"\">b</A>c"}, {"Ctrl+F", "a<FONT COLOR=\"\" SIZE=\"\">b</FONT>c"},
        {"Ctrl+O", "a<TR>b</TR>c"}, {"Ctrl+L", "a<TD>b</TD>c"}, {"Ctrl+E", "abc"},
        {"Ctrl+R", "a<BR>c"}, {"Ctrl+H", "a<HR ALIGN=\"\" COLOR=\"\" SIZE=\"\" WIDTH=\"\">c"},
        {"Ctrl+J", "a<IMG SRC=\"\" WIDTH=\"\" HEIGHT=\"\" ALT=\"\">c"},
        {"Del", "ac"}, {"Ctrl+X", "ac"}, {"Ctrl+V", "aPASTEDc"}, {"Ctrl+N", "abc"}, {"F1", "abc"},
    };
    for (const bool wrapping : {false, true})
        for (const auto &[key, expected] : rows)
            QTest::addRow("%s %s", wrapping ? "Mains2" : "Mains", key)
                << wrapping << QString::fromLatin1(key) << QString::fromLatin1(expected);
}

void WindowTest::menuShortcutsWinOverThePanesOwnKeys()
{
    QFETCH(bool, wrapping);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    Window w;
    w.fakes.clipboard.content = QStringLiteral("PASTED");
    w.item("rightturn")->setChecked(wrapping);
    w.setUp(QStringLiteral("abc"), 1, 1);
    w.press(key);
    QCOMPARE(w.active().Text(), expected);
    if (expected.contains(u'<')) // the caret stands after what went in
        QCOMPARE(w.active().SelStart(), expected.size() - 1);
    if (key == QLatin1String("F1"))
        QCOMPARE(w.active().SelText(), QStringLiteral("abc"));
    if (key == QLatin1String("Ctrl+X")) // the menu's cut, not the pane's own
        QCOMPARE(w.fakes.clipboard.content, QStringLiteral("b"));
    QCOMPARE((wrapping ? w.mains() : w.mains2()).Text(), QString());
}

void WindowTest::disabledItemsLeaveTheirKeysDead()
{
    Window w;
    w.setUp(QStringLiteral("abc"), 1, 0);
    w.openEditMenu(); // nothing selected: Cut, Copy and Delete are greyed
    QVERIFY(!w.item("cuts")->isEnabled());
    QVERIFY(w.item("pattes")->isEnabled());

    w.mains().setSelLength(1);
    w.fakes.clipboard.content = QStringLiteral("kept");
    for (const char *key : {"Ctrl+C", "Ctrl+X", "Del"})
        w.press(QString::fromLatin1(key));
    QTest::keyClick(&w.mains(), Qt::Key_Delete, Qt::KeypadModifier); // the keypad's, NumLock off
    QCOMPARE(w.fakes.clipboard.content, QStringLiteral("kept"));
    QCOMPARE(w.mains().Text(), QStringLiteral("abc"));
    w.openEditMenu(); // enabled again: the keypad's Delete is the menu's too
    QTest::keyClick(&w.mains(), Qt::Key_Delete, Qt::KeypadModifier);
    QCOMPARE(w.mains().Text(), QStringLiteral("ac"));
    QCOMPARE(w.form->undoPair().after, QStringLiteral("ac"));
    w.mains().setText(QStringLiteral("abc"));

    w.trigger("rightturn"); // Mains2 follows with nothing selected
    w.mains2().setSelLength(1);
    w.openEditMenu();
    QVERIFY(w.item("copys")->isEnabled());
    w.press(QStringLiteral("Ctrl+C"));
    QCOMPARE(w.fakes.clipboard.content, QStringLiteral("a"));
}

void WindowTest::wrapSwitchCarriesTheText()
{
    Window w;
    w.setUp(QStringLiteral("one\r\ntwo\nthree"), 2, 5);
    w.trigger("rightturn");
    QVERIFY(w.mains2().isVisible() && !w.mains().isVisible());
    QCOMPARE(w.mains2().lineWrapMode(), QPlainTextEdit::WidgetWidth);
    QCOMPARE(w.mains().lineWrapMode(), QPlainTextEdit::NoWrap);
    w.form->resize(300, 200); // the hidden pane follows the window too
    QCoreApplication::processEvents();
    for (const EditPane *pane : {&w.mains(), &w.mains2()})
        QCOMPARE(pane->geometry(), QRect(QPoint(0, 0), w.form->centralWidget()->size()));
    QCOMPARE(w.mains2().Text(), QStringLiteral("one\r\ntwo\nthree"));
    QCOMPARE(w.mains2().SelStart(), 0);
    QCOMPARE(w.mains2().SelLength(), 0);

    w.mains2().setFocus();
    QTest::keyClicks(&w.mains2(), QStringLiteral("new "));
    QCOMPARE(w.mains().Text(), QStringLiteral("one\r\ntwo\nthree")); // not kept in step while hidden
    w.trigger("rightturn");
    QVERIFY(!w.item("rightturn")->isChecked() && w.mains().isVisible());
    QCOMPARE(w.mains().Text(), QStringLiteral("new one\r\ntwo\nthree"));
    QCOMPARE(w.mains().toPlainText(), QStringLiteral("new one\ntwo\nthree"));
}

void WindowTest::tagPopupOpensOnlyOnShiftLeftReleaseOverASelection()
{
    Window w;
    w.setUp(QStringLiteral("abc def"), 4, 3);
    int opened = 0;
    bool cancelShown = false;
    auto release = [&](Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
        QTimer::singleShot(50, [&] {
            if (QWidget *popup = QApplication::activePopupWidget()) {
                ++opened;
                cancelShown = w.item("Canceler")->isVisible() && w.item("hihihi")->isVisible();
                QCOMPARE(popup, static_cast<QWidget *>(w.form->menu("html")));
                w.item("Canceler")->trigger();
                popup->close();
            }
        });
        w.release(button, modifiers);
        QTest::qWait(80);
    };
    release(Qt::LeftButton, Qt::ShiftModifier | Qt::ControlModifier);
    release(Qt::RightButton, Qt::ShiftModifier);
    release(Qt::LeftButton, Qt::NoModifier);
    QCOMPARE(opened, 0);
    release(Qt::LeftButton, Qt::ShiftModifier);
    QCOMPARE(opened, 1);
    QVERIFY(cancelShown);
    QVERIFY(!w.item("Canceler")->isVisible() && !w.item("hihihi")->isVisible());
    QCOMPARE(w.mains().Text(), QStringLiteral("abc def"));
    w.mains().setSelLength(0);
    release(Qt::LeftButton, Qt::ShiftModifier);
    QCOMPARE(opened, 1);
}

QTEST_MAIN(WindowTest)
#include "test_window.moc"
