#include "login/customcheckboxnew.h"

#include <QPainter>
#include <QPainterPath>

#include "base/k.h"
#include "public/theme.h"

void CustomCheckBoxNew::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    K *k = K::instance();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF box(0, k->scale(3), k->scale(15), k->scale(15));
    QPainterPath boxPath;
    boxPath.addRoundedRect(box, k->scale(3), k->scale(3));

    if (isChecked()) {
        painter.fillPath(boxPath, Theme::loginBlue.color());
        painter.setPen(Qt::white);
        QFont tickFont(QStringLiteral("Arial"));
        tickFont.setPixelSize(k->scale(11));
        painter.setFont(tickFont);
        painter.drawText(box, Qt::AlignCenter, QStringLiteral("✓"));
    } else {
        painter.setPen(QPen(Theme::loginTickFrame.color(), 1.0));
        painter.drawPath(boxPath);
    }

    // The size of the window's other small text (the version line): a
    // 5-point label could not be read.
    QFont labelFont;
    labelFont.setPixelSize(k->scale(12));
    painter.setFont(labelFont);
    painter.setPen(Theme::loginTickText.color());
    const QRect labelRect(k->scale(21), 0, width() - k->scale(21), height());
    painter.drawText(labelRect, Qt::AlignLeft | Qt::AlignVCenter, text());
}
