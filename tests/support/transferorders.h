#pragma once

#include <QList>
#include <QString>

#include "base/orderinfo.h"

class FakeOrderService;

namespace TransferOrders {

// Loads the fake's test data with every order's shared import folder under
// shareDir and its selection finished today (what the search panel's
// default search asks for); the shops allow deleting imported photos.
void loadTestOrders(FakeOrderService &fake, const QString &shareDir);

// The four entries of a picked photo ("all", "90", "190", "1920"), as the
// order table makes them.
QList<PhotoInfo> photoEntries(const QString &path);

// An order of the photo-transfer tool importing entries into folder.
OrderInfo importOrder(const QString &number, const QString &folder, const QList<PhotoInfo> &entries);

} // namespace TransferOrders
