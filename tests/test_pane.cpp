// The edit pane keeps each line end as it came and counts in the documents'
// own terms, whatever the keys do to it; long lines cost a screenful; the
// wrapping pane wraps without its scroll bar moving under the user's hand.
#include "editor/edit_pane.h"
#include "editor/line_layouts.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QScrollBar>
#include <QTest>

using namespace holvane;

namespace {

QString withLf(QString text)
{
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n');
}

// Where to point for the place before a character: its left edge, mid-row.
QPoint pointOf(const EditPane &pane, qsizetype position)
{
    const QRect r = pane.characterRectangle(position);
    return QPoint(r.left() + 1, r.center().y());
}

void press(EditPane &pane, const QString &keys)
{
    for (const QString &key : keys.split(u' ', Qt::SkipEmptyParts)) {
        const QKeyCombination combination = QKeySequence(key)[0];
        QTest::keyClick(&pane, combination.key(), combination.keyboardModifiers());
    }
}

// Japanese HTML on one long line, as a minified page has it.
QString minified(qsizetype length)
{
    QString line = QStringLiteral("<P>");
    while (line.size() < length)
        line += QStringLiteral("<B>太字</B>日本語の文章 base64+/=");
    return line;
}

} // namespace

class PaneTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { delete std::exchange(m_pane, nullptr); }

    void textComesBackExactly_data();
    void textComesBackExactly();
    void selectionCountsCrLfAsTwo();
    void typingKeepsOtherLineEnds();
    void lineEndsThatMeetBecomeOne_data();
    void lineEndsThatMeetBecomeOne();
    void everyLineBreakTypedIsALineEnd();
    void replaceAllChangesOnlyWhatDiffers_data();
    void replaceAllChangesOnlyWhatDiffers();
    void keysMoveTheCaret_data();
    void keysMoveTheCaret();
    void keysEdit_data();
    void keysEdit();
    void reservedKeysNeverEdit();
    void pagesAndTheEnds();
    void longLinesAreLaidOutAScreenAtATime();
    void lineEndsMeetingAtTheEndOfALongLine();
    void longLinePositionsRoundTrip_data();
    void longLinePositionsRoundTrip();
    void wrappedRowsAreRowsForTheKeys();
    void scrollBarHoldsStillWhileDragged();
    void whatHasNoGlyphIsDrawnVisibly_data();
    void whatHasNoGlyphIsDrawnVisibly();
    void rightToLeftTextIsWalkedSafely();

private:
    void recreate(EditPane::Wrap wrap);
    EditPane *m_pane = nullptr;
};

void PaneTest::init()
{
    recreate(EditPane::Wrap::None);
}

void PaneTest::recreate(EditPane::Wrap wrap)
{
    delete m_pane;
    m_pane = new EditPane(QStringLiteral("pane"), wrap);
    m_pane->resize(480, 320);
    m_pane->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pane));
}

void PaneTest::textComesBackExactly_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("lines");
    QTest::newRow("empty") << QString() << 1;
    QTest::newRow("CR LF") << QStringLiteral("<P>\r\n一行目\r\n二行目\r\n") << 4;
    QTest::newRow("LF only") << QStringLiteral("a\nb\n\nc") << 4;
    QTest::newRow("CR only") << QStringLiteral("a\rb\r\r") << 4;
    QTest::newRow("mixed") << QStringLiteral("a\r\nb\nc\rd\r\r\ne\n\r") << 8;
    QTest::newRow("NUL and kept bytes") << QStringLiteral("a") + QChar(0) + QChar(0xDC82) + QStringLiteral("\r\nb") << 2;
    // A file may hold them; they are characters, drawn as boxes, not line breaks.
    QTest::newRow("line and paragraph separators") << QStringLiteral("a\u2028b\u2029c") << 1;
}

void PaneTest::textComesBackExactly()
{
    QFETCH(QString, text);
    QFETCH(int, lines);
    m_pane->setText(text);
    QCOMPARE(m_pane->text(), text);
    QCOMPARE(m_pane->lineCount(), lines);
    QCOMPARE(m_pane->selectionStart(), 0);
    m_pane->grab(); // drawing it is no trouble either
}

