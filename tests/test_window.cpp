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
    void cutCopyAndDeleteFollowTheSelection();
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
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("<P>日本</P>\r\nx\n"));
    QCOMPARE(w.wrappingPane().text(), w.unwrappedPane().text());
    QCOMPARE(w.form->fileDialog().path, QStringLiteral("page.htm"));
    QVERIFY(w.unwrappedPane().hasFocus());
    w.undo(); // both snapshots hold the loaded text
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("<P>日本</P>\r\nx\n"));

    writeBytes(dir.filePath(QStringLiteral("empty.htm")), QByteArray());
    Window empty(QStringLiteral("empty.htm"));
    QCOMPARE(empty.form->windowTitle(), QStringLiteral("empty.htm - holvas"));
    QCOMPARE(empty.form->fileDialog().path, QStringLiteral("empty.htm"));
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
    QCOMPARE(w.unwrappedPane().text(), QString());
    QCOMPARE(w.form->fileDialog().path, QString());
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
    const QString expected = QStringLiteral(R"(file file(&F)
  file.new 新規作成(&N)
  file.open 開く(&O)
  file.save 上書き保存(&S)
  file.save_as 名前を付けて保存(&A)
  file.encoding 文字コード(&K)
  file.separator -
  file.quit holvaneの終了
edit edit(&E)
  edit.undo 元に戻す(&U)
  edit.separator_clipboard -
  edit.cut 切り取り(&T) Ctrl+X
  edit.copy コピー(&C) Ctrl+C
  edit.paste 貼り付け(&P) Ctrl+V
  edit.delete 削除(&L) Del
  edit.separator_select -
  edit.select_all 全て選択(&A) F1
  edit.insert_time 現在時刻(&H)
  edit.insert_date 今日の日付(&D)
  edit.separator_wrap -
  edit.wrap 右端で折り返す(&W)
tag twin tag(&T)
  tag.bold 1 <B>(&1) Ctrl+B
  tag.italic 2 <I>(&2) Ctrl+I
  tag.underline 3 <U>(&3) Ctrl+U
  tag.teletype 4 <TT>(&4) Ctrl+T
  tag.strikethrough 5 <S>(&5) Ctrl+S
  tag.superscript 6 <SUP>(&6) Ctrl+P
  tag.subscript 7 <SUB>(&7) Ctrl+D
  tag.big 8 <BIG>(&8) Ctrl+G
  tag.small 9 <SMALL>(&9) Ctrl+M
  tag.anchor A <A>(&A) Ctrl+A
  tag.font B <FONT>(&B) Ctrl+F
  tag.table_row C <TR>(&C) Ctrl+O
  tag.table_cell D <TD>(&D) Ctrl+L
  tag.separator_remove -
  tag.remove E タグを解除(&E) Ctrl+E
  tag.separator_cancel - hidden
  tag.cancel F Cancel(&F) Ctrl+N hidden
single_tag single tag(&S)
  single_tag.line_break 1 <BR>(&1) Ctrl+R
  single_tag.horizontal_rule 2 <HR>(&2) Ctrl+H
  single_tag.image 3 <IMG>(&3) Ctrl+J
help help(&H)
  help.sheet_count 枚数確認 Ctrl+Q
  help.display_settings 画面設定 Ctrl+W
  help.separator_about -
  help.about バージョン情報)");
    QCOMPARE(tree, expected.split(u'\n'));
    QVERIFY(w.action("edit.wrap")->isCheckable());
}

void WindowTest::menuShortcutsWinOverThePanesOwnKeys_data()
{
    QTest::addColumn<bool>("wrapping");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected"); // "abc" with "b" selected before the key
    // Every tag goes in as the table has it, and keys that a text edit
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
            QTest::addRow("%s %s", wrapping ? "wrappingPane" : "unwrappedPane", key)
                << wrapping << QString::fromLatin1(key) << QString::fromLatin1(expected);
}

void WindowTest::menuShortcutsWinOverThePanesOwnKeys()
{
    QFETCH(bool, wrapping);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    Window w;
    w.fakes.clipboard.content = QStringLiteral("PASTED");
    w.action("edit.wrap")->setChecked(wrapping);
    w.setUp(QStringLiteral("abc"), 1, 1);
    w.press(key);
    QCOMPARE(w.active().text(), expected);
    if (expected.contains(u'<')) // the caret stands after what went in
        QCOMPARE(w.active().selectionStart(), expected.size() - 1);
    if (key == QLatin1String("F1"))
        QCOMPARE(w.active().selectedText(), QStringLiteral("abc"));
    if (key == QLatin1String("Ctrl+X")) // the menu's cut, not the pane's own
        QCOMPARE(w.fakes.clipboard.content, QStringLiteral("b"));
    QCOMPARE((wrapping ? w.unwrappedPane() : w.wrappingPane()).text(), QString());
}

