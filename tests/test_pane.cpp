// The edit pane keeps each line end as it came and counts in the documents'
// own terms, whatever the user or a command does to it.
#include "editor/edit_pane.h"
#include "editor/pane_text.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QRandomGenerator>
#include <QTest>
#include <QTextBlock>

using namespace holvane;

namespace {

// What QPlainTextEdit shows, in the form Text would have with LF line ends:
// a block separator is a line end unless the pane folded a long line there.
QString shown(const EditPane &pane)
{
    pane.lineCount(); // the whole document, filled
    const QString raw = pane.document()->toRawText();
    QString lines;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] != QChar(0x2029))
            lines += raw[i];
        else if (!pane.model().isSoftBreak(i))
            lines += u'\n';
    }
    return lines;
}

// Folds stay inside lines, no piece is empty or longer than the pane's limit.
QString badFold(const EditPane &pane)
{
    for (QTextBlock b = pane.document()->begin(); b.isValid(); b = b.next()) {
        if (b.length() - 1 > pane.model().pieceLength())
            return QStringLiteral("a piece of %1 characters").arg(b.length() - 1);
        const bool foldAfter = pane.model().isSoftBreak(b.position() + b.length() - 1);
        const bool foldBefore = b.position() > 0 && pane.model().isSoftBreak(b.position() - 1);
        if ((foldAfter || foldBefore) && b.length() == 1)
            return QStringLiteral("an empty piece at %1").arg(b.position());
    }
    return QString();
}

QString withLf(QString text)
{
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n');
}

} // namespace

class PaneTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { delete m_pane; }

    void textComesBackExactly_data();
    void textComesBackExactly();
    void selectionCountsCrLfAsTwo();
    void typingKeepsOtherLineEnds();
    void randomEditsKeepTextAndDocumentInStep_data();
    void randomEditsKeepTextAndDocumentInStep();
    void longLinesFoldWithoutTouchingTheText();
    void qtReportingTooWideAChangeLosesNoLineEnd();
    void replaceAllChangesOnlyWhatDiffers_data();
    void replaceAllChangesOnlyWhatDiffers();
    void lineEndsThatMeetBecomeOne_data();
    void lineEndsThatMeetBecomeOne();
    void everyLineBreakShownIsALineEnd();
    void cancelledReadingDoesNotComeBack_data();
    void cancelledReadingDoesNotComeBack();

private:
    EditPane *m_pane = nullptr;
};

void PaneTest::init()
{
    m_pane = new EditPane(QStringLiteral("unwrappedPane"), EditPane::Wrap::None);
    m_pane->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pane));
}

void PaneTest::textComesBackExactly_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("CR LF") << QStringLiteral("<P>\r\n一行目\r\n二行目\r\n");
    QTest::newRow("LF only") << QStringLiteral("a\nb\n\nc");
    QTest::newRow("CR only") << QStringLiteral("a\rb\r\r");
    QTest::newRow("mixed") << QStringLiteral("a\r\nb\nc\rd\r\r\ne\n\r");
    QTest::newRow("NUL and kept bytes") << QStringLiteral("a") + QChar(0) + QChar(0xDC82) + QStringLiteral("\r\nb");
    QTest::newRow("no-break space and line separator") << QStringLiteral("a\u00A0b\u2028c");
}

void PaneTest::textComesBackExactly()
{
    QFETCH(QString, text);
    m_pane->setText(text);
    QCOMPARE(m_pane->text(), text);
    QCOMPARE(shown(*m_pane), withLf(text));
    QCOMPARE(m_pane->selectionStart(), 0);
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
    QTest::keyClick(m_pane, Qt::Key_Z, Qt::ControlModifier); // Qt's own undo is off
    QCOMPARE(m_pane->text(), QStringLiteral("a日本b\rc"));
}

