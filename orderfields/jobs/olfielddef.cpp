#include "orderfields/jobs/olfielddef.h"

OLFieldDef::OLFieldDef(const QString &type, const QString &label, const QString &name, const QString &key, const bool &flag)
    : type(type)
    , label(label)
    , name(name)
    , key(key)
    , flag(flag)
{
}

bool OLFieldDef::operator==(const OLFieldDef &other) const
{
    return type == other.type && label == other.label && name == other.name && key == other.key && flag == other.flag
           && spareFlag == other.spareFlag;
}
