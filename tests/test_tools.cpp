// The sheet count, the display settings and the about box.
#include "dialogs/about_dialog.h"
#include "dialogs/number_text.h"
#include "window_fixture.h"

#include <QLabel>
#include <QPushButton>

using namespace holvane;
using namespace holvane::testing;

namespace {

QString label(QWidget *dialog, const char *name)
{
    return dialog->findChild<QLabel *>(QString::fromLatin1(name))->text();
}

void click(QWidget *dialog, const char *name)
{
    QTest::mouseClick(dialog->findChild<QPushButton *>(QString::fromLatin1(name)), Qt::LeftButton);
}

// Opens the settings dialog through the menu and runs `steps` in it.
void inSettings(Window &w, const std::function<void(QWidget *)> &steps)
{
    whenModalOpens(steps);
    w.trigger("help.display_settings");
}

bool followsDesktop(const EditPane &pane, QPalette::ColorRole role)
{
    return !(pane.palette().resolveMask() & (1ULL << role));
}

} // namespace

class ToolsTest : public QObject {
    Q_OBJECT
private slots:
    void numberText_data();
    void numberText();
    void sheetCountShowsTheActivePane();
    void okAppliesColoursAndFontToBothPanes();
    void cancelsChangeNothingButKeepTheChoices();
    void sizeStepsStayWithinBounds();
    void aboutBoxClosesOnClickOrEnterOnly();
};

void ToolsTest::numberText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::newRow("no thousands separator") << 1000.0 << "en_US" << "1000";
    QTest::newRow("big, no separator") << 1234567.25 << "ja_JP" << "1234567.25";
    QTest::newRow("German decimal comma") << 10.5 << "de_DE" << "10,5";
    // Sheets: characters over 400, a CR LF counting two and an emoji one.
    const std::pair<QString, const char *> sheets[] = {
        {QString(), "0"}, {QStringLiteral("a"), "0.0025"}, {QString(40, u'x'), "0.1"},
        {QString(399, u'x'), "0.9975"}, {QString(400, u'x'), "1"}, {QString(401, u'x'), "1.0025"},
        {QString(999, u'x'), "2.4975"}, {QStringLiteral("ab\r\nc"), "0.0125"},
        {QStringLiteral("日本語の文章です。。"), "0.025"}, {QStringLiteral("\U0001F600"), "0.0025"},
    };
    for (const auto &[text, figure] : sheets)
        QTest::addRow("%d characters", int(text.size())) << manuscriptSheets(text) << "C" << figure;
}

void ToolsTest::numberText()
{
    QFETCH(double, value);
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QCOMPARE(holvane::numberText(value, QLocale(locale)), text);
}

void ToolsTest::sheetCountShowsTheActivePane()
{
    Window w;
    w.setUp(QString(401, u'a'), 0, 10); // the selection plays no part
    w.trigger("edit.wrap");
    w.wrappingPane().setText(QString(800, u'b'));
    QString shown;
    whenModalOpens([&](QWidget *dialog) {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("枚数確認"));
        QCOMPARE(label(dialog, "sheetCountCaption"), QStringLiteral("400字詰原稿用紙："));
        shown = label(dialog, "sheetCount");
        QTest::keyClick(dialog, Qt::Key_Escape); // no cancel key
        QVERIFY(dialog->isVisible());
        QTest::keyClick(dialog, Qt::Key_Return); // OK has the focus
    });
    w.press(QStringLiteral("Ctrl+Q"));
    QCOMPARE(shown, QStringLiteral("2"));
    QVERIFY(!w.form->findChild<QDialog *>(QStringLiteral("sheetCountDialog"))); // destroyed
}

