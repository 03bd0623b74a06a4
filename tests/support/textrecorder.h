#pragma once

#include <QPaintDevice>
#include <QPaintEngine>
#include <QStringList>

// A paint device that keeps the texts painted on it, as drawn: what a user
// reads of a widget rendered on it, after every cut its style made. A text
// in several scripts is drawn in runs, one for each font it takes.
class TextRecorder : public QPaintDevice
{
public:
    explicit TextRecorder(const QSize &size = QSize(2000, 1000))
        : m_size(size)
    {
    }

    QStringList texts;

    QPaintEngine *paintEngine() const override { return &m_engine; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
            return m_size.width();
        case PdmHeight:
            return m_size.height();
        case PdmDepth:
            return 32;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 96;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(QPaintDevice::devicePixelRatioFScale());
        default:
            return 1000;
        }
    }

private:
    class Engine : public QPaintEngine
    {
    public:
        explicit Engine(TextRecorder *device)
            : QPaintEngine(QPaintEngine::AllFeatures)
            , m_device(device)
        {
        }
        bool begin(QPaintDevice *) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState &) override {}
        void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
        // Qt's defaults of the two call each other: shapes are not kept.
        void drawPolygon(const QPointF *, int, PolygonDrawMode) override {}
        void drawPolygon(const QPoint *, int, PolygonDrawMode) override {}
        void drawTextItem(const QPointF &, const QTextItem &item) override { m_device->texts << item.text(); }
        Type type() const override { return User; }

    private:
        TextRecorder *m_device;
    };

    QSize m_size;
    mutable Engine m_engine{this};
};
