// The markup commands and the undo snapshots: tags go in and come off as a
// user expects, from every route, and Undo takes back exactly one change.
#include "commands/tag_tables.h"
#include "window_fixture.h"

#include <QInputMethodEvent>

using namespace holvane;
using namespace holvane::testing;

class MarkupTest : public QObject {
    Q_OBJECT
private slots:
    void tagRemovalScan_data();
    void tagRemovalScan();
    void tagRemovalHasNoLengthLimit();

    void pairWrapsMultiLineSelectionsKeepingTheirLineEnds();
    void nothingSelectedChangesNothingAndUndoKeepsIt();
    void singleTagsGoInAtTheCaret();
    void tagRemovalThroughTheWindow();

    void undoAlternatesBetweenBeforeAndAfter();
    void undoAndRedoFromTheKeyboardThroughTheMenu();
    void heldKeyUndoesOnlyTheLastRepeat();
    void inputMethodCommitIsOneUndoStep();
};

void MarkupTest::tagRemovalScan_data()
{
    QTest::addColumn<QString>("selection");
    QTest::addColumn<QString>("result"); // null: stays as it is
    const std::pair<const char *, const char *> rows[] = {
        {"<B>bold</B>", "bold"},
        {"<A HREF=\"\">link</A>", "link"},
        {"<FONT COLOR=\"\" SIZE=\"\">x</FONT>", "x"},
        {"<B>line 1\r\nline 2</B>", "line 1\r\nline 2"},
        {"<BR>", ""},
        {"<HR ALIGN=\"\" COLOR=\"\" SIZE=\"\" WIDTH=\"\">", ""},
        {"<>", ""},
        {"<B></B>", ""},
        {"<B><I>x</I></B>", ""},
        {"<B>a</B> and <I>b</I>", "a"},
        {"<B>text>", "text>"},
        {"<<B>>", ">"},
        {"<A TITLE='a>b'>x</A>", "b'>x"},
        {"<B>＜太字＞</B>", "＜太字＞"}, // full-width brackets are text
        {"abc", nullptr},
        {"<abc", nullptr},
        {"abc>", nullptr},
        {"<", nullptr},
        {"> x <", nullptr},
        {"", nullptr},
    };
    for (const auto &[selection, result] : rows)
        QTest::newRow(selection) << QString::fromUtf8(selection) << (result ? QString::fromUtf8(result) : QString());
}

void MarkupTest::tagRemovalScan()
{
    QFETCH(QString, selection);
    QFETCH(QString, result);
    const auto kept = textBetweenFirstTags(selection);
    QCOMPARE(kept.has_value(), !result.isNull());
    if (kept)
        QCOMPARE(*kept, result);
}

void MarkupTest::tagRemovalHasNoLengthLimit()
{
    const QString body(40000, u'あ');
    QCOMPARE(textBetweenFirstTags(QStringLiteral("<P>") + body + QStringLiteral("</P>")), body);
    QCOMPARE(textBetweenFirstTags(u'<' + QString(70000, u'x') + QStringLiteral(">y<z>")), QStringLiteral("y"));
}

void MarkupTest::pairWrapsMultiLineSelectionsKeepingTheirLineEnds()
{
    Window w;
    w.setUp(QStringLiteral("x\r\none\r\ntwo\nthree\ry"), 3, 15);
    w.press(QStringLiteral("Ctrl+B"));
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("x\r\n<B>one\r\ntwo\nthree\r</B>y"));
    w.undo();
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("x\r\none\r\ntwo\nthree\ry"));
    QCOMPARE(w.unwrappedPane().selectionStart(), w.unwrappedPane().text().size());
}

void MarkupTest::nothingSelectedChangesNothingAndUndoKeepsIt()
{
    Window w;
    w.setUp(QStringLiteral("abc def"), 2, 0);
    for (const char *item : {"tag.bold", "tag.remove"}) {
        w.trigger(item);
        QCOMPARE(w.form->undoPair().before.toString(), QStringLiteral("abc def"));
        QCOMPARE(w.form->undoPair().after.toString(), QStringLiteral("abc def"));
        w.undo();
        QCOMPARE(w.unwrappedPane().text(), QStringLiteral("abc def"));
    }
}

