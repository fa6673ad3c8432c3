// What reaches the edit pane besides keys: the mouse, drops, the input
// method and a screen reader. Every change from them reaches the text once,
// and is one step for the undo pair.
#include "editor/edit_pane.h"
#include "editor/undo_pair.h"

#include <QAccessible>
#include <QAccessibleEditableTextInterface>
#include <QApplication>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QTextCharFormat>

using namespace holvane;

namespace {

QPoint pointOf(const EditPane &pane, qsizetype position)
{
    const QRect r = pane.characterRectangle(position);
    return QPoint(r.left() + 1, r.center().y());
}

void compose(EditPane &pane, const QString &preedit, const QString &commit = {}, int replaceFrom = 0, int replaced = 0)
{
    QList<QInputMethodEvent::Attribute> attributes;
    if (!preedit.isEmpty()) {
        QTextCharFormat underline;
        underline.setFontUnderline(true);
        attributes << QInputMethodEvent::Attribute(QInputMethodEvent::TextFormat, 0, int(preedit.size()), underline)
                   << QInputMethodEvent::Attribute(QInputMethodEvent::Cursor, int(preedit.size()), 1);
    }
    QInputMethodEvent e(preedit, attributes);
    if (!commit.isEmpty() || replaced > 0)
        e.setCommitString(commit, replaceFrom, replaced);
    QApplication::sendEvent(&pane, &e);
}

// Qt's offscreen platform has no drag manager and delivers no drop events;
// the pane's own handler takes them here.
struct DroppablePane : EditPane {
    using EditPane::EditPane;
    using EditPane::dropEvent;
};

// The pane with its undo pair kept as the main window keeps it.
struct Recorded {
    DroppablePane pane;
    UndoPair undo;
    int recordings = 0;
    explicit Recorded(EditPane::Wrap wrap) : pane(QStringLiteral("pane"), wrap)
    {
        pane.resize(480, 320);
        pane.show();
        QObject::connect(&pane, &EditPane::beforeInput, [this](const TextSnapshot &t) { undo.before = t; });
        QObject::connect(&pane, &EditPane::afterInput, [this](const TextSnapshot &t) {
            undo.after = t;
            ++recordings;
        });
    }
    // Undo, and Undo again, as the menu's Undo does.
    QStringList undoTwice()
    {
        undo.restoreInto(pane);
        const QString once = pane.text();
        undo.restoreInto(pane);
        return {once, pane.text()};
    }
};

} // namespace

class PaneInputTest : public QObject {
    Q_OBJECT
private slots:
    void mouseSetsAndExtendsTheSelection();
    void dropsChangeTheTextOnceAndAreOneUndoStep_data();
    void dropsChangeTheTextOnceAndAreOneUndoStep();
    void middleButtonPasteIsOneUndoStep();
    void compositionOverASelectionIsOneUndoStep_data();
    void compositionOverASelectionIsOneUndoStep();
    void cancelledReadingDoesNotComeBack_data();
    void cancelledReadingDoesNotComeBack();
    void commitReplacesWhatTheInputMethodSays();
    void aReadingOutlivesNeitherClicksNorANewText();
    void inputMethodIsAnsweredAtTheCaret();
    void screenReaderReadsAndHears();
};

