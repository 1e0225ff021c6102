#include "charts/itemformats.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtEndian>
#include <cmath>

namespace qor::items {

namespace {
void putLe32(QByteArray* b, int at, uint32_t v) {
    qToLittleEndian<quint32>(v, reinterpret_cast<uchar*>(b->data()) + at);
}
}  // namespace

QByteArray ObjectDescriptor(QSize himetricSize, QPoint himetricOffset, const QUuid& cls) {
    QByteArray b(kObjectDescriptorSize, '\0');
    putLe32(&b, 0, kObjectDescriptorSize);
    putLe32(&b, 4, cls.data1);
    qToLittleEndian<quint16>(cls.data2, reinterpret_cast<uchar*>(b.data()) + 8);
    qToLittleEndian<quint16>(cls.data3, reinterpret_cast<uchar*>(b.data()) + 10);
    for (int i = 0; i < 8; ++i) b[12 + i] = char(cls.data4[i]);
    putLe32(&b, 24, uint32_t(himetricSize.width()));
    putLe32(&b, 28, uint32_t(himetricSize.height()));
    putLe32(&b, 32, uint32_t(himetricOffset.x()));
    putLe32(&b, 36, uint32_t(himetricOffset.y()));
    return b;
}

QSize PixelsToHimetric(QSize pixels) {
    double dpiX = 96, dpiY = 96;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            dpiX = screen->logicalDotsPerInchX();
            dpiY = screen->logicalDotsPerInchY();
        }
    }
    return QSize(int(std::lround(pixels.width() * 2540.0 / dpiX)),
                 int(std::lround(pixels.height() * 2540.0 / dpiY)));
}

}  // namespace qor::items
