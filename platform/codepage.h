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

// The one decoder of 8-bit text that arrives with the name of its code
// page (a dBASE ".cpg" or language driver, a Schema.ini CharacterSet, a
// workbook's CODEPAGE): the converter's name for a code page as files name
// it: a number ("1253"), with or without "CP", "windows-", "IBM", "ANSI ",
// "OEM "; a converter's own name ("ISO-8859-7", "Big5", "Shift_JIS");
// "UTF-8" or 65001; "ANSI" and "OEM" alone are 936, the code pages of the
// Simplified Chinese system this one stands in for. Empty when the
// system's converters do not know the name.
QByteArray codePageEncoding(const QByteArray& name);
// Decodes bytes in an encoding decodeText knows; false when a byte was no
// character of it (each such byte is a U+FFFD in *out, which the caller
// must then name, never keep silently).
bool decodeStrict(const QByteArray& bytes, const QByteArray& encoding, QString* out);
// Text that names no encoding: UTF-8 when the bytes are valid UTF-8, else
// GB18030 when every byte is part of a GB18030 character (a lone 0x80 is
// not); empty when they are neither, and the caller names or refuses them.
QByteArray unmarkedEncoding(const QByteArray& bytes);

}  // namespace qor
