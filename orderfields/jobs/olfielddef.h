#pragma once

#include <QString>

// One field of a record the order service keeps: its value type ("int",
// "text", "float", "type" or "imgurl"), its display label, the record field
// that carries the display text (differs from key only for reference fields,
// where key holds the id and name the referenced item's name) and the record
// field that carries the value.
struct OLFieldDef
{
    OLFieldDef() = default;
    OLFieldDef(const QString &type, const QString &label, const QString &name, const QString &key, const bool &flag);

    bool operator==(const OLFieldDef &other) const;
    bool operator!=(const OLFieldDef &other) const { return !(*this == other); }

    QString type;
    QString label;
    QString name;
    QString key;
    bool flag = true;
    // Reserved for a consumer of the dictionary; nothing sets it.
    bool spareFlag = false;
};