void PaneTest::randomEditsKeepTextAndDocumentInStep_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("short lines") << QStringLiteral("<HTML>\r\n<BODY>\nあいう\rえお\r\n</BODY>\r\n</HTML>");
    QString minified = QStringLiteral("<P>");
    while (minified.size() < 2600)
        minified += QStringLiteral("<B>太字</B>base64+/=");
    QTest::newRow("a line folded in pieces") << QStringLiteral("a\r\n") + minified + QStringLiteral("\r\nz");
}

void PaneTest::randomEditsKeepTextAndDocumentInStep()
{
    QFETCH(QString, text);
    QRandomGenerator random(1234);
    m_pane->setText(text);
    const Qt::Key keys[] = {Qt::Key_Return, Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Left, Qt::Key_Right,
                            Qt::Key_Up, Qt::Key_Down, Qt::Key_A, Qt::Key_Less, Qt::Key_End, Qt::Key_Home};
    const QString inserts[] = {QStringLiteral("x\ny"), QStringLiteral("\r\n"), QString(700, u'w'), QString()};
    for (int step = 0; step < 1500; ++step) {
        const int choice = random.bounded(int(std::size(keys)) + 3);
        if (choice < int(std::size(keys))) {
            QTest::keyClick(m_pane, keys[choice], random.bounded(4) == 0 ? Qt::ShiftModifier : Qt::NoModifier);
        } else if (choice == int(std::size(keys))) {
            m_pane->replaceSelection(inserts[random.bounded(int(std::size(inserts)))]);
        } else {
            m_pane->setSelectionStart(random.bounded(int(m_pane->text().size() + 1)));
            m_pane->setSelectionLength(random.bounded(random.bounded(2) ? 5 : 1500));
        }
        if (withLf(m_pane->text()) != shown(*m_pane))
            QFAIL(qPrintable(QStringLiteral("out of step after step %1").arg(step)));
        if (const QString bad = badFold(*m_pane); !bad.isEmpty())
            QFAIL(qPrintable(QStringLiteral("%1 after step %2").arg(bad).arg(step)));
    }
}

void PaneTest::longLinesFoldWithoutTouchingTheText()
{
    QString line;
    while (line.size() < 3000)
        line += QStringLiteral("<TD>表</TD>abc ");
    const QString text = QStringLiteral("<TR>\r\n") + line + QStringLiteral("\r\n</TR>");
    m_pane->setText(text);
    QCOMPARE(m_pane->lineCount(), 3);
    QVERIFY(m_pane->document()->blockCount() > 3);
    QCOMPARE(shown(*m_pane), withLf(text));
    QCOMPARE(badFold(*m_pane), QString());
    for (qsizetype i = 0; i <= text.size(); ++i) { // every place is reachable, and only once
        m_pane->setSelectionStart(i);
        if (m_pane->selectionStart() != i && !(text[i - 1] == u'\r' && text[i] == u'\n'))
            QFAIL(qPrintable(QStringLiteral("selectionStart %1 came back as %2").arg(i).arg(m_pane->selectionStart())));
    }
    const QTextBlock firstPiece = m_pane->document()->findBlockByNumber(1);
    const qsizetype fold = m_pane->model().toText(firstPiece.position() + firstPiece.length() - 1);

    // A selection across the fold reads and changes the text, not the display.
    m_pane->setSelectionStart(fold - 3);
    m_pane->setSelectionLength(6);
    QCOMPARE(m_pane->selectedText(), text.mid(fold - 3, 6));
    m_pane->replaceSelection(QStringLiteral("<B>") + m_pane->selectedText() + QStringLiteral("</B>"));
    QString expected = text;
    expected.insert(fold + 3, QStringLiteral("</B>")).insert(fold - 3, QStringLiteral("<B>"));
    QCOMPARE(m_pane->text(), expected);

    // Keys at a fold: the arrows step over it as over nothing, Backspace
    // and typing act on the characters on either side.
    m_pane->setText(text);
    QTextCursor atFold = m_pane->textCursor();
    atFold.setPosition(firstPiece.position() + firstPiece.length()); // the start of the next piece
    m_pane->setTextCursor(atFold);
    QCOMPARE(m_pane->selectionStart(), fold);
    QTest::keyClick(m_pane, Qt::Key_Left);
    QCOMPARE(m_pane->selectionStart(), fold - 1);
    QTest::keyClick(m_pane, Qt::Key_Right);
    QTest::keyClick(m_pane, Qt::Key_Right);
    QCOMPARE(m_pane->selectionStart(), fold + 1);
    QTest::keyClick(m_pane, Qt::Key_Left);
    QTest::keyClick(m_pane, Qt::Key_Backspace);
    expected = text;
    expected.remove(fold - 1, 1);
    QCOMPARE(m_pane->text(), expected);

    // A line end and an input method's commit right at the fold.
    m_pane->setSelectionStart(fold - 1);
    m_pane->replaceSelection(QStringLiteral("\r\n"));
    expected.insert(fold - 1, QStringLiteral("\r\n"));
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("漢字"));
    QApplication::sendEvent(m_pane, &commit);
    expected.insert(fold + 1, QStringLiteral("漢字"));
    QCOMPARE(m_pane->text(), expected);
    QCOMPARE(m_pane->lineCount(), 4);
    QCOMPARE(shown(*m_pane), withLf(expected));
    QCOMPARE(badFold(*m_pane), QString());
}

