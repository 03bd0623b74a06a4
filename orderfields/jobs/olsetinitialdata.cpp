#include "orderfields/jobs/olsetinitialdata.h"

// Defined in this order so the tables come into being in the order initTables
// fills them.
QMap<QString, OLFieldDef> OLSetInitialData::orderFieldMap;
QMap<QString, OLFieldDef> OLSetInitialData::orderPhotoFieldMap;
QMap<QString, OLFieldDef> OLSetInitialData::serviceFieldMap;
QMap<QString, OLFieldDef> OLSetInitialData::sampleFieldMap;

OLSetInitialData::OLSetInitialData(QObject *parent)
    : QObject(parent)
{
}

OLSetInitialData::~OLSetInitialData() = default;

void OLSetInitialData::initTables()
{
    orderFieldMap = orderFields();
    orderPhotoFieldMap = orderPhotoFields();
    serviceFieldMap = serviceFields();
    sampleFieldMap = sampleFields();
}
