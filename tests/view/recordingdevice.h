#pragma once
// A paint device that hands every drawing call to a recording engine, at a
// chosen resolution, so tests read what was drawn instead of pixels.

#include <QPaintDevice>
#include <QSize>

template <class Engine, int Dpi>
class RecordingPaintDevice : public QPaintDevice {
public:
    explicit RecordingPaintDevice(QSize size) : m_size(size) {}
    QPaintEngine* paintEngine() const override { return &engine; }
    mutable Engine engine;

protected:
    int metric(PaintDeviceMetric m) const override {
        switch (m) {
            case PdmWidth:
                return m_size.width();
            case PdmHeight:
                return m_size.height();
            case PdmWidthMM:
                return m_size.width() * 254 / (Dpi * 10);
            case PdmHeightMM:
                return m_size.height() * 254 / (Dpi * 10);
            case PdmNumColors:
                return 0x7FFFFFFF;
            case PdmDepth:
                return 32;
            case PdmDpiX:
            case PdmDpiY:
            case PdmPhysicalDpiX:
            case PdmPhysicalDpiY:
                return Dpi;
            case PdmDevicePixelRatio:
                return 1;
            case PdmDevicePixelRatioScaled:
                return int(devicePixelRatioFScale());
            default:
                return QPaintDevice::metric(m);
        }
    }

private:
    QSize m_size;
};