void PaneTest::selectionCountsCrLfAsTwo()
{
    m_pane->setText(QStringLiteral("ab\r\ncd\nef"));
    m_pane->setSelectionStart(1);
    m_pane->setSelectionLength(4);
    QCOMPARE(m_pane->selectedText(), QStringLiteral("b\r\nc"));
    QCOMPARE(m_pane->selectionLength(), 4);
    // Between the CR and the LF there is no caret position; the caret goes before both.
    m_pane->setSelectionStart(3);
    QCOMPARE(m_pane->selectionStart(), 2);

    m_pane->setSelectionStart(4);
    m_pane->setSelectionLength(4);
    m_pane->replaceSelection(QStringLiteral("<B>x\ny</B>"));
    QCOMPARE(m_pane->text(), QStringLiteral("ab\r\n<B>x\ny</B>f"));
    QCOMPARE(m_pane->selectionStart(), 14); // directly after what went in
    QCOMPARE(m_pane->selectionLength(), 0);
}

void PaneTest::typingKeepsOtherLineEnds()
{
    m_pane->setText(QStringLiteral("a\nb\rc"));
    m_pane->setSelectionStart(1);
    QTest::keyClick(m_pane, Qt::Key_Return);
    QCOMPARE(m_pane->text(), QStringLiteral("a\r\n\nb\rc"));
    QTest::keyClick(m_pane, Qt::Key_X);
    QTest::keyClick(m_pane, Qt::Key_Delete); // joins "x" with the next line
    QCOMPARE(m_pane->text(), QStringLiteral("a\r\nxb\rc"));
    QTest::keyClick(m_pane, Qt::Key_Backspace);
    QTest::keyClick(m_pane, Qt::Key_Backspace); // the whole CR LF goes at once
    QTest::sendKeyEvent(QTest::Click, m_pane, Qt::Key_unknown, QStringLiteral("日本"), Qt::NoModifier);
    QCOMPARE(m_pane->text(), QStringLiteral("a日本b\rc"));
    QTest::keyClick(m_pane, Qt::Key_Z, Qt::ControlModifier); // the pane has no undo of its own
    QCOMPARE(m_pane->text(), QStringLiteral("a日本b\rc"));
}

void PaneTest::lineEndsThatMeetBecomeOne_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("typed"); // "<Del>": the Delete key; else given to replaceSelection
    QTest::addColumn<QString>("result");
    QTest::newRow("the line between deleted by key") << "a\rX\nb" << 2 << 1 << "<Del>" << "a\r\nb";
    QTest::newRow("CR put before a LF") << "\n" << 0 << 0 << "\r" << "\r\n";
    QTest::newRow("LF put after a CR") << "a\r" << 2 << 0 << "\nb" << "a\r\nb";
    QTest::newRow("both edges") << "a\rX\nb" << 2 << 1 << "\n1\r" << "a\r\n1\r\nb";
    QTest::newRow("LF before a CR stays two") << "a\nX\rb" << 2 << 1 << "<Del>" << "a\n\rb";
}

void PaneTest::lineEndsThatMeetBecomeOne()
{
    QFETCH(QString, text);
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(QString, typed);
    QFETCH(QString, result);
    m_pane->setText(text);
    m_pane->setSelectionStart(start);
    m_pane->setSelectionLength(length);
    if (typed == QLatin1String("<Del>"))
        QTest::keyClick(m_pane, Qt::Key_Delete);
    else
        m_pane->replaceSelection(typed);
    QCOMPARE(m_pane->text(), result);
    // The pane has the lines the file reopened would have, and no position
    // falls between the CR and the LF.
    QCOMPARE(m_pane->lineCount(), withLf(result).count(u'\n') + 1);
    for (int i = 0; i <= result.size(); ++i) {
        m_pane->setSelectionStart(i);
        const qsizetype at = m_pane->selectionStart();
        QVERIFY2(at == 0 || result[at - 1] != u'\r' || at == result.size() || result[at] != u'\n',
                 qPrintable(QStringLiteral("position %1 inside a CR LF").arg(at)));
    }
}