void MarkupTest::singleTagsGoInAtTheCaret()
{
    Window w;
    w.setUp(QStringLiteral("a\r\nb"), 3);
    w.trigger("single_tag.line_break");
    w.trigger("single_tag.line_break"); // twice in a row: one after the other
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("a\r\n<BR><BR>b"));
    QCOMPARE(w.unwrappedPane().selectionStart(), 11);
    w.setUp(QString());
    w.trigger("single_tag.image");
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("<IMG SRC=\"\" WIDTH=\"\" HEIGHT=\"\" ALT=\"\">"));
    w.undo();
    QCOMPARE(w.unwrappedPane().text(), QString());
}

void MarkupTest::tagRemovalThroughTheWindow()
{
    Window w;
    w.setUp(QStringLiteral("x <B>太字</B> y"), 2, 9);
    w.press(QStringLiteral("Ctrl+E"));
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("x 太字 y"));
    QCOMPARE(w.unwrappedPane().selectionStart(), 4);

    const QString page = QStringLiteral("<HTML>\r\n<BODY>本文</BODY>\r\n</HTML>");
    w.setUp(page, 0, page.size());
    w.press(QStringLiteral("Ctrl+E"));
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("\r\n"));
    w.undo();
    QCOMPARE(w.unwrappedPane().text(), page);
}

void MarkupTest::undoAlternatesBetweenBeforeAndAfter()
{
    Window w;
    QTest::keyClick(&w.unwrappedPane(), Qt::Key_A);
    for (const char *expected : {"", "a", ""}) {
        w.undo();
        QCOMPARE(w.unwrappedPane().text(), QString::fromLatin1(expected));
    }
    // A line end typed with Enter is the editor's CR LF, and comes back as one.
    w.setUp(QStringLiteral("ab"), 1);
    QTest::keyClick(&w.unwrappedPane(), Qt::Key_Return);
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("a\r\nb"));
    w.undo();
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("ab"));

    // A key that changes nothing leaves nothing to undo...
    QTest::keyClick(&w.unwrappedPane(), Qt::Key_Left);
    w.undo();
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("ab"));
    // ...but Alt on its way to the edit menu does not count as such a key.
    w.setUp(QStringLiteral("abc"), 0, 3);
    w.press(QStringLiteral("Ctrl+B"));
    QTest::keyClick(&w.unwrappedPane(), Qt::Key_Alt, Qt::AltModifier);
    w.undo();
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("abc"));
}

void MarkupTest::undoAndRedoFromTheKeyboardThroughTheMenu()
{
    Window w;
    w.setUp(QStringLiteral("abc"), 0, 3);
    w.press(QStringLiteral("Ctrl+B"));
    // Alt, E, U as the platform delivers them: U goes to the open menu, and
    // its release then comes to the pane, which never saw its press.
    for (const char *expected : {"abc", "<B>abc</B>", "abc"}) {
        QTest::keyClick(&w.unwrappedPane(), Qt::Key_E, Qt::AltModifier);
        QWidget *menu = QApplication::activePopupWidget();
        QVERIFY(menu);
        QTest::keyPress(menu, Qt::Key_U);
        QTest::keyRelease(&w.unwrappedPane(), Qt::Key_U);
        QCOMPARE(w.unwrappedPane().text(), QString::fromLatin1(expected));
    }
}

void MarkupTest::heldKeyUndoesOnlyTheLastRepeat()
{
    Window w;
    // X11 delivers auto-repeat as pairs of release and press.
    QTest::sendKeyEvent(QTest::Press, &w.unwrappedPane(), Qt::Key_X, 'x', Qt::NoModifier);
    for (int i = 0; i < 3; ++i) {
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"), true);
        QApplication::sendEvent(&w.unwrappedPane(), &release);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"), true);
        QApplication::sendEvent(&w.unwrappedPane(), &press);
    }
    QTest::sendKeyEvent(QTest::Release, &w.unwrappedPane(), Qt::Key_X, 'x', Qt::NoModifier);
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("xxxx"));
    w.undo();
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("xxx"));
}

void MarkupTest::inputMethodCommitIsOneUndoStep()
{
    Window w;
    w.setUp(QStringLiteral("<P>"), 3);
    QInputMethodEvent composing(QStringLiteral("かんじ"), {});
    QApplication::sendEvent(&w.unwrappedPane(), &composing);
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("<P>")); // composition is not text yet
    w.trigger("single_tag.line_break"); // a command while composing neither drops nor doubles it
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("漢字"));
    QApplication::sendEvent(&w.unwrappedPane(), &commit);
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("<P><BR>漢字"));
    w.undo();
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("<P><BR>"));
    w.undo();
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("<P><BR>漢字"));
}

QTEST_MAIN(MarkupTest)
#include "test_markup.moc"
