#include "charts/objectdata.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFont>
#include <QHash>
#include <QImageReader>
#include <QMimeDatabase>
#include <QPainter>

#include "engine/messages.h"
#include "engine/reportlayout.h"

namespace qor::items {

QString ObjectClassOf(const QByteArray& bytes, const QString& fileName) {
    const QMimeType byName = QMimeDatabase().mimeTypeForFileNameAndData(fileName, bytes);
    return byName.isValid() ? byName.name() : QStringLiteral("application/octet-stream");
}

namespace {
QHash<QString, ObjectViewer>& viewers() {
    static QHash<QString, ObjectViewer> registry;
    return registry;
}
}  // namespace

void RegisterObjectViewer(const QString& classId, ObjectViewer viewer) {
    if (viewer)
        viewers().insert(classId, std::move(viewer));
    else
        viewers().remove(classId);
}

QImage ViewerPicture(const QString& classId, const QByteArray& bytes) {
    const auto it = viewers().constFind(classId);
    if (classId.isEmpty() || it == viewers().constEnd()) return {};
    QImage image = (*it)(bytes);
    if (image.width() > kMaxObjectPicture || image.height() > kMaxObjectPicture)
        image = image.scaled(kMaxObjectPicture, kMaxObjectPicture, Qt::KeepAspectRatio,
                             Qt::SmoothTransformation);
    return image;
}

QImage ObjectPicture(const QByteArray& bytes, const QString& fileName, bool icon,
                     const QString& classId) {
    if (!icon) {
        const QImage drawn = ViewerPicture(classId, bytes);
        if (!drawn.isNull()) return drawn;
    }
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
               name.isEmpty() ? LoadErrorText(str::kObjectDefaultName) : name);
    return image;
}

QByteArray PngBytes(const QImage& image) {
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) return {};
    return png;
}

QByteArray WriteOlePayload(const QByteArray& itemObject, const QByteArray& objectBytes) {
    QByteArray out;
    qor::ByteWriter w(out);
    w.u32(uint32_t(itemObject.size()));
    w.bytes(itemObject);
    w.u32(uint32_t(objectBytes.size()));
    w.bytes(objectBytes);
    return out;
}

bool ReadOlePayload(const QByteArray& payload, QByteArray* itemObject, QByteArray* objectBytes,
                    QString* error) {
    auto fail = [error](const QString& why) {
        if (error) *error = why;
        return false;
    };
    qor::ByteReader in(payload);
    const uint32_t recordSize = in.u32();
    if (!in.ok() || recordSize == 0 || !in.need(recordSize))
        return fail(QStringLiteral("object record length does not match the data"));
    const QByteArray record = in.bytes(recordSize);
    const uint32_t dataSize = in.u32();
    if (!in.ok() || dataSize > uint64_t(kMaxObjectBytes) || dataSize != in.remaining())
        return fail(QStringLiteral("object data length does not match the data"));
    const QByteArray data = in.bytes(dataSize);
    if (!in.ok()) return fail(QStringLiteral("object data cut short"));
    *itemObject = record;
    *objectBytes = data;
    return true;
}

QByteArray WriteLinkSource(const QString& path, const QString& linkName) {
    return (path + QLatin1Char('\n') + linkName).toUtf8();
}

bool ReadLinkSource(const QByteArray& bytes, QString* path, QString* linkName) {
    if (bytes.isEmpty() || bytes.size() > kMaxLinkSourceBytes || bytes.contains('\0')) return false;
    const QList<QByteArray> lines = bytes.split('\n');
    if (lines.size() != 2 || lines[0].isEmpty() || lines[1].isEmpty()) return false;
    *path = QString::fromUtf8(lines[0]);
    *linkName = QString::fromUtf8(lines[1]);
    return true;
}

}  // namespace qor::items
