#pragma once
// Code page 936 (Simplified Chinese) conversion. Decoding takes GB18030,
// a superset, so bytes a 936 writer made always come back.

#include <QByteArray>
#include <QString>

namespace qor {

// Bytes in code page 936 (read as GB18030) to UTF-16. Invalid sequences
// become U+FFFD; never fails.
QString decodeCp936(const QByteArray& bytes);
// UTF-16 to code page 936; characters 936 cannot hold become '?'.
// When lossless is given it is set to false on any such replacement.
QByteArray encodeCp936(const QString& text, bool* lossless = nullptr);
// True when the bytes are well-formed UTF-8 (ASCII is). Files that say
// nothing of their encoding are read as UTF-8 then and as code page 936
// otherwise: 936 text with Chinese in it is practically never valid UTF-8.
bool isValidUtf8(const QByteArray& bytes);
// Decodes text in the given encoding name ("GB2312", "GBK", "GB18030",
// "CP936", "UTF-8", "UTF-16LE" ...); GB2312/GBK/CP936 read as GB18030.
QString decodeText(const QByteArray& bytes, const QByteArray& encoding);
QByteArray encodeText(const QString& text, const QByteArray& encoding);

}  // namespace qor
