#include "dialogs/display_settings_dialog.h"

#include "dialogs/number_text.h"
#include "editor/edit_pane.h"

#include <QLabel>
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

DisplaySettingsDialog::DisplaySettingsDialog(DialogBackend &dialogs, QList<QWidget *> panes, QWidget *parent)
    : FixedDialog(QStringLiteral("displaySettingsDialog"), QStringLiteral("option"), 3030, 1590, parent),
      m_pickers(dialogs, QStringLiteral("text file|*.txt|all file|*.*")), m_panes(std::move(panes)),
      m_font(plainFont(kPaneFontFamily, kPaneFontSize))
{
    m_pickers.fontFamily = kPaneFontFamily;
    m_pickers.fontSize = kPaneFontSize;

    auto *ok = button(QStringLiteral("okButton"), QStringLiteral("OK"), this);
    auto *cancel = button(QStringLiteral("cancelButton"), QStringLiteral("Cancel"), this);
    m_sampleBox = new QWidget(this);
    m_sampleBox->setObjectName(QStringLiteral("sampleBox"));
    m_sampleBox->setAccessibleName(QStringLiteral("見本"));
    m_sampleBox->setAutoFillBackground(true);
    m_sampleBox->setBackgroundRole(QPalette::Base);
    auto *textColor = button(QStringLiteral("textColorButton"), QStringLiteral("font color"), this);
    m_sampleText = new QLabel(QStringLiteral("Aaあ漢"), m_sampleBox);
    m_sampleText->setObjectName(QStringLiteral("sampleText"));
    m_sampleText->setAlignment(Qt::AlignCenter);
    m_sampleText->setForegroundRole(QPalette::Text);
    auto *font = button(QStringLiteral("fontButton"), QStringLiteral("font"), this);
    auto *backgroundColor = button(QStringLiteral("backgroundColorButton"), QStringLiteral("back color"), this);
    auto *small = button(QStringLiteral("smallerButton"), QStringLiteral("small"), this);
    auto *big = button(QStringLiteral("biggerButton"), QStringLiteral("big"), this);
    m_fontSizeLabel = new QLabel(QStringLiteral("12"), this);
    m_fontSizeLabel->setObjectName(QStringLiteral("fontSizeLabel"));
    auto *caption = new QLabel(QStringLiteral("fontsize:"), this);
    caption->setObjectName(QStringLiteral("fontSizeCaption"));

    place(textColor, 0, 120, 1095, 375);
    place(font, 0, 480, 1095, 375);
    place(backgroundColor, 0, 840, 1095, 375);
    place(m_sampleBox, 1320, 120, 1695, 615);
    place(ok, 1320, 840, 855, 375);
    place(cancel, 2160, 840, 855, 375);
    place(small, 1320, 1200, 855, 375);
    place(big, 2160, 1200, 855, 375);
    placeFitting(caption, 120, 1320);
    placeFitting(m_fontSizeLabel, 735, 1320);
    keepRightOf(m_fontSizeLabel, caption);

    connect(textColor, &QPushButton::clicked, this, &DisplaySettingsDialog::chooseTextColor);
    connect(backgroundColor, &QPushButton::clicked, this, &DisplaySettingsDialog::chooseBackgroundColor);
    connect(font, &QPushButton::clicked, this, &DisplaySettingsDialog::chooseFont);
    connect(small, &QPushButton::clicked, this, [this] { stepFontSize(Step::Smaller); });
    connect(big, &QPushButton::clicked, this, [this] { stepFontSize(Step::Bigger); });
    connect(ok, &QPushButton::clicked, this, &DisplaySettingsDialog::applyToPanes);
    connect(cancel, &QPushButton::clicked, this, &DisplaySettingsDialog::reject);

    // Tab order as designed: OK, Cancel, the sample box, then the rest.
    QWidget *order[] = {ok, cancel, textColor, font, backgroundColor, small, big};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    ok->setFocus();
    showSample();
}

void DisplaySettingsDialog::showSample()
{
    m_sampleText->setFont(m_font);
    m_sampleText->setPalette(paneColors(m_foreColor, m_backColor));
    m_sampleBox->setPalette(paneColors(m_foreColor, m_backColor));
    m_sampleText->adjustSize();
    m_sampleText->move((m_sampleBox->width() - m_sampleText->width()) / 2,
                     (m_sampleBox->height() - m_sampleText->height()) / 2);
    m_fontSizeLabel->setText(numberText(m_font.pointSizeF()));
    m_fontSizeLabel->adjustSize();
}

void DisplaySettingsDialog::chooseTextColor()
{
    if (m_pickers.askColor(this, m_foreColor.resolve(palette())) && m_pickers.color)
        m_foreColor = ColorValue::chosen(*m_pickers.color);
    showSample();
}

void DisplaySettingsDialog::chooseBackgroundColor()
{
    if (m_pickers.askColor(this, m_backColor.resolve(palette())) && m_pickers.color)
        m_backColor = ColorValue::chosen(*m_pickers.color);
    showSample();
}

void DisplaySettingsDialog::chooseFont()
{
    if (m_pickers.askFont(this))
        m_font = plainFont(m_pickers.fontFamily, std::clamp(m_pickers.fontSize, kMinimumSize, kMaximumSize));
    showSample();
}

void DisplaySettingsDialog::stepFontSize(Step step)
{
    const double size = m_font.pointSizeF() + (step == Step::Smaller ? -1 : 1);
    if (size >= kMinimumSize && size <= kMaximumSize)
        m_font.setPointSizeF(size);
    showSample();
}

void DisplaySettingsDialog::applyToPanes()
{
    for (QWidget *pane : std::as_const(m_panes)) {
        pane->setPalette(paneColors(m_foreColor, m_backColor));
        pane->setFont(plainFont(m_font.family(), m_font.pointSizeF()));
    }
    accept();
}

} // namespace holvane
