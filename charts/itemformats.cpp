#include "charts/itemformats.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtEndian>
#include <algorithm>
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

namespace {
void screenDpi(double* dpiX, double* dpiY) {
    *dpiX = 96;
    *dpiY = 96;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            *dpiX = screen->logicalDotsPerInchX();
            *dpiY = screen->logicalDotsPerInchY();
        }
    }
}
}  // namespace

bool ReadObjectDescriptor(const QByteArray& bytes, QSize* himetricSize, QPoint* himetricOffset) {
    if (bytes.size() < 40) return false;
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    const uint32_t declared = qFromLittleEndian<quint32>(p);
    if (declared < 40 || declared > uint32_t(bytes.size())) return false;
    *himetricSize = QSize(qFromLittleEndian<qint32>(p + 24), qFromLittleEndian<qint32>(p + 28));
    *himetricOffset = QPoint(qFromLittleEndian<qint32>(p + 32), qFromLittleEndian<qint32>(p + 36));
    return true;
}

QSize HimetricToPixels(QSize himetric) {
    double dpiX = 96, dpiY = 96;
    screenDpi(&dpiX, &dpiY);
    auto cut = [](int v) { return std::clamp(v, -1000000, 1000000); };
    return QSize(int(std::lround(cut(himetric.width()) * dpiX / 2540.0)),
                 int(std::lround(cut(himetric.height()) * dpiY / 2540.0)));
}

QSize PixelsToHimetric(QSize pixels) {
    double dpiX = 96, dpiY = 96;
    screenDpi(&dpiX, &dpiY);
    return QSize(int(std::lround(pixels.width() * 2540.0 / dpiX)),
                 int(std::lround(pixels.height() * 2540.0 / dpiY)));
}

}  // namespace qor::items
