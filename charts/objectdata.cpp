#include "charts/objectdata.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFont>
#include <QImageReader>
#include <QMimeDatabase>
#include <QPainter>

namespace qor::items {

QString ObjectClassOf(const QByteArray& bytes, const QString& fileName) {
    const QMimeType byName = QMimeDatabase().mimeTypeForFileNameAndData(fileName, bytes);
    return byName.isValid() ? byName.name() : QStringLiteral("application/octet-stream");
}

QImage ObjectPicture(const QByteArray& bytes, const QString& fileName, bool icon) {
    if (!icon) {
        QBuffer buffer;
        buffer.setData(bytes);
        if (buffer.open(QIODevice::ReadOnly)) {
            QImageReader reader(&buffer);
            QSize size = reader.size();
            if (size.isValid() && (size.width() > kMaxObjectPicture || size.height() > kMaxObjectPicture)) {
                size.scale(kMaxObjectPicture, kMaxObjectPicture, Qt::KeepAspectRatio);
                reader.setScaledSize(size);
            }
            const QImage image = reader.read();
            if (!image.isNull()) return image;
        }
    }
    // Not a picture (or shown as an icon): a framed box naming the file.
    const QString name = QFileInfo(fileName).fileName();
    const QSize size = icon ? QSize(96, 72) : QSize(220, 80);
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setPen(QPen(Qt::darkGray, 1));
    p.drawRect(image.rect().adjusted(0, 0, -1, -1));
    p.setBrush(QColor(0xE8, 0xE8, 0xE8));
    const QRect page(8, 8, 24, 30);
    p.drawRect(page);
    p.setPen(Qt::black);
    QFont font = p.font();
    font.setPixelSize(12);
    p.setFont(font);
    p.drawText(QRect(40, 4, size.width() - 44, size.height() - 8),
               Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWrapAnywhere,
               name.isEmpty() ? QStringLiteral("对象") : name);
    return image;
}

QByteArray PngBytes(const QImage& image) {
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) return {};
    return png;
}

}  // namespace qor::items
