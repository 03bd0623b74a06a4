#pragma once

#include <cstddef>

#include <QMap>
#include <QString>
#include <QStringView>

#include "orderfields/jobs/olfielddef.h"

// One entry of a field table as written in the source: {type, label, name,
// key, flag}. Views of string literals, so the tables cost no start-up work.
struct OLFieldRow
{
    QStringView type;
    QStringView label;
    QStringView name;
    QStringView key;
    bool flag;
};

// Builds a table from its entries in the order given; an entry whose key came
// before replaces the earlier definition.
template <std::size_t N>
QMap<QString, OLFieldDef> buildFieldTable(const OLFieldRow (&rows)[N])
{
    QMap<QString, OLFieldDef> table;
    for (const OLFieldRow &row : rows) {
        const QString key = row.key.toString();
        table[key] = OLFieldDef(row.type.toString(), row.label.toString(), row.name.toString(), key, row.flag);
    }
    return table;
}
