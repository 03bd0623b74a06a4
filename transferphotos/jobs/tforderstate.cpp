#include "transferphotos/jobs/tforderstate.h"

namespace TfOrderState {

QString label(OrderRunState state)
{
    switch (state) {
    case OrderRunState::NotSelected:
        return QStringLiteral("未选择");
    case OrderRunState::Waiting:
        return QStringLiteral("等待中");
    case OrderRunState::Importing:
        return QStringLiteral("导片中");
    case OrderRunState::Done:
        return QStringLiteral("导片完成");
    case OrderRunState::Failed:
        return QStringLiteral("导片失败");
    case OrderRunState::NotUploaded:
        return QStringLiteral("未上传");
    }
    return QString();
}

void set(OrderInfo *order, OrderRunState state)
{
    order->runState = state;
    order->uploadStatus = label(state);
}

} // namespace TfOrderState
