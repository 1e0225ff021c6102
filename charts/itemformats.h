#pragma once
// The clipboard and drag formats of the sheet's items, one constant each,
// and the object descriptor that goes with an item.

#include <QByteArray>
#include <QPoint>
#include <QSize>
#include <QUuid>

namespace qor::items {

// A chart item: its record as a class-tagged object (WriteItemObject).
inline constexpr char kGraphFormatName[] = "Graph QOR Data";
// An embedded object item, its bytes inside the record.
inline constexpr char kOleFormatName[] = "OLE QOR Data";
// Describes the object being copied or dragged (its class and size).
inline constexpr char kObjectDescriptorMime[] =
    "application/x-qt-windows-mime;value=\"Object Descriptor\"";
inline constexpr int kObjectDescriptorSize = 52;

// The 52-byte descriptor: its size, the class id, the size and the offset
// in HIMETRIC at byte 24 and 32; the other fields 0.
QByteArray ObjectDescriptor(QSize himetricSize, QPoint himetricOffset = {}, const QUuid& cls = {});
// Reads the size and offset (HIMETRIC) of a descriptor from outside;
// false, outputs untouched, when it is shorter than its fixed part or
// says a size it does not have.
bool ReadObjectDescriptor(const QByteArray& bytes, QSize* himetricSize, QPoint* himetricOffset);
// Screen pixels in HIMETRIC (0.01 mm) at the screen's resolution (96 dpi
// without a screen).
QSize PixelsToHimetric(QSize pixels);
// And back; values outside +-1,000,000 HIMETRIC (10 m) are cut there.
QSize HimetricToPixels(QSize himetric);

}  // namespace qor::items