void WindowTest::cutCopyAndDeleteFollowTheSelection()
{
    Window w;
    w.setUp(QStringLiteral("abc"), 1, 0);
    w.openEditMenu(); // nothing selected: Cut, Copy and Delete are greyed
    QVERIFY(!w.action("edit.cut")->isEnabled());
    QVERIFY(w.action("edit.paste")->isEnabled());

    w.fakes.clipboard.content = QStringLiteral("kept");
    for (const char *key : {"Ctrl+C", "Ctrl+X", "Del"})
        w.press(QString::fromLatin1(key));
    QTest::keyClick(&w.unwrappedPane(), Qt::Key_Delete, Qt::KeypadModifier); // the keypad's, NumLock off
    QCOMPARE(w.fakes.clipboard.content, QStringLiteral("kept"));
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("abc"));

    // A selection made after the menu closed: the keys act on it at once,
    // without the menu being opened again.
    w.unwrappedPane().setSelectionLength(1);
    QVERIFY(w.action("edit.cut")->isEnabled());
    w.press(QStringLiteral("Ctrl+C"));
    QCOMPARE(w.fakes.clipboard.content, QStringLiteral("b"));
    QTest::keyClick(&w.unwrappedPane(), Qt::Key_Delete, Qt::KeypadModifier); // the keypad's Delete is the menu's too
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("ac"));
    QCOMPARE(w.form->undoPair().after.toString(), QStringLiteral("ac"));
    QVERIFY(!w.action("edit.copy")->isEnabled()); // the selection went with it
    w.unwrappedPane().setText(QStringLiteral("abc"));

    w.trigger("edit.wrap"); // the wrapping pane follows with nothing selected
    QVERIFY(!w.action("edit.copy")->isEnabled());
    w.wrappingPane().setSelectionLength(1);
    w.press(QStringLiteral("Ctrl+X"));
    QCOMPARE(w.fakes.clipboard.content, QStringLiteral("a"));
    QCOMPARE(w.wrappingPane().text(), QStringLiteral("bc"));
}

void WindowTest::wrapSwitchCarriesTheText()
{
    Window w;
    w.setUp(QStringLiteral("one\r\ntwo\nthree"), 2, 5);
    w.trigger("edit.wrap");
    QVERIFY(w.wrappingPane().isVisible() && !w.unwrappedPane().isVisible());
    QCOMPARE(w.wrappingPane().wrap(), EditPane::Wrap::AtRightEdge);
    QCOMPARE(w.unwrappedPane().wrap(), EditPane::Wrap::None);
    w.form->resize(300, 200); // the hidden pane follows the window too
    QCoreApplication::processEvents();
    for (const EditPane *pane : {&w.unwrappedPane(), &w.wrappingPane()})
        QCOMPARE(pane->geometry(), QRect(QPoint(0, 0), w.form->centralWidget()->size()));
    QCOMPARE(w.wrappingPane().text(), QStringLiteral("one\r\ntwo\nthree"));
    QCOMPARE(w.wrappingPane().selectionStart(), 0);
    QCOMPARE(w.wrappingPane().selectionLength(), 0);

    w.wrappingPane().setFocus();
    QTest::keyClicks(&w.wrappingPane(), QStringLiteral("new "));
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("one\r\ntwo\nthree")); // not kept in step while hidden
    w.trigger("edit.wrap");
    QVERIFY(!w.action("edit.wrap")->isChecked() && w.unwrappedPane().isVisible());
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("new one\r\ntwo\nthree"));
    QCOMPARE(w.unwrappedPane().lineCount(), 3);
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
                cancelShown = w.action("tag.cancel")->isVisible() && w.action("tag.separator_cancel")->isVisible();
                QCOMPARE(popup, static_cast<QWidget *>(w.form->menu("tag")));
                w.action("tag.cancel")->trigger();
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
    QVERIFY(!w.action("tag.cancel")->isVisible() && !w.action("tag.separator_cancel")->isVisible());
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("abc def"));
    w.unwrappedPane().setSelectionLength(0);
    release(Qt::LeftButton, Qt::ShiftModifier);
    QCOMPARE(opened, 1);
}

QTEST_MAIN(WindowTest)
#include "test_window.moc"
