// The sheet count, the display settings and the about box.
#include "dialogs/form3.h"
#include "dialogs/form5.h"
#include "dialogs/number_text.h"
#include "window_fixture.h"

#include <QLabel>
#include <QPushButton>

using namespace holvane;
using namespace holvane::testing;

namespace {

QPushButton *button(QWidget *dialog, const char *name)
{
    return dialog->findChild<QPushButton *>(QString::fromLatin1(name));
}

QString label(QWidget *dialog, const char *name)
{
    return dialog->findChild<QLabel *>(QString::fromLatin1(name))->text();
}

void click(QWidget *dialog, const char *name)
{
    QTest::mouseClick(button(dialog, name), Qt::LeftButton);
}

// Opens the settings dialog through the menu and runs `steps` in it.
void inSettings(Window &w, const std::function<void(QWidget *)> &steps)
{
    whenModalOpens(steps);
    w.trigger("fonts");
}

} // namespace

class ToolsTest : public QObject {
    Q_OBJECT
private slots:
    void numberTextHasOneForm_data();
    void numberTextHasOneForm();
    void sheetFigure_data();
    void sheetFigure();
    void sheetCountShowsTheActivePane();

    void untouchedSettingsLeaveThePanesAsTheyAre();
    void okAppliesColoursAndFontToBothPanes();
    void cancelledColourAndFontDialogsChangeNothing();
    void cancelKeepsTheChoicesForNextTime();
    void sizeStepsStayWithinBounds();

    void aboutBoxClosesOnClickOrEnterOnly();
};

void ToolsTest::numberTextHasOneForm_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0.0 << "C" << "0";
    QTest::newRow("whole") << 12.0 << "C" << "12";
    QTest::newRow("half") << 10.5 << "C" << "10.5";
    QTest::newRow("four places") << 2.4975 << "C" << "2.4975";
    QTest::newRow("no thousands separator") << 1000.0 << "en_US" << "1000";
    QTest::newRow("big, no separator") << 1234567.25 << "ja_JP" << "1234567.25";
    QTest::newRow("German decimal comma") << 10.5 << "de_DE" << "10,5";
    QTest::newRow("German thousands") << 2500.0 << "de_DE" << "2500";
}

void ToolsTest::numberTextHasOneForm()
{
    QFETCH(double, value);
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QCOMPARE(numberText(value, QLocale(locale)), text);
}

void ToolsTest::sheetFigure_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("figure");
    QTest::newRow("empty") << QString() << "0";
    QTest::newRow("one") << QStringLiteral("a") << "0.0025";
    QTest::newRow("40") << QString(40, u'x') << "0.1";
    QTest::newRow("399") << QString(399, u'x') << "0.9975";
    QTest::newRow("400") << QString(400, u'x') << "1";
    QTest::newRow("401") << QString(401, u'x') << "1.0025";
    QTest::newRow("800") << QString(800, u'x') << "2";
    QTest::newRow("999") << QString(999, u'x') << "2.4975";
    QTest::newRow("400,000") << QString(400000, u'x') << "1000";
    QTest::newRow("CR LF counts two") << QStringLiteral("ab\r\nc") << "0.0125";
    QTest::newRow("Japanese") << QStringLiteral("日本語の文章です。。") << "0.025";
    QTest::newRow("emoji counts one") << QStringLiteral("\U0001F600") << "0.0025";
}

void ToolsTest::sheetFigure()
{
    QFETCH(QString, text);
    QFETCH(QString, figure);
    QCOMPARE(numberText(manuscriptSheets(text), QLocale::c()), figure);
}

void ToolsTest::sheetCountShowsTheActivePane()
{
    Window w;
    w.setUp(QString(401, u'a'), 0, 10);
    QString shown;
    whenModalOpens([&](QWidget *dialog) {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("枚数確認"));
        QCOMPARE(label(dialog, "Label1"), QStringLiteral("400字詰原稿用紙："));
        shown = label(dialog, "maisu");
        QCOMPARE(QApplication::focusWidget(), button(dialog, "Okb"));
        click(dialog, "Okb");
    });
    w.press(QKeySequence(QStringLiteral("Ctrl+Q")));
    QCOMPARE(shown, QStringLiteral("1.0025"));
    QVERIFY(!w.form->findChild<QDialog *>(QStringLiteral("Form4"))); // destroyed

    w.trigger("rightturn");
    w.mains2().setText(QString(800, u'b'));
    whenModalOpens([&](QWidget *dialog) {
        shown = label(dialog, "maisu");
        QTest::keyClick(dialog, Qt::Key_Return);
    });
    w.trigger("kaku");
    QCOMPARE(shown, QStringLiteral("2"));
}

void ToolsTest::untouchedSettingsLeaveThePanesAsTheyAre()
{
    Window w;
    inSettings(w, [](QWidget *dialog) {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("option"));
        QCOMPARE(label(dialog, "viewfont"), QStringLiteral("Aaあ漢"));
        QCOMPARE(label(dialog, "sizeviewer"), QStringLiteral("12"));
        QCOMPARE(QApplication::focusWidget(), button(dialog, "Oka"));
        click(dialog, "Oka");
    });
    for (EditPane *pane : {&w.mains(), &w.mains2()}) {
        QCOMPARE(pane->font().family(), QStringLiteral("ＭＳ ゴシック"));
        QCOMPARE(pane->font().pointSizeF(), 12.0);
        // The desktop's own colours, still following it.
        QVERIFY(!(pane->palette().resolveMask() & (1ULL << QPalette::Text)));
        QVERIFY(!(pane->palette().resolveMask() & (1ULL << QPalette::Base)));
    }
}

