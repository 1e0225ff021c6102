#pragma once
// What an embedded object shows: the picture of its bytes (images through
// the image readers), else a framed placeholder naming its file; and the
// class an object's bytes are kept under (their MIME type).

#include <QByteArray>
#include <QImage>
#include <QString>

namespace qor::items {

// The largest file embedded whole; a larger one is refused with a message
// rather than read into memory.
inline constexpr qint64 kMaxObjectBytes = 64LL * 1024 * 1024;
// A picture is shown at most this many pixels a side.
inline constexpr int kMaxObjectPicture = 1500;

// The object's class: the MIME type of its bytes and name.
QString ObjectClassOf(const QByteArray& bytes, const QString& fileName);
// The picture the object shows: the image itself when the bytes are one
// (scaled down to kMaxObjectPicture a side), else a placeholder with the
// file's name. icon: a small placeholder as the object's icon.
QImage ObjectPicture(const QByteArray& bytes, const QString& fileName, bool icon = false);
// PNG bytes of an image; empty on failure.
QByteArray PngBytes(const QImage& image);

}  // namespace qor::items
