#include "public/elementbutton.h"

#include "base/k.h"
#include "public/theme.h"

namespace {

using Theme::Colour;

struct TypeColours
{
    Colour normalBackground;
    Colour normalText;
    Colour normalBorder;
    Colour hoverBackground;
    Colour hoverText;
    Colour hoverBorder;
    Colour pressedBackground;
    Colour pressedText;
    Colour pressedBorder;
};

// By type: default, primary, success, warning, danger, info.
const TypeColours kTypeColours[6] = {
    {Theme::elementFace, Theme::elementText, Theme::elementBorder, Theme::elementHoverFace, Theme::elementPrimary,
     Theme::elementHoverBorder, Theme::elementFace, Theme::elementPrimaryPressed, Theme::elementPrimaryPressed},
    {Theme::elementPrimary, Theme::elementOnColour, Theme::elementPrimary, Theme::elementPrimaryHover, Theme::elementOnColour,
     Theme::elementPrimaryHover, Theme::elementPrimaryPressed, Theme::elementOnColour, Theme::elementPrimaryPressed},
    {Theme::elementSuccess, Theme::elementOnColour, Theme::elementSuccess, Theme::elementSuccessHover, Theme::elementOnColour,
     Theme::elementSuccessHover, Theme::elementSuccessPressed, Theme::elementOnColour, Theme::elementSuccessPressed},
    {Theme::elementWarning, Theme::elementOnColour, Theme::elementWarning, Theme::elementWarningHover, Theme::elementOnColour,
     Theme::elementWarningHover, Theme::elementWarningPressed, Theme::elementOnColour, Theme::elementWarningPressed},
    {Theme::elementDanger, Theme::elementOnColour, Theme::elementDanger, Theme::elementDangerHover, Theme::elementOnColour,
     Theme::elementDangerHover, Theme::elementDangerPressed, Theme::elementOnColour, Theme::elementDangerPressed},
    {Theme::elementInfo, Theme::elementOnColour, Theme::elementInfo, Theme::elementInfoHover, Theme::elementOnColour,
     Theme::elementInfoHover, Theme::elementInfoPressed, Theme::elementOnColour, Theme::elementInfoPressed},
};

// Text colours of the text-only look; not derived from the types above
// (type 0 hovers in type 1's blue).
const Colour kAlternateText[6][3] = {
    {Theme::elementText, Theme::elementPrimary, Theme::elementPrimaryPressed},
    {Theme::elementPrimary, Theme::elementPrimaryHover, Theme::elementPrimaryPressed},
    {Theme::elementSuccess, Theme::elementSuccessHover, Theme::elementSuccessPressed},
    {Theme::elementWarning, Theme::elementWarningHover, Theme::elementWarningPressed},
    {Theme::elementDanger, Theme::elementDangerHover, Theme::elementDangerPressed},
    {Theme::elementInfo, Theme::elementInfoHover, Theme::elementInfoPressed},
};

struct SizeStep
{
    int padV;
    int padH;
    int font;
    int minW;
    int minH;
};

SizeStep sizeStep(int size)
{
    if (size == 0)
        return {3, 7, 8, 40, 16};
    if (size == 2)
        return {7, 13, 9, 60, 27};
    return {5, 10, 9, 50, 21};
}

} // namespace

ElementButton::ElementButton(QWidget *parent)
    : QPushButton(parent)
{
    init();
}

ElementButton::ElementButton(const QString &text, QWidget *parent)
    : QPushButton(text, parent)
{
    init();
}

ElementButton::ElementButton(const QString &text, int type, QWidget *parent)
    : QPushButton(text, parent)
    , type(type)
{
    init();
}

ElementButton::~ElementButton() = default;

void ElementButton::init()
{
    setCursor(Qt::PointingHandCursor);
    updateStyle();
}

void ElementButton::setType(int value)
{
    if (type == value)
        return;
    type = value;
    updateStyle();
}

void ElementButton::setSize(int value)
{
    if (size == value)
        return;
    size = value;
    updateStyle();
}

void ElementButton::setPlain(bool value)
{
    if (plain == value)
        return;
    plain = value;
    updateStyle();
}

