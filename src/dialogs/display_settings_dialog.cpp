#include "dialogs/display_settings_dialog.h"

#include "dialogs/number_text.h"
#include "editor/edit_pane.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace holvane {
namespace {

QPushButton *button(const QString &name, const QString &caption, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

// Only the name and the size: never bold or italic through this dialog.
QFont plainFont(const QString &family, double size)
{
    QFont font(family);
    font.setPointSizeF(size);
    return font;
}

} // namespace

QPalette paneColors(const ColorValue &text, const ColorValue &background)
{
    QPalette palette; // no role set: every role follows the desktop
    if (text.rgb)
        palette.setColor(QPalette::Text, *text.rgb);
    if (background.rgb)
        palette.setColor(QPalette::Base, *background.rgb);
    return palette;
}

Form3::Form3(DialogBackend &dialogs, QList<QPlainTextEdit *> panes, QWidget *parent)
    : FixedDialog(QStringLiteral("Form3"), QStringLiteral("option"), 3030, 1590, parent),
      CD2(dialogs, QStringLiteral("text file|*.txt|all file|*.*")), m_panes(std::move(panes)),
      m_font(plainFont(kPaneFontFamily, kPaneFontSize))
{
    CD2.FontName = kPaneFontFamily;
    CD2.FontSize = kPaneFontSize;

    auto *ok = button(QStringLiteral("Oka"), QStringLiteral("OK"), this);
    auto *cancel = button(QStringLiteral("Cancela"), QStringLiteral("Cancel"), this);
    m_colorbox = new QWidget(this);
    m_colorbox->setObjectName(QStringLiteral("colorbox"));
    m_colorbox->setAutoFillBackground(true);
    m_colorbox->setBackgroundRole(QPalette::Base);
    auto *fontc = button(QStringLiteral("fontc"), QStringLiteral("font color"), this);
    m_viewfont = new QLabel(QStringLiteral("Aaあ漢"), m_colorbox);
    m_viewfont->setObjectName(QStringLiteral("viewfont"));
    m_viewfont->setAlignment(Qt::AlignCenter);
    m_viewfont->setForegroundRole(QPalette::Text);
    auto *fonto = button(QStringLiteral("fonto"), QStringLiteral("font"), this);
    auto *backc = button(QStringLiteral("backc"), QStringLiteral("back color"), this);
    auto *small = button(QStringLiteral("fontsizer0"), QStringLiteral("small"), this);
    auto *big = button(QStringLiteral("fontsizer1"), QStringLiteral("big"), this);
    m_sizeviewer = new QLabel(QStringLiteral("12"), this);
    m_sizeviewer->setObjectName(QStringLiteral("sizeviewer"));
    auto *caption = new QLabel(QStringLiteral("fontsize:"), this);
    caption->setObjectName(QStringLiteral("Label2"));

    place(fontc, 0, 120, 1095, 375);
    place(fonto, 0, 480, 1095, 375);
    place(backc, 0, 840, 1095, 375);
    place(m_colorbox, 1320, 120, 1695, 615);
    place(ok, 1320, 840, 855, 375);
    place(cancel, 2160, 840, 855, 375);
    place(small, 1320, 1200, 855, 375);
    place(big, 2160, 1200, 855, 375);
    placeFitting(caption, 120, 1320);
    placeFitting(m_sizeviewer, 735, 1320);
    keepRightOf(m_sizeviewer, caption);

    connect(fontc, &QPushButton::clicked, this, &Form3::fontc_Click);
    connect(backc, &QPushButton::clicked, this, &Form3::backc_Click);
    connect(fonto, &QPushButton::clicked, this, &Form3::fonto_Click);
    connect(small, &QPushButton::clicked, this, [this] { fontsizer_Click(0); });
    connect(big, &QPushButton::clicked, this, [this] { fontsizer_Click(1); });
    connect(ok, &QPushButton::clicked, this, &Form3::Oka_Click);
    connect(cancel, &QPushButton::clicked, this, &Form3::Cancela_Click);

    // Tab order as designed: OK, Cancel, the sample box, then the rest.
    QWidget *order[] = {ok, cancel, fontc, fonto, backc, small, big};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    ok->setFocus();
    showSample();
}

void Form3::showSample()
{
    m_viewfont->setFont(m_font);
    m_viewfont->setPalette(paneColors(m_foreColor, m_backColor));
    m_colorbox->setPalette(paneColors(m_foreColor, m_backColor));
    m_viewfont->adjustSize();
    m_viewfont->move((m_colorbox->width() - m_viewfont->width()) / 2,
                     (m_colorbox->height() - m_viewfont->height()) / 2);
    m_sizeviewer->setText(numberText(m_font.pointSizeF()));
    m_sizeviewer->adjustSize();
}

void Form3::fontc_Click()
{
    if (CD2.ShowColor(this, m_foreColor.resolve(palette())) && CD2.Color)
        m_foreColor = ColorValue::chosen(*CD2.Color);
    showSample();
}

void Form3::backc_Click()
{
    if (CD2.ShowColor(this, m_backColor.resolve(palette())) && CD2.Color)
        m_backColor = ColorValue::chosen(*CD2.Color);
    showSample();
}

void Form3::fonto_Click()
{
    CD2.Flags = 259; // screen and printer fonts, with the effects controls
    if (CD2.ShowFont(this))
        m_font = plainFont(CD2.FontName, std::clamp(CD2.FontSize, kMinimumSize, kMaximumSize));
    showSample();
}

void Form3::fontsizer_Click(int index)
{
    const double size = m_font.pointSizeF() + (index == 0 ? -1 : 1);
    if (size >= kMinimumSize && size <= kMaximumSize)
        m_font.setPointSizeF(size);
    showSample();
}

void Form3::Oka_Click()
{
    for (QPlainTextEdit *pane : std::as_const(m_panes)) {
        pane->setPalette(paneColors(m_foreColor, m_backColor));
        pane->setFont(plainFont(m_font.family(), m_font.pointSizeF()));
    }
    accept();
}

} // namespace holvane
