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

    void everyPairWrapsTheSelection_data();
    void everyPairWrapsTheSelection();
    void pairWrapsMultiLineSelectionsKeepingTheirLineEnds();
    void nothingSelectedChangesNothingAndUndoKeepsIt();
    void singleTagsGoInAtTheCaret_data();
    void singleTagsGoInAtTheCaret();
    void tagRemovalThroughTheWindow();
    void commandsWorkOnlyOnTheActivePane();
    void popupRouteRunsTheChosenCommand();

    void undoAlternatesBetweenBeforeAndAfter();
    void heldKeyUndoesOnlyTheLastRepeat();
    void keysThatChangeNothingLeaveNothingToUndo();
    void altOnItsWayToTheEditMenuKeepsUndo();
    void inputMethodCommitIsOneUndoStep();
    void compositionIsNeitherLostNorDoubled();
};

void MarkupTest::tagRemovalScan_data()
{
    QTest::addColumn<QString>("selection");
    QTest::addColumn<QString>("result"); // null: stays as it is
    const QString unchanged;
    QTest::newRow("bold") << QStringLiteral("<B>bold</B>") << QStringLiteral("bold");
    QTest::newRow("anchor") << QStringLiteral("<A HREF=\"\">link</A>") << QStringLiteral("link");
    QTest::newRow("font") << QStringLiteral("<FONT COLOR=\"\" SIZE=\"\">x</FONT>") << QStringLiteral("x");
    QTest::newRow("two lines") << QStringLiteral("<B>line 1\r\nline 2</B>") << QStringLiteral("line 1\r\nline 2");
    QTest::newRow("single tag") << QStringLiteral("<BR>") << QStringLiteral("");
    QTest::newRow("rule") << QStringLiteral("<HR ALIGN=\"\" COLOR=\"\" SIZE=\"\" WIDTH=\"\">") << QStringLiteral("");
    QTest::newRow("empty tag") << QStringLiteral("<>") << QStringLiteral("");
    QTest::newRow("empty pair") << QStringLiteral("<B></B>") << QStringLiteral("");
    QTest::newRow("nested") << QStringLiteral("<B><I>x</I></B>") << QStringLiteral("");
    QTest::newRow("two pairs") << QStringLiteral("<B>a</B> and <I>b</I>") << QStringLiteral("a");
    QTest::newRow("no second tag") << QStringLiteral("<B>text>") << QStringLiteral("text>");
    QTest::newRow("doubled brackets") << QStringLiteral("<<B>>") << QStringLiteral(">");
    QTest::newRow("quoted bracket") << QStringLiteral("<A TITLE='a>b'>x</A>") << QStringLiteral("b'>x");
    QTest::newRow("full-width brackets are text") << QStringLiteral("<B>＜太字＞</B>") << QStringLiteral("＜太字＞");
    QTest::newRow("no opening bracket") << QStringLiteral("abc") << unchanged;
    QTest::newRow("no closing bracket") << QStringLiteral("<abc") << unchanged;
    QTest::newRow("closing only") << QStringLiteral("abc>") << unchanged;
    QTest::newRow("lone bracket") << QStringLiteral("<") << unchanged;
    QTest::newRow("reversed") << QStringLiteral("> x <") << unchanged;
    QTest::newRow("nothing") << QString() << unchanged;
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
    const QString farTag = QString(70000, u'x');
    QCOMPARE(textBetweenFirstTags(u'<' + farTag + QStringLiteral(">y<z>")), QStringLiteral("y"));
}