void PaneTest::everyLineBreakTypedIsALineEnd()
{
    m_pane->setText(QStringLiteral("ab"));
    m_pane->setSelectionStart(1);
    QTest::keyClick(m_pane, Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(m_pane->text(), QStringLiteral("a\r\nb"));
    QTest::sendKeyEvent(QTest::Click, m_pane, Qt::Key_unknown, QStringLiteral("x\u2028y"), Qt::NoModifier);
    QCOMPARE(m_pane->text(), QStringLiteral("a\r\nx\r\nyb"));
    m_pane->setText(QStringLiteral("a\r\nb"));
    m_pane->setSelectionStart(3);
    // The pane's own paste and whatever replaceSelection is given.
    QGuiApplication::clipboard()->setText(QStringLiteral("1\u20282\u20293\n"));
    QTest::keyClick(m_pane, Qt::Key_Insert, Qt::ShiftModifier);
    m_pane->replaceSelection(QStringLiteral("\u2028"));
    QCOMPARE(m_pane->text(), QStringLiteral("a\r\n1\r\n2\r\n3\r\n\r\nb"));
    QCOMPARE(m_pane->lineCount(), 6);
}

void PaneTest::replaceAllChangesOnlyWhatDiffers_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<bool>("hidden");
    QTest::newRow("tags taken back") << QStringLiteral("abc <B>def</B>\r\nx") << QStringLiteral("abc def\r\nx") << false;
    QTest::newRow("to empty") << QStringLiteral("a\r\nb") << QString() << false;
    QTest::newRow("from empty") << QString() << QStringLiteral("a\nb\r\n") << false;
    QTest::newRow("a line end split") << QStringLiteral("a\r\nb") << QStringLiteral("a\rb") << false;
    QTest::newRow("CR LF from CR") << QStringLiteral("a\rb") << QStringLiteral("a\r\nb") << false;
    QTest::newRow("LF joins a CR") << QStringLiteral("a\r\r\nb") << QStringLiteral("a\r\nb") << false;
    QTest::newRow("hidden, nothing shared") << QStringLiteral("abc") << QStringLiteral("xyz\r\n") << true;
    QTest::newRow("hidden, end shared") << QStringLiteral("abc") << QStringLiteral("xbc") << true;
}

void PaneTest::replaceAllChangesOnlyWhatDiffers()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(bool, hidden);
    m_pane->setVisible(!hidden);
    m_pane->setText(from);
    const TextSnapshot target(to);
    m_pane->replaceAllCaretAtEnd(target);
    QCOMPARE(m_pane->text(), to);
    QCOMPARE(m_pane->selectionStart(), to.size());
    m_pane->show();
    QCOMPARE(m_pane->lineCount(), withLf(to).count(u'\n') + 1);
    QCOMPARE(m_pane->selectionStart(), to.size());
}