void PaneInputTest::mouseSetsAndExtendsTheSelection()
{
    Recorded r(EditPane::Wrap::None);
    EditPane &pane = r.pane;
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    pane.setText(QStringLiteral("abc def ghi\r\nsecond line"));
    QSignalSpy mouseUps(&pane, &EditPane::mouseUp);
    QTest::mouseClick(pane.viewport(), Qt::LeftButton, {}, pointOf(pane, 2));
    QCOMPARE(pane.caretPosition(), 2);
    QTest::mouseClick(pane.viewport(), Qt::LeftButton, Qt::ShiftModifier, pointOf(pane, 9));
    QCOMPARE(pane.selectedText(), QStringLiteral("c def g"));
    QCOMPARE(mouseUps.size(), 2);
    QCOMPARE(mouseUps.last().at(1).value<Qt::KeyboardModifiers>(), Qt::ShiftModifier);

    // A drag selects, beyond the pane's edge too.
    QTest::mousePress(pane.viewport(), Qt::LeftButton, {}, pointOf(pane, 1));
    QTest::mouseMove(pane.viewport(), pointOf(pane, 16));
    QTest::mouseRelease(pane.viewport(), Qt::LeftButton, {}, pointOf(pane, 16));
    QCOMPARE(pane.selectedText(), QStringLiteral("bc def ghi\r\nsec"));

    QTest::mouseDClick(pane.viewport(), Qt::LeftButton, {}, pointOf(pane, 5));
    QCOMPARE(pane.selectedText(), QStringLiteral("def"));
    QTest::mouseClick(pane.viewport(), Qt::LeftButton, {}, pointOf(pane, 5)); // the third click: the line
    QCOMPARE(pane.selectedText(), QStringLiteral("abc def ghi\r\n"));
    QCOMPARE(r.recordings, 0); // selecting is no input
}

void PaneInputTest::dropsChangeTheTextOnceAndAreOneUndoStep_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("selectedFrom");
    QTest::addColumn<int>("selectedLength"); // 0: the drop comes from another program
    QTest::addColumn<QString>("dropped");    // from another program
    QTest::addColumn<int>("at");
    QTest::addColumn<bool>("copy");
    QTest::addColumn<QString>("result");
    QTest::newRow("from outside at the start") << "<P>abc</P>" << 0 << 0 << "XYZ" << 0 << false << "XYZ<P>abc</P>";
    QTest::newRow("from outside, its line ends made the editor's")
        << "ab" << 0 << 0 << "x\ny\rz" << 1 << false << "ax\r\ny\r\nzb";
    QTest::newRow("moved to the end of another line")
        << "AAAABBBB\r\nFFFF" << 4 << 4 << "" << 14 << false << "AAAA\r\nFFFFBBBB";
    QTest::newRow("moved back") << "0123456789" << 6 << 2 << "" << 1 << false << "0671234589";
    QTest::newRow("copied with Ctrl") << "AAAABBBB\r\nFFFF" << 4 << 4 << "" << 14 << true << "AAAABBBB\r\nFFFFBBBB";
}

void PaneInputTest::dropsChangeTheTextOnceAndAreOneUndoStep()
{
    QFETCH(QString, text);
    QFETCH(int, selectedFrom);
    QFETCH(int, selectedLength);
    QFETCH(QString, dropped);
    QFETCH(int, at);
    QFETCH(bool, copy);
    QFETCH(QString, result);
    for (const EditPane::Wrap wrap : {EditPane::Wrap::None, EditPane::Wrap::AtRightEdge}) {
        Recorded r(wrap);
        r.pane.setText(text);
        r.pane.setSelectionStart(selectedFrom);
        r.pane.setSelectionLength(selectedLength);
        QMimeData *data = r.pane.createMimeDataFromSelection();
        if (selectedLength == 0) {
            delete data;
            data = new QMimeData;
            data->setText(dropped);
        }
        // Typed before the drop, so that the undo pair shows the drop is a step of its own.
        QTest::keyClick(&r.pane, Qt::Key_Shift);
        QDropEvent drop(pointOf(r.pane, at), Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton,
                        copy ? Qt::ControlModifier : Qt::NoModifier);
        drop.setDropAction(copy || selectedLength == 0 ? Qt::CopyAction : Qt::MoveAction);
        r.pane.dropEvent(&drop);
        delete data;
        QCOMPARE(r.pane.text(), result);
        QCOMPARE(r.pane.lineCount(), result.count(u'\n') + 1);
        QCOMPARE(r.undoTwice(), (QStringList{text, result}));
    }
}

