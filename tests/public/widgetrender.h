#pragma once

#include <QCoreApplication>
#include <QImage>
#include <QPixmap>
#include <QString>
#include <QWidget>

// Renders a widget the way it would appear and keeps the picture next to the
// test executable ("render_<name>.png"), so a reviewer can look at it.
inline QImage renderWidget(QWidget *widget, const QString &name)
{
    const QImage image = widget->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    image.save(QCoreApplication::applicationDirPath() + QStringLiteral("/render_") + name + QStringLiteral(".png"));
    return image;
}

// True when the colour is within tolerance of the expected one on each channel.
inline bool closeTo(QRgb actual, const QColor &expected, int tolerance = 12)
{
    return qAbs(qRed(actual) - expected.red()) <= tolerance && qAbs(qGreen(actual) - expected.green()) <= tolerance
           && qAbs(qBlue(actual) - expected.blue()) <= tolerance;
}
