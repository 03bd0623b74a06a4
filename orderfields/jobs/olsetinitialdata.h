#pragma once

#include <QMap>
#include <QObject>
#include <QString>

#include "orderfields/jobs/olfielddef.h"

// The field dictionary of the order service's records: the order master
// record, the order-photo record (one per service of an order), the shooting
// record of a service and the photo-selection (sample) record. Each table maps
// a record field's key to its definition and iterates in key order.
//
// The tables belong to the class and stay empty until initTables() fills
// them. Nothing guards them: call initTables() before any reader, on the
// readers' thread.
class OLSetInitialData : public QObject
{
    Q_OBJECT

public:
    explicit OLSetInitialData(QObject *parent = nullptr);
    ~OLSetInitialData() override;

    // Replaces each table with its builder's result; calling it again gives
    // the same tables.
    static void initTables();

    // Each returns a new table built from the dictionary's entries.
    static QMap<QString, OLFieldDef> orderFields();
    static QMap<QString, OLFieldDef> orderPhotoFields();
    static QMap<QString, OLFieldDef> serviceFields();
    static QMap<QString, OLFieldDef> sampleFields();

    static QMap<QString, OLFieldDef> orderFieldMap;
    static QMap<QString, OLFieldDef> orderPhotoFieldMap;
    static QMap<QString, OLFieldDef> serviceFieldMap;
    static QMap<QString, OLFieldDef> sampleFieldMap;
};