void MarkupTest::everyPairWrapsTheSelection_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("shortcut");
    QTest::addColumn<QString>("expected");
    const char *results[] = {"<B>def</B>", "<I>def</I>", "<U>def</U>", "<TT>def</TT>", "<S>def</S>",
                             "<SUP>def</SUP>", "<SUB>def</SUB>", "<BIG>def</BIG>", "<SMALL>def</SMALL>",
                             "<A HREF=\"\">def</A>", "<FONT COLOR=\"\" SIZE=\"\">def</FONT>", "<TR>def</TR>",
                             "<TD>def</TD>"};
    const char *keys[] = {"Ctrl+B", "Ctrl+I", "Ctrl+U", "Ctrl+T", "Ctrl+S", "Ctrl+P", "Ctrl+D",
                          "Ctrl+G", "Ctrl+M", "Ctrl+A", "Ctrl+F", "Ctrl+O", "Ctrl+L"};
    for (size_t i = 0; i < kPairedTags.size(); ++i)
        QTest::newRow(kPairedTags[i].item) << QString::fromLatin1(kPairedTags[i].item) << QString::fromLatin1(keys[i])
                                           << QStringLiteral("abc ") + QString::fromLatin1(results[i]);
}

void MarkupTest::everyPairWrapsTheSelection()
{
    QFETCH(QString, item);
    QFETCH(QString, shortcut);
    QFETCH(QString, expected);
    for (const bool wrapping : {false, true}) {
        Window w;
        w.item("rightturn")->setChecked(wrapping);
        w.setUp(QStringLiteral("abc def"), 4, 3);
        w.press(QKeySequence(shortcut));
        QCOMPARE(w.active().Text(), expected);
        QCOMPARE(w.active().SelStart(), expected.size());
        QCOMPARE(w.active().SelLength(), 0);
        // The same key again finds nothing selected.
        w.press(QKeySequence(shortcut));
        QCOMPARE(w.active().Text(), expected);
        w.undo();
        QCOMPARE(w.active().Text(), expected);
        // The menu item does what the key does, and Undo takes it back.
        w.active().setSelStart(0);
        w.active().setSelLength(3);
        w.trigger(qPrintable(item));
        w.undo();
        QCOMPARE(w.active().Text(), expected);
        w.undo();
        QVERIFY(w.active().Text().endsWith(expected.mid(4)));
        QVERIFY(w.active().Text() != expected);
    }
}

void MarkupTest::pairWrapsMultiLineSelectionsKeepingTheirLineEnds()
{
    Window w;
    w.setUp(QStringLiteral("x\r\none\r\ntwo\nthree\ry"), 3, 15);
    QCOMPARE(w.mains().SelText(), QStringLiteral("one\r\ntwo\nthree\r"));
    w.press(QKeySequence(QStringLiteral("Ctrl+B")));
    QCOMPARE(w.mains().Text(), QStringLiteral("x\r\n<B>one\r\ntwo\nthree\r</B>y"));
    w.undo();
    QCOMPARE(w.mains().Text(), QStringLiteral("x\r\none\r\ntwo\nthree\ry"));
    QCOMPARE(w.mains().SelStart(), w.mains().Text().size());
}

void MarkupTest::nothingSelectedChangesNothingAndUndoKeepsIt()
{
    Window w;
    w.setUp(QStringLiteral("abc def"), 2, 0);
    w.trigger("bolder");
    QCOMPARE(w.mains().Text(), QStringLiteral("abc def"));
    QCOMPARE(w.form->undoPair().before, QStringLiteral("abc def"));
    QCOMPARE(w.form->undoPair().after, QStringLiteral("abc def"));
    w.undo();
    QCOMPARE(w.mains().Text(), QStringLiteral("abc def"));
    w.trigger("Tagerase");
    QCOMPARE(w.form->undoPair().after, QStringLiteral("abc def"));
}

void MarkupTest::singleTagsGoInAtTheCaret_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::newRow("break at the caret") << "brs" << 2 << 0 << "abcd" << "ab<BR>cd";
    QTest::newRow("break over a selection") << "brs" << 1 << 2 << "abcd" << "a<BR>d";
    QTest::newRow("image into nothing") << "Img" << 0 << 0 << ""
                                        << "<IMG SRC=\"\" WIDTH=\"\" HEIGHT=\"\" ALT=\"\">";
    QTest::newRow("rule after a line end") << "hrs" << 3 << 0 << "a\r\nb"
                                           << "a\r\n<HR ALIGN=\"\" COLOR=\"\" SIZE=\"\" WIDTH=\"\">b";
}

