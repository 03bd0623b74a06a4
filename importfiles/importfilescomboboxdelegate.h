#pragma once

#include "public/comboboxitemdelegate.h"

// The drop-down items of the import window's branch and search-type combos:
// the program's combo item look (dark under the mouse, blue when selected,
// 60 px rows).
class ImportFilesComboBoxDelegate : public ComboBoxItemDelegate
{
    Q_OBJECT

public:
    using ComboBoxItemDelegate::ComboBoxItemDelegate;
};
