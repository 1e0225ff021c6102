// Messages the mail transport receives: whatever lies in the exchange
// folder is counted, and every file of it is fetched. A fetched file must
// land inside the transport's private folder under a plain name.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "vtmail8/vtmail8.h"
#include "fuzz/fuzzsupport.h"
#include "platform/registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (256u << 10)) return 0;
    static const QString disk = [] {
        const QString d = qorfuzz::scratchFile(QStringLiteral("disk"));
        qor::Registry::writeString(QStringLiteral("Software\\Vantix\\QX\\V8.610\\Mail"),
                                   QStringLiteral("DiskFolder"), d);
        for (const char* sub : {"tmp", "new", "cur"}) QDir().mkpath(d + u'/' + QLatin1String(sub));
        return d;
    }();
    qorfuzz::writeFile(disk + QStringLiteral("/new/m"), reinterpret_cast<const char*>(data), size);

    IniAccept();
    SetUser(u"DZBB");
    const int32_t count = AcceptFile();
    for (int32_t i = 1; i <= count && i <= 16; ++i) {
        const int32_t n = Accept(i, nullptr, 0);
        if (n < 0) continue;
        std::vector<char16_t> buf(size_t(n) + 1);
        if (Accept(i, buf.data(), n + 1) != n) std::abort();
        const QFileInfo got(QString::fromUtf16(buf.data()));
        const QString name = got.fileName();
        if (name.isEmpty() || name == u"." || name == u".." || name.contains(u'\\') ||
            QDir::cleanPath(got.absoluteFilePath()) != got.absoluteFilePath() || !got.isFile())
            std::abort();
    }
    CloseAccept();
    // Whatever was left or marked seen goes before the next input.
    for (const char* sub : {"new", "cur"})
        for (const QString& f : QDir(disk + u'/' + QLatin1String(sub)).entryList(QDir::Files))
            QFile::remove(disk + u'/' + QLatin1String(sub) + u'/' + f);
    return 0;
}