void MarkupTest::singleTagsGoInAtTheCaret()
{
    QFETCH(QString, item);
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(QString, before);
    QFETCH(QString, after);
    Window w;
    w.setUp(before, start, length);
    w.trigger(qPrintable(item));
    QCOMPARE(w.mains().Text(), after);
    const qsizetype caret = w.mains().SelStart();
    w.trigger(qPrintable(item)); // twice in a row: one after the other
    const QString tag = after.mid(start, caret - start);
    QCOMPARE(w.mains().Text(), after.left(caret) + tag + after.mid(caret));
    w.undo();
    QCOMPARE(w.mains().Text(), after);
}

void MarkupTest::tagRemovalThroughTheWindow()
{
    Window w;
    const QString page = QStringLiteral("<HTML>\r\n<BODY>本文</BODY>\r\n</HTML>");
    w.setUp(QStringLiteral("x <B>太字</B> y"), 2, 9);
    w.press(QKeySequence(QStringLiteral("Ctrl+E")));
    QCOMPARE(w.mains().Text(), QStringLiteral("x 太字 y"));
    QCOMPARE(w.mains().SelStart(), 4);
    w.setUp(page, 0, page.size());
    w.press(QKeySequence(QStringLiteral("Ctrl+E")));
    QCOMPARE(w.mains().Text(), QStringLiteral("\r\n"));
    QCOMPARE(w.form->undoPair().before, page);
    w.undo();
    QCOMPARE(w.mains().Text(), page);
    w.setUp(QStringLiteral("a<BR>b"), 1, 4);
    w.trigger("Tagerase");
    QCOMPARE(w.mains().Text(), QStringLiteral("ab"));
    QCOMPARE(w.mains().SelStart(), 1);
}

void MarkupTest::commandsWorkOnlyOnTheActivePane()
{
    Window w;
    w.setUp(QStringLiteral("abc"), 0, 3);
    w.trigger("rightturn");
    w.mains2().setSelStart(0);
    w.mains2().setSelLength(3);
    w.trigger("Biger");
    QCOMPARE(w.mains2().Text(), QStringLiteral("<BIG>abc</BIG>"));
    QCOMPARE(w.mains().Text(), QStringLiteral("abc"));
    QCOMPARE(w.form->undoPair().before, QStringLiteral("abc"));
    w.trigger("rightturn");
    w.mains().setSelStart(0);
    w.trigger("brs");
    QCOMPARE(w.mains().Text(), QStringLiteral("<BR><BIG>abc</BIG>"));
}

void MarkupTest::popupRouteRunsTheChosenCommand()
{
    for (const char *chosen : {"TD", "Tagerase"}) {
        Window w;
        w.setUp(QStringLiteral("a <B>x</B>"), 2, 8);
        whenModalOpens([&](QWidget *popup) {
            w.item(chosen)->trigger();
            popup->close();
        });
        QWidget *viewport = w.mains().viewport();
        QMouseEvent e(QEvent::MouseButtonRelease, QPointF(5, 5), viewport->mapToGlobal(QPointF(5, 5)),
                      Qt::LeftButton, Qt::NoButton, Qt::ShiftModifier);
        QApplication::sendEvent(viewport, &e);
        QCOMPARE(w.mains().Text(), QString::fromLatin1(chosen) == QLatin1String("TD")
                                       ? QStringLiteral("a <TD><B>x</B></TD>")
                                       : QStringLiteral("a x"));
        w.undo();
        QCOMPARE(w.mains().Text(), QStringLiteral("a <B>x</B>"));
    }
}

