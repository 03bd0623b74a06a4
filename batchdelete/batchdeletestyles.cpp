#include "batchdelete/batchdeletestyles.h"

#include "base/k.h"
#include "public/tablelook.h"
#include "public/theme.h"

namespace BatchDeleteStyles {

QString panel(const QString &objectName)
{
    return Theme::sheet(QStringLiteral("#%1 {   border: 1px solid @groupFrame;   border-radius: 10px;   background-color: @panel;}"))
        .arg(objectName);
}

QString table()
{
    K *k = K::instance();
    // The text colour is the table's, not the items': an item rule with a
    // colour, selected or not, would hide the status colours the model
    // gives.
    return Theme::sheet(QStringLiteral("QTableView { border: none; background-color: @panel; gridline-color: @gridLine;"
                                       " font-size: %1px; selection-background-color: @selection; alternate-background-color: @alternateRow;"
                                       " color: @text; }"
                                       "QTableView::item { padding: %2px %3px; border-bottom: 1px solid @gridLine; }"
                                       "QTableView::item:selected { background-color: @selection; }"))
        .arg(k->scaleText(12), k->scaleText(6), k->scaleText(4));
}

QString orderRowWidgets()
{
    K *k = K::instance();
    return Theme::sheet(QStringLiteral("QCheckBox::indicator { width: %1px; height: %1px; border: 2px solid @tickFrame;"
                                       " border-radius: %2px; background-color: @panel; }"
                                       "QCheckBox::indicator:checked { background-color: @accent; border-color: @accent;"
                                       " image: url(:/public/image/public/icon/check_white.png); }"
                                       "QCheckBox::indicator:hover { border-color: @accent; }"
                                       "QProgressBar { border: 1px solid @progressFrame; border-radius: %2px;"
                                       " background-color: @progressTrack; text-align: center; font-size: %3px; }"
                                       "QProgressBar::chunk { background-color: @accent; border-radius: %4px; }"))
        .arg(k->scaleText(16), k->scaleText(4), k->scaleText(10), k->scaleText(3));
}

QString resultLink(bool failed)
{
    K *k = K::instance();
    return Theme::sheet(QStringLiteral("QPushButton { background: transparent; border: none; color: %1; font-size: %3px;"
                                       " font-weight: 600; text-decoration: underline; padding: 0px %4px; }"
                                       "QPushButton:hover { color: %2; }")
                            .arg(failed ? QStringLiteral("@dangerHover") : QStringLiteral("@successDark"),
                                 failed ? QStringLiteral("@dangerPressed") : QStringLiteral("@successDarkest"),
                                 k->scaleText(12), k->scaleText(4)));
}

QString scrollBar()
{
    return TableLook::thinScrollBars();
}

QString header()
{
    K *k = K::instance();
    const QString padding =
        QStringLiteral("padding: %1px %2px; padding-left: %3px;").arg(k->scaleText(6), k->scaleText(4), k->scaleText(8));
    return Theme::tableHeaderSheet(padding, 12, 500);
}

} // namespace BatchDeleteStyles
