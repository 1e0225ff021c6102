#pragma once
// What an embedded object shows: the picture of its bytes (images through
// the image readers), else a framed placeholder naming its file; and the
// class an object's bytes are kept under (their MIME type).

#include <QByteArray>
#include <QImage>
#include <QString>
#include <functional>

namespace qor::items {

// The largest file embedded whole; a larger one is refused with a message
// rather than read into memory.
inline constexpr qint64 kMaxObjectBytes = 64LL * 1024 * 1024;
// A picture is shown at most this many pixels a side.
inline constexpr int kMaxObjectPicture = 1500;

// The object's class: the MIME type of its bytes and name.
QString ObjectClassOf(const QByteArray& bytes, const QString& fileName);
// The picture the object shows: what the viewer registered for its class
// draws, else the image itself when the bytes are one (scaled down to
// kMaxObjectPicture a side), else a placeholder with the file's name.
// icon: a small placeholder as the object's icon.
QImage ObjectPicture(const QByteArray& bytes, const QString& fileName, bool icon = false,
                     const QString& classId = QString());

// Draws the bytes of one class of objects (null when it cannot); the
// layer that understands the class registers it (null: none).
using ObjectViewer = std::function<QImage(const QByteArray& bytes)>;
void RegisterObjectViewer(const QString& classId, ObjectViewer viewer);
// What the class's viewer draws of the bytes, scaled down to
// kMaxObjectPicture a side; null without a viewer or when it cannot.
QImage ViewerPicture(const QString& classId, const QByteArray& bytes);
// PNG bytes of an image; empty on failure.
QByteArray PngBytes(const QImage& image);

}  // namespace qor::items

namespace qor::items {

// The class our own reports are embedded under.
inline constexpr char kReportObjectClass[] = "application/x-qor-report";
// Other programs' names of the two report formats that copied cells
// offer besides the cells: the report's bytes, and where the range lives.
inline constexpr char kEmbedSourceFormat[] = "Embed Source";
inline constexpr char kLinkSourceFormat[] = "Link Source";
// A link name or path longer than this is not one of ours.
inline constexpr int kMaxLinkSourceBytes = 8192;

// "OLE QOR Data" inline: u32 length + the item as one class-tagged object
// (WriteItemObject), then u32 length + the object's own bytes, and nothing
// after. The bytes ride along because the receiving report has no
// storage of ours to find them in.
QByteArray WriteOlePayload(const QByteArray& itemObject, const QByteArray& objectBytes);
// False with *error for lengths that do not add up to exactly the payload
// or bytes above kMaxObjectBytes.
bool ReadOlePayload(const QByteArray& payload, QByteArray* itemObject, QByteArray* objectBytes,
                    QString* error);

// "Link Source": the report's path and the link name, UTF-8, one line
// each.
QByteArray WriteLinkSource(const QString& path, const QString& linkName);
// False for anything but two non-empty lines of at most
// kMaxLinkSourceBytes in all, without NULs.
bool ReadLinkSource(const QByteArray& bytes, QString* path, QString* linkName);

}  // namespace qor::items