void MarkupTest::undoAlternatesBetweenBeforeAndAfter()
{
    Window w;
    QTest::keyClick(&w.mains(), Qt::Key_A);
    QCOMPARE(w.mains().Text(), QStringLiteral("a"));
    w.undo();
    QCOMPARE(w.mains().Text(), QString());
    w.undo();
    QCOMPARE(w.mains().Text(), QStringLiteral("a"));
    w.undo();
    QCOMPARE(w.mains().Text(), QString());
    // A line end typed with Enter is the editor's CR LF, and comes back as one.
    w.mains().setText(QStringLiteral("ab"));
    w.mains().setSelStart(1);
    QTest::keyClick(&w.mains(), Qt::Key_Return);
    QCOMPARE(w.mains().Text(), QStringLiteral("a\r\nb"));
    w.undo();
    QCOMPARE(w.mains().Text(), QStringLiteral("ab"));
    w.undo();
    QCOMPARE(w.mains().Text(), QStringLiteral("a\r\nb"));
}

void MarkupTest::heldKeyUndoesOnlyTheLastRepeat()
{
    Window w;
    // X11 delivers auto-repeat as pairs of release and press.
    QTest::sendKeyEvent(QTest::Press, &w.mains(), Qt::Key_X, 'x', Qt::NoModifier);
    for (int i = 0; i < 3; ++i) {
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"), true);
        QApplication::sendEvent(&w.mains(), &release);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"), true);
        QApplication::sendEvent(&w.mains(), &press);
    }
    QTest::sendKeyEvent(QTest::Release, &w.mains(), Qt::Key_X, 'x', Qt::NoModifier);
    QCOMPARE(w.mains().Text(), QStringLiteral("xxxx"));
    w.undo();
    QCOMPARE(w.mains().Text(), QStringLiteral("xxx"));
}

void MarkupTest::keysThatChangeNothingLeaveNothingToUndo()
{
    Window w;
    QTest::keyClicks(&w.mains(), QStringLiteral("ab"));
    QTest::keyClick(&w.mains(), Qt::Key_Left);
    w.undo();
    QCOMPARE(w.mains().Text(), QStringLiteral("ab"));
}

void MarkupTest::altOnItsWayToTheEditMenuKeepsUndo()
{
    Window w;
    w.setUp(QStringLiteral("abc"), 0, 3);
    w.press(QKeySequence(QStringLiteral("Ctrl+B")));
    QTest::keyClick(&w.mains(), Qt::Key_Alt, Qt::AltModifier);
    w.undo();
    QCOMPARE(w.mains().Text(), QStringLiteral("abc"));
}

void MarkupTest::inputMethodCommitIsOneUndoStep()
{
    Window w;
    QTest::keyClicks(&w.mains(), QStringLiteral("<P>"));
    QInputMethodEvent composing(QStringLiteral("にほんご"), {});
    QApplication::sendEvent(&w.mains(), &composing);
    QCOMPARE(w.mains().Text(), QStringLiteral("<P>")); // composition is not text yet
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("日本語"));
    QApplication::sendEvent(&w.mains(), &commit);
    QCOMPARE(w.mains().Text(), QStringLiteral("<P>日本語"));
    w.undo();
    QCOMPARE(w.mains().Text(), QStringLiteral("<P>"));
    w.undo();
    QCOMPARE(w.mains().Text(), QStringLiteral("<P>日本語"));
}

void MarkupTest::compositionIsNeitherLostNorDoubled()
{
    Window w;
    w.setUp(QStringLiteral("abc"), 3, 0);
    QInputMethodEvent composing(QStringLiteral("かんじ"), {});
    QApplication::sendEvent(&w.mains(), &composing);
    w.trigger("brs");
    QCOMPARE(w.mains().Text(), QStringLiteral("abc<BR>"));
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("漢字"));
    QApplication::sendEvent(&w.mains(), &commit);
    QCOMPARE(w.mains().Text().count(QStringLiteral("漢字")), 1);
    QCOMPARE(w.mains().Text().count(QStringLiteral("かんじ")), 0);
}

QTEST_MAIN(MarkupTest)
#include "test_markup.moc"
