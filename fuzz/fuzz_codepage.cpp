// Code-page conversion: code page 936 (read as GB18030) and the named
// encodings of XML files and settings. Text that 936 holds losslessly
// must come back unchanged.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "platform/codepage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (256u << 10)) return 0;
    static const char* const names[] = {"GB2312",   "GBK",    "GB18030",      "CP936",     "UTF-8",
                                        "UTF-16LE", "UTF-16", "windows-1252", "bogus-name", "1253",
                                        "CP1258",   "ISO-8859-7", "932", "OEM", "10000",
                                        "x-mac-greek", "720", "10005"};
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const QByteArray name = names[data[0] % (sizeof names / sizeof names[0])];

    const QString text = qor::decodeCp936(bytes);
    bool lossless = true;
    const QByteArray encoded = qor::encodeCp936(text, &lossless);
    if (lossless && qor::decodeCp936(encoded) != text) std::abort();

    // The strict reading of a code page named as files name them, and the
    // rule for text that names none.
    const QByteArray converter = qor::codePageEncoding(name);
    if (!converter.isEmpty()) {
        QString strict;
        qor::decodeStrict(bytes, converter, &strict);
    }
    const QByteArray unmarked = qor::unmarkedEncoding(bytes);
    if (!unmarked.isEmpty()) {
        QString strict;
        if (!qor::decodeStrict(bytes, unmarked, &strict)) std::abort();
    }

    const QString named = qor::decodeText(bytes, name);
    qor::encodeText(named, name);
    // The bytes as UTF-16 text, lone surrogates included.
    const QString units =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(data + 1), qsizetype((size - 1) / 2));
    lossless = true;
    const QByteArray out = qor::encodeCp936(units, &lossless);
    if (lossless && qor::decodeCp936(out) != units) std::abort();
    qor::encodeText(units, name);
    return 0;
}
