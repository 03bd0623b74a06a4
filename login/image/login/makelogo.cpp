// Draws logo1.png, the login window's logo: an aperture mark and the
// program's name; with "mark", logo.png, the mark alone (the older login
// window's square logo). Build once and run by hand when the artwork changes:
//   g++ -std=c++17 -fPIC makelogo.cpp $(pkg-config --cflags --libs Qt5Gui) -o makelogo
//   QT_QPA_PLATFORM=offscreen ./makelogo logo1.png
//   QT_QPA_PLATFORM=offscreen ./makelogo logo.png mark
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("logo1.png");
    const bool markOnly = argc > 2 && QString::fromLocal8Bit(argv[2]) == QLatin1String("mark");

    // Twice the size the label shows, so it stays sharp on scaled screens.
    QImage image(markOnly ? 150 : 420, 150, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    const QPointF centre(75, 75);
    const qreal outer = 56;
    QLinearGradient ring(centre.x() - outer, centre.y() - outer, centre.x() + outer, centre.y() + outer);
    ring.setColorAt(0, QColor(QStringLiteral("#3a8bff")));
    ring.setColorAt(1, QColor(QStringLiteral("#1557c2")));
    p.setPen(Qt::NoPen);
    p.setBrush(ring);
    p.drawEllipse(centre, outer, outer);

    // Six aperture blades around a hexagonal opening.
    const qreal inner = 18;
    for (int i = 0; i < 6; ++i) {
        const qreal a0 = qDegreesToRadians(60.0 * i);
        const qreal a1 = qDegreesToRadians(60.0 * (i + 1));
        const QPointF p0 = centre + QPointF(qCos(a0), qSin(a0)) * inner;
        const QPointF p1 = centre + QPointF(qCos(a1), qSin(a1)) * inner;
        const QPointF tip = centre + QPointF(qCos(a0 + 0.35), qSin(a0 + 0.35)) * (outer - 8);
        QPainterPath blade;
        blade.moveTo(p0);
        blade.lineTo(tip);
        blade.lineTo(p1);
        blade.closeSubpath();
        p.setBrush(QColor(255, 255, 255, 60 + i * 18));
        p.drawPath(blade);
    }
    p.setBrush(QColor(QStringLiteral("#232d41")));
    QPolygonF hole;
    for (int i = 0; i < 6; ++i) {
        const qreal a = qDegreesToRadians(60.0 * i);
        hole << centre + QPointF(qCos(a), qSin(a)) * inner;
    }
    p.drawPolygon(hole);
    if (markOnly) {
        p.end();
        return image.save(out) ? 0 : 1;
    }

    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(50);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRectF(150, 18, 270, 70), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Velquora"));

    QFont subtitle(QStringLiteral("Droid Sans Fallback"));
    subtitle.setPixelSize(30);
    p.setFont(subtitle);
    p.setPen(QColor(160, 190, 235));
    p.drawText(QRectF(152, 86, 270, 44), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("影楼工具箱"));
    p.end();

    return image.save(out) ? 0 : 1;
}