void ElementButton::setRound(bool value)
{
    if (round == value)
        return;
    round = value;
    updateStyle();
}

void ElementButton::setCircle(bool value)
{
    if (circle == value)
        return;
    circle = value;
    updateStyle();
}

void ElementButton::setAlternateScheme(bool value)
{
    if (alternateScheme == value)
        return;
    alternateScheme = value;
    updateStyle();
}

void ElementButton::setLoading(bool value)
{
    if (loading == value)
        return;
    loading = value;
    setEnabled(!value);
    updateStyle();
}

void ElementButton::updateStyle()
{
    setStyleSheet(buildStyleSheet());
    setMinimumSize(minimumSizeForSize());
}

QSize ElementButton::minimumSizeForSize() const
{
    const K *k = K::instance();
    const SizeStep step = sizeStep(size);
    const int h = k->scale(step.minH);
    if (circle)
        return QSize(h, h);
    return QSize(k->scale(step.minW), h);
}

QString ElementButton::buildStyleSheet() const
{
    const K *k = K::instance();
    const int row = (type >= 0 && type <= 5) ? type : 0;
    const TypeColours &p = kTypeColours[row];

    QString normalBg = p.normalBackground.name();
    QString normalText = p.normalText.name();
    QString normalBorder = p.normalBorder.name();
    QString hoverBg = p.hoverBackground.name();
    QString hoverText = p.hoverText.name();
    QString hoverBorder = p.hoverBorder.name();
    QString pressedBg = p.pressedBackground.name();
    QString pressedText = p.pressedText.name();
    QString pressedBorder = p.pressedBorder.name();
    QString disabledBg = Theme::elementDisabledFace.name();
    QString disabledText = Theme::elementDisabledText.name();
    QString disabledBorder = Theme::elementDisabledBorder.name();

    if (plain) {
        const QString base = p.normalBackground.name();
        normalBg = Theme::elementFace.name();
        normalText = base;
        normalBorder = base;
        hoverBg = base;
        hoverText = Theme::elementOnColour.name();
        hoverBorder = base;
        pressedBg = base;
        pressedText = Theme::elementOnColour.name();
        pressedBorder = base;
        disabledBg = Theme::elementFace.name();
    }
    if (alternateScheme) {
        const QString clear = QStringLiteral("transparent");
        normalBg = normalBorder = clear;
        hoverBg = hoverBorder = clear;
        pressedBg = pressedBorder = clear;
        disabledBg = disabledBorder = clear;
        normalText = kAlternateText[row][0].name();
        hoverText = kAlternateText[row][1].name();
        pressedText = kAlternateText[row][2].name();
        disabledText = Theme::elementDisabledText.name();
    }

    QString radius;
    if (circle)
        radius = QStringLiteral("50%");
    else if (round)
        radius = k->scaleText(13) + QStringLiteral("px");
    else
        radius = k->scaleText(3) + QStringLiteral("px");

    const SizeStep step = sizeStep(size);
    const QString padding = k->scaleText(step.padV) + QStringLiteral("px ") + k->scaleText(step.padH) + QStringLiteral("px");
    const QString fontSize = k->scaleText(step.font) + QStringLiteral("px");

    const QString tmpl = QStringLiteral("QPushButton {    background-color: %1;    color: %2;    border: ")
                         + k->scaleText(1)
                         + QStringLiteral("px solid %3;    border-radius: %4;    padding: %5;    font-size: %6;    font-weight: ")
                         + k->scaleText(500)
                         + QStringLiteral(";    outline: none;}QPushButton:hover {    background-color: %7;    color: %8;    border-color: %9;}"
                                          "QPushButton:pressed {    background-color: %10;    color: %11;    border-color: %12;}"
                                          "QPushButton:disabled {    background-color: %13;    color: %14;    border-color: %15;}");

    return tmpl.arg(normalBg, normalText, normalBorder, radius, padding, fontSize)
        .arg(hoverBg, hoverText, hoverBorder)
        .arg(pressedBg, pressedText, pressedBorder)
        .arg(disabledBg, disabledText, disabledBorder);
}
