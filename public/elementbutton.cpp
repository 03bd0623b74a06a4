#include "public/elementbutton.h"

#include "base/k.h"

namespace {

struct Palette
{
    const char *normalBackground;
    const char *normalText;
    const char *normalBorder;
    const char *hoverBackground;
    const char *hoverText;
    const char *hoverBorder;
    const char *pressedBackground;
    const char *pressedText;
    const char *pressedBorder;
};

const Palette kPalettes[6] = {
    {"#FFFFFF", "#606266", "#DCDFE6", "#ECF5FF", "#409EFF", "#C6E2FF", "#FFFFFF", "#3A8EE6", "#3A8EE6"},
    {"#409EFF", "#FFFFFF", "#409EFF", "#66B1FF", "#FFFFFF", "#66B1FF", "#3A8EE6", "#FFFFFF", "#3A8EE6"},
    {"#67C23A", "#FFFFFF", "#67C23A", "#85CE61", "#FFFFFF", "#85CE61", "#5DAF34", "#FFFFFF", "#5DAF34"},
    {"#E6A23C", "#FFFFFF", "#E6A23C", "#EBB563", "#FFFFFF", "#EBB563", "#CF9236", "#FFFFFF", "#CF9236"},
    {"#F56C6C", "#FFFFFF", "#F56C6C", "#F78989", "#FFFFFF", "#F78989", "#DD6161", "#FFFFFF", "#DD6161"},
    {"#909399", "#FFFFFF", "#909399", "#A6A9AD", "#FFFFFF", "#A6A9AD", "#82848A", "#FFFFFF", "#82848A"},
};

// Text colours of the text-only look; not derived from the palettes above
// (type 0 hovers in type 1's blue).
const char *const kAlternateText[6][3] = {
    {"#606266", "#409EFF", "#3A8EE6"},
    {"#409EFF", "#66B1FF", "#3A8EE6"},
    {"#67C23A", "#85CE61", "#5DAF34"},
    {"#E6A23C", "#EBB563", "#CF9236"},
    {"#F56C6C", "#F78989", "#DD6161"},
    {"#909399", "#A6A9AD", "#82848A"},
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
    const Palette &p = kPalettes[row];

    QString normalBg = QLatin1String(p.normalBackground);
    QString normalText = QLatin1String(p.normalText);
    QString normalBorder = QLatin1String(p.normalBorder);
    QString hoverBg = QLatin1String(p.hoverBackground);
    QString hoverText = QLatin1String(p.hoverText);
    QString hoverBorder = QLatin1String(p.hoverBorder);
    QString pressedBg = QLatin1String(p.pressedBackground);
    QString pressedText = QLatin1String(p.pressedText);
    QString pressedBorder = QLatin1String(p.pressedBorder);
    QString disabledBg = QStringLiteral("#F5F7FA");
    QString disabledText = QStringLiteral("#C0C4CC");
    QString disabledBorder = QStringLiteral("#E4E7ED");

    if (plain) {
        const QString base = QLatin1String(p.normalBackground);
        normalBg = QStringLiteral("#FFFFFF");
        normalText = base;
        normalBorder = base;
        hoverBg = base;
        hoverText = QStringLiteral("#FFFFFF");
        hoverBorder = base;
        pressedBg = base;
        pressedText = QStringLiteral("#FFFFFF");
        pressedBorder = base;
        disabledBg = QStringLiteral("#FFFFFF");
    }
    if (alternateScheme) {
        const QString clear = QStringLiteral("transparent");
        normalBg = normalBorder = clear;
        hoverBg = hoverBorder = clear;
        pressedBg = pressedBorder = clear;
        disabledBg = disabledBorder = clear;
        normalText = QLatin1String(kAlternateText[row][0]);
        hoverText = QLatin1String(kAlternateText[row][1]);
        pressedText = QLatin1String(kAlternateText[row][2]);
        disabledText = QStringLiteral("#C0C4CC");
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
