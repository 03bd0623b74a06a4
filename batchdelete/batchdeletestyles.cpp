#include "batchdelete/batchdeletestyles.h"

#include "base/k.h"
#include "public/tablelook.h"

namespace BatchDeleteStyles {

QString panel(const QString &objectName)
{
    return QStringLiteral("#%1 {   border: 1px solid #DCDEE2;   border-radius: 10px;   background-color: #ffffff;}")
        .arg(objectName);
}

QString table()
{
    K *k = K::instance();
    // The text colour is the table's, not the items': an item rule with a
    // colour, selected or not, would hide the status colours the model
    // gives.
    return QStringLiteral("QTableView { border: none; background-color: #ffffff; gridline-color: #f0f0f0;"
                          " font-size: %1px; selection-background-color: #e3f2fd; alternate-background-color: #fafafa;"
                          " color: #333333; }"
                          "QTableView::item { padding: %2px %3px; border-bottom: 1px solid #f0f0f0; }"
                          "QTableView::item:selected { background-color: #e3f2fd; }")
        .arg(k->scaleText(12), k->scaleText(6), k->scaleText(4));
}

QString orderRowWidgets()
{
    K *k = K::instance();
    return QStringLiteral("QCheckBox::indicator { width: %1px; height: %1px; border: 2px solid #d0d0d0;"
                          " border-radius: %2px; background-color: #ffffff; }"
                          "QCheckBox::indicator:checked { background-color: #007aff; border-color: #007aff;"
                          " image: url(:/public/image/public/icon/check_white.png); }"
                          "QCheckBox::indicator:hover { border-color: #007aff; }"
                          "QProgressBar { border: 1px solid #d0d0d0; border-radius: %2px;"
                          " background-color: #f0f0f0; text-align: center; font-size: %3px; }"
                          "QProgressBar::chunk { background-color: #007aff; border-radius: %4px; }")
        .arg(k->scaleText(16), k->scaleText(4), k->scaleText(10), k->scaleText(3));
}

QString scrollBar()
{
    return TableLook::thinScrollBars();
}

QString header()
{
    K *k = K::instance();
    return QStringLiteral("QHeaderView::section { background-color: #F5F7F9; border: none; padding: %1px %2px;"
                          " padding-left: %3px; font-weight: 500; font-size: %4px; color: #333333;"
                          " border-bottom: 2px solid #e0e0e0; }")
        .arg(k->scaleText(6), k->scaleText(4), k->scaleText(8), k->scaleText(12));
}

} // namespace BatchDeleteStyles
