#pragma once

#include <QString>

#include "base/orderinfo.h"

namespace TfOrderState {

// The label the order table shows for state.
QString label(OrderRunState state);

// order takes state, and its uploadStatus the state's label: the two never
// part.
void set(OrderInfo *order, OrderRunState state);

} // namespace TfOrderState
