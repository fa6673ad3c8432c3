// The edit pane keeps each line end as it came and counts in the documents'
// own terms, whatever the user or a command does to it.
#include "editor/edit_pane.h"
#include "editor/pane_text.h"

#include <QRandomGenerator>
#include <QTest>

using namespace holvane;

namespace {

// What QPlainTextEdit shows, in the form Text would have with LF line ends.
QString shown(const EditPane &pane)
{
    return pane.document()->toRawText().replace(QChar(0x2029), u'\n');
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
    void randomEditsKeepTextAndDocumentInStep();
    void qtReportingTooWideAChangeLosesNoLineEnd();
    void replaceAllChangesOnlyWhatDiffers_data();
    void replaceAllChangesOnlyWhatDiffers();

private:
    EditPane *m_pane = nullptr;
};

void PaneTest::init()
{
    m_pane = new EditPane(QStringLiteral("Mains"), EditPane::Wrap::None);
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
    QCOMPARE(m_pane->Text(), text);
    QCOMPARE(shown(*m_pane), withLf(text));
    QCOMPARE(m_pane->SelStart(), 0);
}

void PaneTest::selectionCountsCrLfAsTwo()
{
    m_pane->setText(QStringLiteral("ab\r\ncd\nef"));
    m_pane->setSelStart(1);
    m_pane->setSelLength(4);
    QCOMPARE(m_pane->SelText(), QStringLiteral("b\r\nc"));
    QCOMPARE(m_pane->SelLength(), 4);
    // Between the CR and the LF there is no caret position; the caret goes before both.
    m_pane->setSelStart(3);
    QCOMPARE(m_pane->SelStart(), 2);

    m_pane->setSelStart(4);
    m_pane->setSelLength(4);
    m_pane->setSelText(QStringLiteral("<B>x\ny</B>"));
    QCOMPARE(m_pane->Text(), QStringLiteral("ab\r\n<B>x\ny</B>f"));
    QCOMPARE(m_pane->SelStart(), 14); // directly after what went in
    QCOMPARE(m_pane->SelLength(), 0);
}

void PaneTest::typingKeepsOtherLineEnds()
{
    m_pane->setText(QStringLiteral("a\nb\rc"));
    m_pane->setSelStart(1);
    QTest::keyClick(m_pane, Qt::Key_Return);
    QCOMPARE(m_pane->Text(), QStringLiteral("a\r\n\nb\rc"));
    QTest::keyClick(m_pane, Qt::Key_X);
    QTest::keyClick(m_pane, Qt::Key_Delete); // joins "x" with the next line
    QCOMPARE(m_pane->Text(), QStringLiteral("a\r\nxb\rc"));
    QTest::keyClick(m_pane, Qt::Key_Backspace);
    QTest::keyClick(m_pane, Qt::Key_Backspace); // the whole CR LF goes at once
    QTest::sendKeyEvent(QTest::Click, m_pane, Qt::Key_unknown, QStringLiteral("日本"), Qt::NoModifier);
    QCOMPARE(m_pane->Text(), QStringLiteral("a日本b\rc"));
    QTest::keyClick(m_pane, Qt::Key_Z, Qt::ControlModifier); // Qt's own undo is off
    QCOMPARE(m_pane->Text(), QStringLiteral("a日本b\rc"));
}

void PaneTest::randomEditsKeepTextAndDocumentInStep()
{
    QRandomGenerator random(1234);
    m_pane->setText(QStringLiteral("<HTML>\r\n<BODY>\nあいう\rえお\r\n</BODY>\r\n</HTML>"));
    const Qt::Key keys[] = {Qt::Key_Return, Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Left, Qt::Key_Right,
                            Qt::Key_Up, Qt::Key_Down, Qt::Key_A, Qt::Key_Less, Qt::Key_End, Qt::Key_Home};
    for (int step = 0; step < 1500; ++step) {
        const int choice = random.bounded(int(std::size(keys)) + 3);
        if (choice < int(std::size(keys))) {
            QTest::keyClick(m_pane, keys[choice], random.bounded(4) == 0 ? Qt::ShiftModifier : Qt::NoModifier);
        } else if (choice == int(std::size(keys))) {
            m_pane->setSelText(random.bounded(2) ? QStringLiteral("x\ny") : QStringLiteral("\r\n"));
        } else {
            m_pane->setSelStart(random.bounded(int(m_pane->Text().size() + 1)));
            m_pane->setSelLength(random.bounded(5));
        }
        if (withLf(m_pane->Text()) != shown(*m_pane))
            QFAIL(qPrintable(QStringLiteral("out of step after step %1").arg(step)));
    }
}

void PaneTest::qtReportingTooWideAChangeLosesNoLineEnd()
{
    PaneText text;
    text.setText(QStringLiteral("a\nb\r\nc\rd"));
    // Qt says the whole text changed, while only "c" became "C".
    text.applyDocumentChange(0, 7, QStringLiteral("a\u2029b\u2029C\u2029d"));
    QCOMPARE(text.text(), QStringLiteral("a\nb\r\nC\rd"));
    // A real new line end is the editor's own.
    text.applyDocumentChange(1, 0, QStringLiteral("\u2029"));
    QCOMPARE(text.text(), QStringLiteral("a\r\n\nb\r\nC\rd"));
    QCOMPARE(text.toText(text.documentLength()), text.text().size());
}

void PaneTest::replaceAllChangesOnlyWhatDiffers_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::newRow("tags taken back") << QStringLiteral("abc <B>def</B>\r\nx") << QStringLiteral("abc def\r\nx");
    QTest::newRow("to empty") << QStringLiteral("a\r\nb") << QString();
    QTest::newRow("from empty") << QString() << QStringLiteral("a\nb\r\n");
    QTest::newRow("a line end split") << QStringLiteral("a\r\nb") << QStringLiteral("a\rb");
    QTest::newRow("CR LF from CR") << QStringLiteral("a\rb") << QStringLiteral("a\r\nb");
    QTest::newRow("LF joins a CR") << QStringLiteral("a\r\r\nb") << QStringLiteral("a\r\nb");
}

void PaneTest::replaceAllChangesOnlyWhatDiffers()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    m_pane->setText(from);
    m_pane->replaceAllCaretAtEnd(to);
    QCOMPARE(m_pane->Text(), to);
    QCOMPARE(shown(*m_pane), withLf(to));
    QCOMPARE(m_pane->SelStart(), to.size());
}

QTEST_MAIN(PaneTest)
#include "test_pane.moc"