void ToolsTest::okAppliesColoursAndFontToBothPanes()
{
    Window w;
    w.fakes.dialogs.colorAnswers = {QColor(Qt::red), QColor(Qt::blue)};
    QFont chosen(QStringLiteral("DejaVu Serif"), 16, QFont::Bold, true);
    w.fakes.dialogs.fontAnswers = {chosen};
    inSettings(w, [](QWidget *dialog) {
        click(dialog, "fontc");
        click(dialog, "backc");
        click(dialog, "fonto");
        QCOMPARE(label(dialog, "sizeviewer"), QStringLiteral("16"));
        click(dialog, "Oka");
    });
    for (EditPane *pane : {&w.mains(), &w.mains2()}) {
        QCOMPARE(pane->palette().color(QPalette::Text), QColor(Qt::red));
        QCOMPARE(pane->palette().color(QPalette::Base), QColor(Qt::blue));
        QCOMPARE(pane->font().family(), QStringLiteral("DejaVu Serif"));
        QCOMPARE(pane->font().pointSizeF(), 16.0);
        QCOMPARE(pane->font().weight(), QFont::Normal);
        QVERIFY(!pane->font().italic());
    }
    // The colour dialog opens on the last colour confirmed through either button.
    w.fakes.dialogs.colorAnswers = {std::nullopt};
    inSettings(w, [](QWidget *dialog) {
        click(dialog, "backc");
        click(dialog, "Cancela");
    });
    QCOMPARE(w.fakes.dialogs.colorsOfferedFirst.last(), QColor(Qt::blue));
}

void ToolsTest::cancelledColourAndFontDialogsChangeNothing()
{
    Window w;
    w.fakes.dialogs.colorAnswers = {QColor(Qt::green), std::nullopt};
    w.fakes.dialogs.fontAnswers = {std::nullopt};
    inSettings(w, [](QWidget *dialog) {
        click(dialog, "fontc");  // green
        click(dialog, "backc");  // cancelled: the background stays
        click(dialog, "fonto");  // cancelled: the font stays
        QCOMPARE(label(dialog, "sizeviewer"), QStringLiteral("12"));
        click(dialog, "Oka");
    });
    QCOMPARE(w.mains().palette().color(QPalette::Text), QColor(Qt::green));
    QVERIFY(!(w.mains().palette().resolveMask() & (1ULL << QPalette::Base)));
    QCOMPARE(w.mains().font().family(), QStringLiteral("ＭＳ ゴシック"));
}

void ToolsTest::cancelKeepsTheChoicesForNextTime()
{
    Window w;
    w.fakes.dialogs.colorAnswers = {QColor(Qt::red)};
    inSettings(w, [](QWidget *dialog) {
        click(dialog, "fontc");
        click(dialog, "fontsizer0");
        click(dialog, "Cancela");
    });
    QVERIFY(!(w.mains().palette().resolveMask() & (1ULL << QPalette::Text)));
    QCOMPARE(w.mains().font().pointSizeF(), 12.0);
    inSettings(w, [](QWidget *dialog) {
        QCOMPARE(label(dialog, "sizeviewer"), QStringLiteral("11"));
        click(dialog, "Oka");
    });
    QCOMPARE(w.mains2().palette().color(QPalette::Text), QColor(Qt::red));
    QCOMPARE(w.mains2().font().pointSizeF(), 11.0);
}

void ToolsTest::sizeStepsStayWithinBounds()
{
    Window w;
    QStringList seen;
    inSettings(w, [&](QWidget *dialog) {
        click(dialog, "fontsizer0");
        seen << label(dialog, "sizeviewer");
        click(dialog, "fontsizer1");
        seen << label(dialog, "sizeviewer");
        for (int i = 0; i < 30; ++i)
            click(dialog, "fontsizer0");
        seen << label(dialog, "sizeviewer");
        for (int i = 0; i < 100; ++i)
            click(dialog, "fontsizer1");
        seen << label(dialog, "sizeviewer");
        click(dialog, "Oka");
    });
    QCOMPARE(seen, (QStringList{QStringLiteral("11"), QStringLiteral("12"), QStringLiteral("6"),
                                QStringLiteral("72")}));
    QCOMPARE(w.mains().font().pointSizeF(), 72.0);
}

void ToolsTest::aboutBoxClosesOnClickOrEnterOnly()
{
    for (const char *target : {"Label1", "Label2", "Image1", ""}) {
        Form5 about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QCOMPARE(label(&about, "Label1"), QStringLiteral("holvas version 1.20"));
        QCOMPARE(label(&about, "Label2"), QStringLiteral("presented by tarno software."));
        for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Space, Qt::Key_A, Qt::Key_Tab})
            QTest::keyClick(&about, key);
        QVERIFY(about.isVisible());
        QWidget *where = *target ? about.findChild<QWidget *>(QString::fromLatin1(target)) : &about;
        QPoint at = where->rect().center();
        if (where->objectName() == QLatin1String("Image1")) // only its visible part takes clicks
            at = where->mapFrom(&about, QPoint(5, 5));
        QTest::mouseClick(where, Qt::LeftButton, {}, at);
        QVERIFY(!about.isVisible());
    }
    Form5 about;
    about.show();
    QTest::keyClick(&about, Qt::Key_Return);
    QVERIFY(!about.isVisible());
    QVERIFY(about.windowFlags() & Qt::FramelessWindowHint);
}

QTEST_MAIN(ToolsTest)
#include "test_tools.moc"