void PaneInputTest::middleButtonPasteIsOneUndoStep()
{
    for (const EditPane::Wrap wrap : {EditPane::Wrap::None, EditPane::Wrap::AtRightEdge}) {
        Recorded r(wrap);
        r.pane.setText(QStringLiteral("abc"));
        QTest::keyClicks(&r.pane, QStringLiteral("x"));
        r.pane.pasteAt(2, QStringLiteral("1\n2"));
        QCOMPARE(r.pane.text(), QStringLiteral("xa1\r\n2bc"));
        QCOMPARE(r.undoTwice(), (QStringList{QStringLiteral("xabc"), QStringLiteral("xa1\r\n2bc")}));
    }
}

void PaneInputTest::compositionOverASelectionIsOneUndoStep_data()
{
    QTest::addColumn<bool>("wrapping");
    QTest::newRow("unwrapped") << false;
    QTest::newRow("wrapping") << true;
}

void PaneInputTest::compositionOverASelectionIsOneUndoStep()
{
    QFETCH(bool, wrapping);
    Recorded r(wrapping ? EditPane::Wrap::AtRightEdge : EditPane::Wrap::None);
    r.pane.setText(QStringLiteral("abc"));
    r.pane.setSelectionStart(1);
    r.pane.setSelectionLength(1);
    // The reading in several updates: the selection leaves the screen, not the text.
    compose(r.pane, QStringLiteral("k"));
    compose(r.pane, QStringLiteral("か"));
    QCOMPARE(r.pane.text(), QStringLiteral("abc"));
    QCOMPARE(r.pane.buffer().text(), QStringLiteral("ac"));
    compose(r.pane, QString(), QStringLiteral("か"));
    QCOMPARE(r.pane.text(), QStringLiteral("aかc"));
    QCOMPARE(r.recordings, 1);
    QCOMPARE(r.undoTwice(), (QStringList{QStringLiteral("abc"), QStringLiteral("aかc")}));

    // A reading committed ends its composition: the next one, over a
    // selection made since, takes that selection out too.
    compose(r.pane, QStringLiteral("き"));
    compose(r.pane, QString(), QStringLiteral("き"));
    r.pane.setCaret(0, r.pane.text().size());
    compose(r.pane, QStringLiteral("く"));
    QCOMPARE(r.pane.buffer().text(), QString());
    compose(r.pane, QString(), QStringLiteral("く"));
    QCOMPARE(r.pane.text(), QStringLiteral("く"));
    QCOMPARE(r.undoTwice(), (QStringList{QStringLiteral("aかcき"), QStringLiteral("く")}));

    // Cancelled: the selection comes back as it was, and nothing is recorded.
    const int recorded = r.recordings;
    r.pane.setText(QStringLiteral("abc"));
    r.pane.setCaret(1, 2);
    compose(r.pane, QStringLiteral("さ"));
    compose(r.pane, QString());
    QCOMPARE(r.pane.text(), QStringLiteral("abc"));
    QCOMPARE(r.pane.anchorPosition(), 2);
    QCOMPARE(r.pane.caretPosition(), 1);
    QCOMPARE(r.recordings, recorded);
}

void PaneInputTest::cancelledReadingDoesNotComeBack_data()
{
    // Composition events in the order the platform sends them: P preedit,
    // E the preedit emptied without a commit, C commit, K a key press.
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QString>("result");
    QTest::newRow("reading withdrawn, then committed on request")
        << QStringList{"Pさくら", "E", "Cさくら"} << QString();
    QTest::newRow("ordinary commit after a preedit") << QStringList{"Pかんじ", "C漢字"} << QStringLiteral("漢字");
    QTest::newRow("a key came in between") << QStringList{"Pさくら", "E", "K", "Cさくら"} << QStringLiteral("さくら");
    QTest::newRow("a new composition in between")
        << QStringList{"Pさくら", "E", "Pさ", "Cさくら"} << QStringLiteral("さくら");
    QTest::newRow("another text committed") << QStringList{"Pさくら", "E", "C桜"} << QStringLiteral("桜");
    QTest::newRow("only the first such commit") << QStringList{"Pさくら", "E", "Cさくら", "Cさくら"}
                                                << QStringLiteral("さくら");
}