void ToolsTest::okAppliesColoursAndFontToBothPanes()
{
    Window w;
    inSettings(w, [](QWidget *dialog) { // untouched: nothing changes
        QTest::keyClick(dialog, Qt::Key_Escape); // no button answers Escape
        QVERIFY(dialog->isVisible());
        QCOMPARE(label(dialog, "sampleText"), QStringLiteral("Aaあ漢"));
        QCOMPARE(label(dialog, "fontSizeLabel"), QStringLiteral("12"));
        click(dialog, "okButton");
    });
    QCOMPARE(w.unwrappedPane().font().family(), QStringLiteral("ＭＳ ゴシック"));
    QCOMPARE(w.unwrappedPane().font().pointSizeF(), 12.0);
    QVERIFY(followsDesktop(w.unwrappedPane(), QPalette::Text) && followsDesktop(w.unwrappedPane(), QPalette::Base));

    w.fakes.dialogs.colorAnswers = {QColor(Qt::red), QColor(Qt::blue)};
    w.fakes.dialogs.fontAnswers = {QFont(QStringLiteral("DejaVu Serif"), 16, QFont::Bold, true)};
    inSettings(w, [](QWidget *dialog) {
        click(dialog, "textColorButton");
        click(dialog, "backgroundColorButton");
        click(dialog, "fontButton");
        QCOMPARE(label(dialog, "fontSizeLabel"), QStringLiteral("16"));
        click(dialog, "okButton");
    });
    for (EditPane *pane : {&w.unwrappedPane(), &w.wrappingPane()}) {
        QCOMPARE(pane->palette().color(QPalette::Text), QColor(Qt::red));
        QCOMPARE(pane->palette().color(QPalette::Base), QColor(Qt::blue));
        QCOMPARE(pane->font().family(), QStringLiteral("DejaVu Serif"));
        QCOMPARE(pane->font().pointSizeF(), 16.0);
        QCOMPARE(pane->font().weight(), QFont::Normal); // only name and size are taken
        QVERIFY(!pane->font().italic());
    }
}

void ToolsTest::cancelsChangeNothingButKeepTheChoices()
{
    Window w;
    w.fakes.dialogs.colorAnswers = {QColor(Qt::green), std::nullopt};
    w.fakes.dialogs.fontAnswers = {std::nullopt};
    inSettings(w, [](QWidget *dialog) {
        click(dialog, "textColorButton"); // green
        click(dialog, "backgroundColorButton"); // cancelled: the background stays
        click(dialog, "fontButton"); // cancelled: the font stays
        click(dialog, "smallerButton"); // 11
        click(dialog, "cancelButton");
    });
    QVERIFY(followsDesktop(w.unwrappedPane(), QPalette::Text));
    QCOMPARE(w.unwrappedPane().font().pointSizeF(), 12.0);
    // The colour dialog opened on the last confirmed colour.
    QCOMPARE(w.fakes.dialogs.colorsOfferedFirst.last(), QColor(Qt::green));

    inSettings(w, [](QWidget *dialog) {
        QCOMPARE(label(dialog, "fontSizeLabel"), QStringLiteral("11"));
        click(dialog, "okButton");
    });
    QCOMPARE(w.wrappingPane().palette().color(QPalette::Text), QColor(Qt::green));
    QVERIFY(followsDesktop(w.wrappingPane(), QPalette::Base));
    QCOMPARE(w.wrappingPane().font().family(), QStringLiteral("ＭＳ ゴシック"));
    QCOMPARE(w.wrappingPane().font().pointSizeF(), 11.0);
}

void ToolsTest::sizeStepsStayWithinBounds()
{
    Window w;
    QStringList seen;
    inSettings(w, [&](QWidget *dialog) {
        for (int i = 0; i < 30; ++i)
            click(dialog, "smallerButton");
        seen << label(dialog, "fontSizeLabel");
        for (int i = 0; i < 100; ++i)
            click(dialog, "biggerButton");
        seen << label(dialog, "fontSizeLabel");
        click(dialog, "okButton");
    });
    QCOMPARE(seen, (QStringList{QStringLiteral("6"), QStringLiteral("72")}));
    QCOMPARE(w.unwrappedPane().font().pointSizeF(), 72.0);
}

void ToolsTest::aboutBoxClosesOnClickOrEnterOnly()
{
    for (const char *target : {"nameAndVersion", "maker", "icon", "", "Enter"}) {
        AboutDialog about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QCOMPARE(label(&about, "nameAndVersion"), QStringLiteral("holvas version 1.20"));
        const QImage shot = about.grab().toImage(); // a raised frame, over the picture too
        QCOMPARE(shot.pixel(0, shot.height() / 2), about.palette().color(QPalette::Light).rgb());
        QCOMPARE(shot.pixel(shot.width() - 1, shot.height() / 2), about.palette().color(QPalette::Shadow).rgb());
        for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Space, Qt::Key_A})
            QTest::keyClick(&about, key);
        QVERIFY(about.isVisible());
        if (QLatin1String(target) == QLatin1String("Enter")) {
            QTest::keyClick(&about, Qt::Key_Return);
        } else {
            QWidget *where = *target ? about.findChild<QWidget *>(QString::fromLatin1(target)) : &about;
            // Only the visible part of the picture takes clicks.
            const bool picture = where->objectName() == QLatin1String("icon");
            QTest::mouseClick(where, Qt::LeftButton, {},
                              picture ? where->mapFrom(&about, QPoint(5, 5)) : where->rect().center());
        }
        QVERIFY(!about.isVisible());
    }
}

QTEST_MAIN(ToolsTest)
#include "test_tools.moc"