void PaneTest::keysMoveTheCaret_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("anchor");
    QTest::addColumn<int>("caret");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<int>("newAnchor");
    QTest::addColumn<int>("newCaret");
    QTest::newRow("right over a CR LF") << "a\r\nb" << 1 << 1 << "Right" << 3 << 3;
    QTest::newRow("left over a surrogate pair") << "a𠮷b" << 3 << 3 << "Left" << 1 << 1;
    QTest::newRow("right over a combining mark") << "e\u0301x" << 0 << 0 << "Right" << 2 << 2;
    QTest::newRow("left at a line's start") << "ab\ncd" << 3 << 3 << "Left" << 2 << 2;
    QTest::newRow("shift and right select") << "abc" << 0 << 0 << "Shift+Right Shift+Right" << 0 << 2;
    QTest::newRow("left ends a selection at its start") << "abcd" << 1 << 3 << "Left" << 1 << 1;
    QTest::newRow("right ends a selection at its end") << "abcd" << 3 << 1 << "Right" << 3 << 3;
    QTest::newRow("home and end") << "abc\r\ndef" << 6 << 6 << "Home" << 5 << 5;
    QTest::newRow("end") << "abc\r\ndef" << 5 << 5 << "End" << 8 << 8;
    QTest::newRow("shift and end") << "abc\r\ndef" << 1 << 1 << "Shift+End" << 1 << 3;
    QTest::newRow("ctrl and end") << "ab\r\ncd" << 0 << 0 << "Ctrl+End" << 6 << 6;
    QTest::newRow("ctrl, shift and home") << "ab\r\ncd" << 5 << 5 << "Ctrl+Shift+Home" << 5 << 0;
    QTest::newRow("down keeps its column over a short line")
        << "abcdef\r\nx\r\nabcdef" << 5 << 5 << "Down Down" << 16 << 16;
    QTest::newRow("up from the first row goes to the start") << "abc\r\ndef" << 2 << 2 << "Up" << 0 << 0;
    QTest::newRow("down from the last row goes to the end") << "abc\r\ndef" << 6 << 6 << "Down" << 8 << 8;
    QTest::newRow("ctrl and right by words") << "abc def ghi" << 0 << 0 << "Ctrl+Right" << 4 << 4;
    QTest::newRow("ctrl and left by words") << "abc def ghi" << 11 << 11 << "Ctrl+Left" << 8 << 8;
    QTest::newRow("words on to the next line") << "abc\r\ndef" << 3 << 3 << "Ctrl+Right" << 5 << 5;
    QTest::newRow("words in Japanese stop between words") << "日本語 の 文章" << 0 << 0 << "Ctrl+Right" << 4 << 4;
}

void PaneTest::keysMoveTheCaret()
{
    QFETCH(QString, text);
    QFETCH(int, anchor);
    QFETCH(int, caret);
    QFETCH(QString, keys);
    QFETCH(int, newAnchor);
    QFETCH(int, newCaret);
    for (const EditPane::Wrap wrap : {EditPane::Wrap::None, EditPane::Wrap::AtRightEdge}) {
        recreate(wrap);
        m_pane->setText(text);
        m_pane->setCaret(caret, anchor);
        press(*m_pane, keys);
        QCOMPARE(m_pane->anchorPosition(), newAnchor);
        QCOMPARE(m_pane->caretPosition(), newCaret);
        QCOMPARE(m_pane->text(), text);
    }
}

void PaneTest::keysEdit_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("anchor");
    QTest::addColumn<int>("caret");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("clipboard"); // what the clipboard holds afterwards
    QTest::newRow("backspace takes a surrogate pair") << "a𠮷b" << 3 << 3 << "Backspace" << "ab" << "";
    QTest::newRow("backspace takes a CR LF") << "a\r\nb" << 3 << 3 << "Backspace" << "ab" << "";
    QTest::newRow("backspace takes a combining mark alone") << "e\u0301x" << 2 << 2 << "Backspace" << "ex" << "";
    QTest::newRow("delete takes a CR LF") << "a\r\nb" << 1 << 1 << "Del" << "ab" << "";
    QTest::newRow("delete takes a character with its marks") << "e\u0301x" << 0 << 0 << "Del" << "x" << "";
    QTest::newRow("ctrl and backspace by words") << "abc def" << 7 << 7 << "Ctrl+Backspace" << "abc " << "";
    QTest::newRow("ctrl and delete by words") << "abc def" << 0 << 0 << "Ctrl+Del" << "def" << "";
    QTest::newRow("backspace takes a selection") << "abcd" << 1 << 3 << "Backspace" << "ad" << "";
    QTest::newRow("tab") << "ab" << 1 << 1 << "Tab" << "a\tb" << "";
    QTest::newRow("return over a selection") << "abc" << 1 << 2 << "Return" << "a\r\nc" << "";
    QTest::newRow("shift and delete cut") << "abcd" << 1 << 3 << "Shift+Del" << "ad" << "bc";
    QTest::newRow("ctrl and insert copy") << "a\r\nb" << 0 << 3 << "Ctrl+Ins" << "a\r\nb" << "a\r\n";
    QTest::newRow("shift and insert paste with CR LF") << "ab" << 1 << 1 << "Shift+Ins" << "ax\r\nyb" << "x\ny";
}

