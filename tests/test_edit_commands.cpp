// Cut, copy, paste, delete, select all, time and date, on whichever pane is
// active, each leaving exactly one change for Undo.
#include "commands/clock_text.h"
#include "window_fixture.h"

using namespace holvane;
using namespace holvane::testing;

class EditCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void clipboardCommandsInBothPanes_data();
    void clipboardCommandsInBothPanes();
    void emptySelectionAndEmptyClipboard();
    void pastedLineEndsBecomeThePanesOwn();
    void timeAndDateTexts_data();
    void timeAndDateTexts();
    void timeAndDateReplaceTheSelection();
};

void EditCommandsTest::clipboardCommandsInBothPanes_data()
{
    QTest::addColumn<bool>("wrapping");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("text");      // after the command, "b" of "abc" selected before
    QTest::addColumn<QString>("clipboard"); // after the command; it held "Z"
    for (const bool wrapping : {false, true}) {
        const char *pane = wrapping ? "wrappingPane" : "unwrappedPane";
        QTest::addRow("%s copy", pane) << wrapping << "edit.copy" << "abc" << "b";
        QTest::addRow("%s cut", pane) << wrapping << "edit.cut" << "ac" << "b";
        QTest::addRow("%s paste", pane) << wrapping << "edit.paste" << "aZc" << "Z";
        QTest::addRow("%s delete", pane) << wrapping << "edit.delete" << "ac" << "Z";
        QTest::addRow("%s select all", pane) << wrapping << "edit.select_all" << "abc" << "Z";
    }
}

void EditCommandsTest::clipboardCommandsInBothPanes()
{
    QFETCH(bool, wrapping);
    QFETCH(QString, item);
    QFETCH(QString, text);
    QFETCH(QString, clipboard);
    Window w;
    w.action("edit.wrap")->setChecked(wrapping);
    w.fakes.clipboard.content = QStringLiteral("Z");
    w.setUp(QStringLiteral("abc"), 1, 1);
    QTest::keyClick(&w.active(), Qt::Key_Right); // the snapshots now hold "abc" both
    w.active().setSelectionStart(1);
    w.active().setSelectionLength(1);
    w.trigger(qPrintable(item));
    QCOMPARE(w.active().text(), text);
    QCOMPARE(w.fakes.clipboard.content, clipboard);
    QCOMPARE((wrapping ? w.unwrappedPane() : w.wrappingPane()).text(), QString());
    if (item == QLatin1String("edit.select_all")) // selecting is no change: the snapshots stay
        QCOMPARE(w.active().selectedText(), QStringLiteral("abc"));
    w.undo();
    QCOMPARE(w.active().text(), QStringLiteral("abc"));
    w.undo();
    QCOMPARE(w.active().text(), text);
}

void EditCommandsTest::emptySelectionAndEmptyClipboard()
{
    Window w;
    w.setUp(QStringLiteral("abc"), 1, 0);
    for (const char *item : {"edit.copy", "edit.cut", "edit.delete"}) {
        w.fakes.clipboard.content = QStringLiteral("Z");
        w.trigger(item); // nothing selected: not even the next character goes
        QCOMPARE(w.unwrappedPane().text(), QStringLiteral("abc"));
        QCOMPARE(w.fakes.clipboard.content, QLatin1String(item) == QLatin1String("edit.delete") ? "Z" : "");
        QCOMPARE(w.form->undoPair().before.toString(), QStringLiteral("abc"));
        QCOMPARE(w.form->undoPair().after.toString(), QStringLiteral("abc"));
    }
    w.fakes.clipboard.content.clear();
    w.unwrappedPane().setSelectionLength(2);
    w.trigger("edit.paste"); // the clipboard is empty: the selection just goes
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("a"));

    w.unwrappedPane().setText(QString());
    w.press(QStringLiteral("F1"));
    QCOMPARE(w.unwrappedPane().selectionLength(), 0);
}

void EditCommandsTest::pastedLineEndsBecomeThePanesOwn()
{
    Window w;
    w.fakes.clipboard.content = QStringLiteral("one\ntwo\r\nthree\r");
    w.setUp(QStringLiteral("[]"), 1, 0);
    w.trigger("edit.paste");
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("[one\r\ntwo\r\nthree\r\n]"));
    w.fakes.clipboard.content = QStringLiteral("1\u20282\u2029");
    w.trigger("edit.paste");
    w.trigger("edit.paste"); // line and paragraph separators are line ends too
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("[one\r\ntwo\r\nthree\r\n1\r\n2\r\n1\r\n2\r\n]"));
    w.setUp(QStringLiteral("[one\r\ntwo\r\nthree\r\n]"));
    w.unwrappedPane().setSelectionStart(1);
    w.unwrappedPane().setSelectionLength(10);
    w.trigger("edit.copy");
    QCOMPARE(w.fakes.clipboard.content, QStringLiteral("one\r\ntwo\r\n"));
    w.trigger("edit.paste"); // copied and pasted within the document: nothing changes
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("[one\r\ntwo\r\nthree\r\n]"));
}

void EditCommandsTest::timeAndDateTexts_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("date");
    QTest::newRow("evening in Japan") << QDateTime(QDate(2026, 12, 6), QTime(21, 5, 3)) << "ja_JP" << "21:05:03"
                                      << "12/6";
    QTest::newRow("first days and months") << QDateTime(QDate(2027, 1, 5), QTime(9, 5, 3)) << "ja_JP" << "9:05:03"
                                           << "1/5";
    QTest::newRow("midnight") << QDateTime(QDate(2027, 9, 9), QTime(0, 0, 0)) << "ja_JP" << "0:00:00" << "9/9";
    QTest::newRow("Finnish separator") << QDateTime(QDate(2027, 3, 4), QTime(21, 5, 3)) << "fi_FI" << "21.05.03"
                                       << "3/4";
    QTest::newRow("American form") << QDateTime(QDate(2027, 12, 31), QTime(21, 5, 3)) << "en_US"
                                   << "9:05:03\u202FPM" << "12/31";
}

void EditCommandsTest::timeAndDateTexts()
{
    QFETCH(QDateTime, now);
    QFETCH(QString, locale);
    QFETCH(QString, time);
    QFETCH(QString, date);
    QString shown = timeText(now.time(), QLocale(locale));
    shown.replace(u' ', QChar(0x202F)); // CLDR versions differ in the blank before PM
    QCOMPARE(shown, time);
    QCOMPARE(dateText(now.date()), date);
}

void EditCommandsTest::timeAndDateReplaceTheSelection()
{
    QLocale::setDefault(QLocale(QStringLiteral("ja_JP")));
    Window w;
    w.fakes.clock.time = QDateTime(QDate(2027, 1, 5), QTime(7, 8, 9));
    w.setUp(QStringLiteral("<P>x</P>"), 3, 1);
    w.trigger("edit.insert_date");
    w.trigger("edit.insert_time");
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("<P>1/57:08:09</P>"));
    w.undo();
    QCOMPARE(w.unwrappedPane().text(), QStringLiteral("<P>1/5</P>"));
    QLocale::setDefault(QLocale::c());
}

QTEST_MAIN(EditCommandsTest)
#include "test_edit_commands.moc"