void PaneInputTest::cancelledReadingDoesNotComeBack()
{
    QFETCH(QStringList, events);
    QFETCH(QString, result);
    Recorded r(EditPane::Wrap::None);
    for (const QString &event : events) {
        if (event.front() == u'K')
            QTest::keyClick(&r.pane, Qt::Key_Shift);
        else
            compose(r.pane, event.front() == u'P' ? event.mid(1) : QString(), event.front() == u'C' ? event.mid(1) : QString());
    }
    QCOMPARE(r.pane.text(), result);
}

void PaneInputTest::commitReplacesWhatTheInputMethodSays()
{
    Recorded r(EditPane::Wrap::None);
    r.pane.setText(QStringLiteral("abcdef"));
    r.pane.setSelectionStart(3);
    compose(r.pane, QString(), QStringLiteral("X\nY"), -2, 2); // "bc", with a line end of its own
    QCOMPARE(r.pane.text(), QStringLiteral("aX\r\nYdef"));
    QCOMPARE(r.pane.caretPosition(), 5);
    QCOMPARE(r.undoTwice(), (QStringList{QStringLiteral("abcdef"), QStringLiteral("aX\r\nYdef")}));
}

void PaneInputTest::aReadingOutlivesNeitherClicksNorANewText()
{
    // A click while a reading shows: the reading goes in where it showed,
    // as one step for Undo, and the input method's own commit of it on the
    // reset that follows (ibus with Mozc sends one) is not a second copy.
    Recorded r(EditPane::Wrap::None);
    r.pane.setText(QStringLiteral("abcdefghij"));
    r.pane.setSelectionStart(2);
    compose(r.pane, QStringLiteral("か"));
    QTest::mouseClick(r.pane.viewport(), Qt::LeftButton, {}, pointOf(r.pane, 8));
    QCOMPARE(r.pane.text(), QStringLiteral("abかcdefghij"));
    QCOMPARE(r.pane.caretPosition(), 9); // where the click was, the reading before it
    compose(r.pane, QString());
    compose(r.pane, QString(), QStringLiteral("か"));
    QCOMPARE(r.pane.text(), QStringLiteral("abかcdefghij"));
    QCOMPARE(r.undoTwice(), (QStringList{QStringLiteral("abcdefghij"), QStringLiteral("abかcdefghij")}));

    // A commit after a click the pane did not see (another program's
    // window, say) still goes where its reading showed.
    r.pane.setText(QStringLiteral("abcdefghij"));
    r.pane.setSelectionStart(2);
    compose(r.pane, QStringLiteral("か"));
    r.pane.setCaret(8, 8);
    compose(r.pane, QString(), QStringLiteral("漢"));
    QCOMPARE(r.pane.text(), QStringLiteral("ab漢cdefghij"));

    // A new text under a reading typed over a selection: the reading ends,
    // and nothing of the old text comes back.
    r.pane.setText(QStringLiteral("hello world"));
    r.pane.setCaret(11, 6);
    compose(r.pane, QStringLiteral("x"));
    r.pane.setText(QStringLiteral("brand new text"));
    QCOMPARE(r.pane.text(), QStringLiteral("brand new text"));
    compose(r.pane, QString()); // the input method's cancel, late
    QCOMPARE(r.pane.text(), QStringLiteral("brand new text"));

    // Undo under such a reading puts back exactly the text it was given.
    r.pane.setText(QStringLiteral("hello world"));
    r.pane.setCaret(11, 6);
    compose(r.pane, QStringLiteral("x"));
    r.pane.replaceAllCaretAtEnd(TextSnapshot(QStringLiteral("hello world!")));
    QCOMPARE(r.pane.text(), QStringLiteral("hello world!"));
}