void PaneTest::keysEdit()
{
    QFETCH(QString, text);
    QFETCH(int, anchor);
    QFETCH(int, caret);
    QFETCH(QString, keys);
    QFETCH(QString, result);
    QFETCH(QString, clipboard);
    QGuiApplication::clipboard()->setText(keys.startsWith(QLatin1String("Shift+Ins")) ? clipboard : QString());
    m_pane->setText(text);
    m_pane->setCaret(caret, anchor);
    press(*m_pane, keys);
    QCOMPARE(m_pane->text(), result);
    QCOMPARE(QGuiApplication::clipboard()->text(), clipboard);
}

void PaneTest::reservedKeysNeverEdit()
{
    m_pane->setReservedKeys({QKeySequence(QStringLiteral("Ctrl+B")), QKeySequence(QStringLiteral("Del"))});
    m_pane->setText(QStringLiteral("abc"));
    m_pane->setCaret(2, 1);
    QKeyEvent override(QEvent::ShortcutOverride, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(m_pane, &override);
    QVERIFY(!override.isAccepted()); // the menu's shortcut goes first
    press(*m_pane, QStringLiteral("Del Ctrl+B"));
    QTest::keyClick(m_pane, Qt::Key_Delete, Qt::KeypadModifier);
    QCOMPARE(m_pane->text(), QStringLiteral("abc"));
    QCOMPARE(m_pane->selectedText(), QStringLiteral("b"));
}

void PaneTest::pagesAndTheEnds()
{
    QString text;
    for (int i = 0; i < 200; ++i)
        text += QStringLiteral("line %1\r\n").arg(i);
    for (const EditPane::Wrap wrap : {EditPane::Wrap::None, EditPane::Wrap::AtRightEdge}) {
        recreate(wrap);
        m_pane->setText(text);
        press(*m_pane, QStringLiteral("PgDown"));
        const qsizetype line = m_pane->buffer().lineOf(m_pane->caretPosition());
        QVERIFY2(line > 5 && line < 40, qPrintable(QString::number(line)));
        QVERIFY(m_pane->viewport()->rect().contains(m_pane->characterRectangle(m_pane->caretPosition()).center()));
        press(*m_pane, QStringLiteral("PgUp"));
        QCOMPARE(m_pane->buffer().lineOf(m_pane->caretPosition()), 0);
        press(*m_pane, QStringLiteral("Ctrl+End"));
        QCOMPARE(m_pane->caretPosition(), text.size());
        QVERIFY(m_pane->viewport()->rect().contains(m_pane->characterRectangle(text.size()).center()));
        QCOMPARE(m_pane->verticalScrollBar()->value(), m_pane->verticalScrollBar()->maximum());
    }
}

void PaneTest::longLinesAreLaidOutAScreenAtATime()
{
    // Of a 2 MiB line only the segments on screen are laid out: a screenful
    // of it costs what a screenful of short lines costs.
    const TextBuffer buffer(minified(1'000'000));
    for (const auto wrap : {LineLayouts::Wrap::None, LineLayouts::Wrap::AtWidth}) {
        LineLayouts layouts(buffer, wrap);
        layouts.setFont(m_pane->font());
        layouts.setWrapWidth(460);
        layouts.reset();
        QVERIFY(layouts.widestLine() > 1'000'000 || layouts.rowsOfLine(0) > 1000);
        int parts = 0;
        const qsizetype middleRow = layouts.rowsOfLine(0) / 2;
        const qreal middleX = layouts.widestLine() / 2;
        layouts.visitParts(0, middleRow, middleRow + 20, middleX, middleX + 460, [&](const LineLayouts::Part &part) {
            ++parts;
            QVERIFY(part.length < 10'000);
        });
        QVERIFY2(parts >= 1 && parts <= 3, qPrintable(QString::number(parts)));
    }
}

void PaneTest::lineEndsMeetingAtTheEndOfALongLine()
{
    // A CR put before the LF that ends a long line makes one CR LF: the
    // line keeps its length, and its segments must still add up to it.
    for (const EditPane::Wrap wrap : {EditPane::Wrap::None, EditPane::Wrap::AtRightEdge}) {
        recreate(wrap);
        const QString line = minified(20'000);
        m_pane->setText(line + QStringLiteral("\nz"));
        m_pane->setSelectionStart(line.size());
        m_pane->grab();
        m_pane->replaceSelection(QStringLiteral("\r"));
        QCOMPARE(m_pane->text(), line + QStringLiteral("\r\nz"));
        QVERIFY(m_pane->layouts().segmentsAgree());
        m_pane->grab();
        QTest::keyClick(m_pane, Qt::Key_Delete); // the caret stands before the CR LF; it goes whole
        QCOMPARE(m_pane->text(), line + QStringLiteral("z"));
        QVERIFY(m_pane->layouts().segmentsAgree());
    }
}

void PaneTest::longLinePositionsRoundTrip_data()
{
    QTest::addColumn<bool>("wrapping");
    QTest::newRow("unwrapped") << false;
    QTest::newRow("wrapping") << true;
}

void PaneTest::longLinePositionsRoundTrip()
{
    QFETCH(bool, wrapping);
    recreate(wrapping ? EditPane::Wrap::AtRightEdge : EditPane::Wrap::None);
    const QString line = minified(300'000);
    const QString text = QStringLiteral("<HTML>\r\n") + line + QStringLiteral("\r\n</HTML>");
    m_pane->setText(text);
    QCOMPARE(m_pane->lineCount(), 3);
    // However far into the line the screen is, only what shows is laid out.
    m_pane->setSelectionStart(text.size() / 2);
    m_pane->grab();
    QVERIFY2(m_pane->layouts().keptLayouts() <= 8, qPrintable(QString::number(m_pane->layouts().keptLayouts())));
    for (qsizetype p = 8; p < text.size(); p += 9973) {
        m_pane->setSelectionStart(p); // scrolls it into view
        const qsizetype at = m_pane->selectionStart();
        QVERIFY(m_pane->viewport()->rect().contains(m_pane->characterRectangle(at).center()));
        QCOMPARE(m_pane->positionAt(pointOf(*m_pane, at)), at);
    }
    // Typing in the middle of it changes exactly that.
    m_pane->setSelectionStart(150'000);
    QTest::keyClicks(m_pane, QStringLiteral("xy"));
    QTest::keyClick(m_pane, Qt::Key_Backspace);
    QString expected = text;
    expected.insert(150'000, u'x');
    QCOMPARE(m_pane->text(), expected);
    QCOMPARE(m_pane->lineCount(), 3);
    if (!wrapping) { // End goes to the line's end, however it is cut into segments
        press(*m_pane, QStringLiteral("End"));
        QCOMPARE(m_pane->caretPosition(), 8 + line.size() + 1);
    }
    m_pane->grab();
}

void PaneTest::wrappedRowsAreRowsForTheKeys()
{
    recreate(EditPane::Wrap::AtRightEdge);
    const QString line = QString(200, u'あ');
    m_pane->setText(line + QStringLiteral("\r\nz"));
    QCOMPARE(m_pane->lineCount(), 2);
    m_pane->setSelectionStart(0);
    press(*m_pane, QStringLiteral("Down"));
    const qsizetype secondRow = m_pane->caretPosition();
    QVERIFY2(secondRow > 10 && secondRow < 100, qPrintable(QString::number(secondRow))); // the next row of the same line
    press(*m_pane, QStringLiteral("End"));
    const qsizetype rowEnd = m_pane->caretPosition();
    QVERIFY(rowEnd > secondRow && rowEnd < 200); // the row's end, not the line's
    QCOMPARE(m_pane->characterRectangle(rowEnd - 1).top(), m_pane->characterRectangle(secondRow).top());
    m_pane->setSelectionStart(secondRow + 3);
    press(*m_pane, QStringLiteral("Home"));
    QCOMPARE(m_pane->caretPosition(), secondRow);
    press(*m_pane, QStringLiteral("Up"));
    QCOMPARE(m_pane->caretPosition(), 0);
}

void PaneTest::scrollBarHoldsStillWhileDragged()
{
    // Lines whose height the pane can only guess until it lays them out:
    // words wrap earlier than their length suggests.
    recreate(EditPane::Wrap::AtRightEdge);
    QString text;
    for (int i = 0; i < 3000; ++i)
        text += (i % 3 == 0 ? QStringLiteral("wwwwwwwwwwwwww i ").repeated(12) : QStringLiteral("short")) + QStringLiteral("\r\n");
    m_pane->setText(text);
    QScrollBar *bar = m_pane->verticalScrollBar();
    m_pane->grab();
    bar->setSliderDown(true);
    for (int value : {bar->maximum() / 2, bar->maximum() / 3, bar->maximum() - 10}) {
        bar->setValue(value);
        const int range = bar->maximum();
        m_pane->grab(); // lays out what shows, correcting its guesses
        QCOMPARE(bar->value(), value);
        QCOMPARE(bar->maximum(), range);
    }
    const qsizetype line = m_pane->positionAt(QPoint(10, 10));
    bar->setSliderDown(false); // let go: the bar takes the corrected rows, the view stays
    QCOMPARE(m_pane->positionAt(QPoint(10, 10)), line);
    QVERIFY(bar->value() <= bar->maximum());
}

void PaneTest::whatHasNoGlyphIsDrawnVisibly_data()
{
    QTest::addColumn<QString>("character");
    QTest::newRow("kept byte") << QString(QChar(0xDC82));
    QTest::newRow("control character") << QString(QChar(0x01));
    QTest::newRow("NUL") << QString(QChar(0));
    QTest::newRow("line separator") << QString(QChar(0x2028));
}

void PaneTest::whatHasNoGlyphIsDrawnVisibly()
{
    QFETCH(QString, character);
    auto cell = [&](const QString &middle) {
        m_pane->setText(QStringLiteral("a") + middle + QStringLiteral("b"));
        const QRect r = m_pane->characterRectangle(1).adjusted(1, 1, -1, -1);
        return m_pane->viewport()->grab().toImage().copy(r);
    };
    const QImage blank = cell(QStringLiteral("\u3000"));
    const QImage shown = cell(character);
    QVERIFY(shown.width() > 4);
    QVERIFY(shown != blank); // something is drawn where a blank of its width draws nothing
    QCOMPARE(m_pane->text().size(), 3); // and it is one character, as in the text
    m_pane->setSelectionStart(2);
    QCOMPARE(m_pane->positionAt(pointOf(*m_pane, 2)), 2);
}

void PaneTest::rightToLeftTextIsWalkedSafely()
{
    const QString text = QStringLiteral("abc שלום עולם def عربي 123\r\nx");
    for (const EditPane::Wrap wrap : {EditPane::Wrap::None, EditPane::Wrap::AtRightEdge}) {
        recreate(wrap);
        m_pane->setText(text);
        for (int i = 0; i < text.size() + 2; ++i) {
            press(*m_pane, QStringLiteral("Shift+Right"));
            m_pane->grab();
        }
        QCOMPARE(m_pane->selectionLength(), text.size());
        for (qsizetype p = 0; p <= text.size(); ++p) {
            const qsizetype at = m_pane->positionAt(pointOf(*m_pane, p));
            QVERIFY(at >= 0 && at <= text.size());
        }
        QCOMPARE(m_pane->text(), text);
    }
}

QTEST_MAIN(PaneTest)
#include "test_pane.moc"
