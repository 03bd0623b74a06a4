#pragma once

#include <QString>

class FakeOrderService;

namespace TransferOrders {

// Loads the fake's test data with every order's shared import folder under
// shareDir and its selection finished today (what the search panel's
// default search asks for); the shops allow deleting imported photos.
void loadTestOrders(FakeOrderService &fake, const QString &shareDir);

} // namespace TransferOrders