void PaneTest::qtReportingTooWideAChangeLosesNoLineEnd()
{
    PaneText text(EditPane::kPieceLengthUnwrapped);
    text.setText(QStringLiteral("a\nb\r\nc\rd"));
    // Qt says the whole text changed, while only "c" became "C".
    QVERIFY(text.applyDocumentChange(0, 7, QStringLiteral("a\u2029b\u2029C\u2029d")).empty());
    QCOMPARE(text.text(), QStringLiteral("a\nb\r\nC\rd"));
    // A real new line end is the editor's own.
    QVERIFY(text.applyDocumentChange(1, 0, QStringLiteral("\u2029")).empty());
    QCOMPARE(text.text(), QStringLiteral("a\r\n\nb\r\nC\rd"));
    QCOMPARE(text.toText(text.documentLength()), text.text().size());
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
    m_pane->replaceAllCaretAtEnd(to);
    QCOMPARE(m_pane->text(), to);
    QCOMPARE(m_pane->selectionStart(), to.size());
    m_pane->show();
    QCOMPARE(shown(*m_pane), withLf(to));
    QCOMPARE(m_pane->selectionStart(), to.size());
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
    // The pane shows what the file reopened would show, and no position
    // falls between the CR and the LF.
    QCOMPARE(shown(*m_pane), withLf(result));
    for (int i = 0; i <= result.size(); ++i) {
        m_pane->setSelectionStart(i);
        const qsizetype at = m_pane->selectionStart();
        QVERIFY2(at == 0 || result[at - 1] != u'\r' || at == result.size() || result[at] != u'\n',
                 qPrintable(QStringLiteral("position %1 inside a CR LF").arg(at)));
    }
}

void PaneTest::everyLineBreakShownIsALineEnd()
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
    QCOMPARE(shown(*m_pane), withLf(m_pane->text()));
}

void PaneTest::cancelledReadingDoesNotComeBack_data()
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

void PaneTest::cancelledReadingDoesNotComeBack()
{
    QFETCH(QStringList, events);
    QFETCH(QString, result);
    m_pane->setText(QString());
    for (const QString &event : events) {
        const QString text = event.mid(1);
        if (event.front() == u'K') {
            QTest::keyClick(m_pane, Qt::Key_Shift);
            continue;
        }
        QInputMethodEvent e(event.front() == u'P' ? text : QString(), {});
        if (event.front() == u'C')
            e.setCommitString(text);
        QApplication::sendEvent(m_pane, &e);
    }
    QCOMPARE(m_pane->text(), result);
}

QTEST_MAIN(PaneTest)
#include "test_pane.moc"