void PaneInputTest::inputMethodIsAnsweredAtTheCaret()
{
    Recorded r(EditPane::Wrap::None);
    EditPane &pane = r.pane;
    pane.setText(QStringLiteral("first\r\nsecond line"));
    pane.setCaret(10, 8);
    QCOMPARE(pane.inputMethodQuery(Qt::ImEnabled).toBool(), true);
    QVERIFY(pane.inputMethodQuery(Qt::ImHints).toInt() & Qt::ImhMultiLine);
    QCOMPARE(pane.inputMethodQuery(Qt::ImFont).value<QFont>(), pane.font());
    QCOMPARE(pane.inputMethodQuery(Qt::ImSurroundingText).toString(), QStringLiteral("second line"));
    QCOMPARE(pane.inputMethodQuery(Qt::ImCursorPosition).toInt(), 3);
    QCOMPARE(pane.inputMethodQuery(Qt::ImAnchorPosition).toInt(), 1);
    QCOMPARE(pane.inputMethodQuery(Qt::ImCurrentSelection).toString(), QStringLiteral("ec"));
    const QRectF caret = pane.inputMethodQuery(Qt::ImCursorRectangle).toRectF();
    QCOMPARE(caret.toAlignedRect(), pane.caretRectangle());
    QVERIFY(QRectF(pane.viewport()->geometry()).contains(caret.center()));
    // The candidate window follows the reading's own caret.
    pane.setSelectionStart(10);
    const qreal before = pane.inputMethodQuery(Qt::ImCursorRectangle).toRectF().x();
    compose(pane, QStringLiteral("にほんご"));
    QVERIFY(pane.inputMethodQuery(Qt::ImCursorRectangle).toRectF().x() > before + 20);
    compose(pane, QString(), QStringLiteral("日本語"));
    QCOMPARE(pane.text(), QStringLiteral("first\r\nsec日本語ond line"));
}

void PaneInputTest::screenReaderReadsAndHears()
{
    // What a screen reader asks; what it hears needs a real desktop (Qt's
    // offscreen platform has no accessibility to turn on), and is checked
    // there through AT-SPI.
    Recorded r(EditPane::Wrap::None);
    EditPane &pane = r.pane;
    pane.setText(QStringLiteral("一行目\r\nsecond line"));
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(&pane);
    QVERIFY(face && face->textInterface() && face->editableTextInterface());
    QAccessibleTextInterface *text = face->textInterface();
    QCOMPARE(face->role(), QAccessible::EditableText);
    QCOMPARE(text->characterCount(), 16);
    QCOMPARE(text->text(0, 3), QStringLiteral("一行目"));
    pane.setCaret(9, 5);
    QCOMPARE(text->cursorPosition(), 9);
    int start = 0, end = 0;
    QCOMPARE(text->textAtOffset(7, QAccessible::LineBoundary, &start, &end), QStringLiteral("second line"));
    QCOMPARE(text->textAtOffset(1, QAccessible::LineBoundary, &start, &end), QStringLiteral("一行目\r\n"));
    QCOMPARE(text->textAtOffset(8, QAccessible::WordBoundary, &start, &end), QStringLiteral("second"));
    text->selection(0, &start, &end);
    QCOMPARE(std::pair(start, end), std::pair(5, 9));
    QVERIFY(text->characterRect(5).isValid());
    face->editableTextInterface()->replaceText(0, 3, QStringLiteral("1"));
    QCOMPARE(pane.text(), QStringLiteral("1\r\nsecond line"));
    QCOMPARE(text->characterCount(), 14);
}

QTEST_MAIN(PaneInputTest)
#include "test_pane_input.moc"
