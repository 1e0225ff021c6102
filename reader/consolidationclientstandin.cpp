#include "reader/consolidationclientstandin.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include "platform/automation.h"
#include "platform/datadir.h"
#include "platform/registry.h"
#include "platform/safefile.h"

namespace qor {

namespace {

Q_LOGGING_CATEGORY(lcConsolidation, "qor.consolidation")

// Writes through a temporary file so a broken copy never replaces a good
// file the reports still read.
void copyOne(const QString& from, const QString& to) {
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        throw AutoError(QStringLiteral("Cannot read %1: %2").arg(from, in.errorString()));
    if (!QDir().mkpath(QFileInfo(to).absolutePath()))
        throw AutoError(QStringLiteral("Cannot make the folder of %1.").arg(to));
    SafeFileWriter out(to);
    if (!out.open())
        throw AutoError(QStringLiteral("Cannot write %1: %2").arg(to, out.errorString()));
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(1 << 16);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError)
            throw AutoError(QStringLiteral("Cannot read %1: %2").arg(from, in.errorString()));
        if (!out.write(chunk))
            throw AutoError(QStringLiteral("Cannot write %1: %2").arg(to, out.errorString()));
    }
    if (!out.commit())
        throw AutoError(QStringLiteral("Cannot write %1: %2").arg(to, out.errorString()));
}

int copyTree(const QString& from, const QString& to) {
    const QFileInfo root(from);
    if (!root.isDir()) return 0;
    const QDir base(root.absoluteFilePath());
    int copied = 0;
    // Links are left alone (neither linked files nor linked folders are
    // followed): they could reach outside the exchange folders.
    QDirIterator it(base.absolutePath(), QDir::Files | QDir::NoSymLinks | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = base.relativeFilePath(path);
        copyOne(path, QDir(to).filePath(rel));
        ++copied;
    }
    return copied;
}

}  // namespace

const char* const ConsolidationClientStandIn::kClsid = "{45C4025B-2CD9-4083-B79D-1FE161BCC606}";
const char* const ConsolidationClientStandIn::kProgId = "VTHBOffLine.clsHB";
const QString ConsolidationClientStandIn::kSettingsKey =
    QStringLiteral("Software\\Vantix\\QX\\V8.610\\HBOffLine");

ConsolidationClientStandIn::ConsolidationClientStandIn(QObject* parent)
    : QObject(parent),
      m_serverFolder(Registry::readString(kSettingsKey, QStringLiteral("ServerFolder"))) {}

QString ConsolidationClientStandIn::localFolder(const char* sub) const {
    if (m_qorPath.trimmed().isEmpty())
        throw AutoError(QStringLiteral("The consolidation client was given no QORPath."));
    return QDir(nativePath(m_qorPath.trimmed())).filePath(QLatin1String(sub));
}

QString ConsolidationClientStandIn::remoteFolder(const char* sub) const {
    if (m_serverFolder.trimmed().isEmpty())
        throw AutoError(QStringLiteral("No server folder is set for the consolidation client "
                                       "(\"ServerFolder\" under %1).")
                            .arg(kSettingsKey));
    return QDir(nativePath(m_serverFolder.trimmed())).filePath(QLatin1String(sub));
}

int ConsolidationClientStandIn::ShowDownload() {
    const QString from = remoteFolder("download");
    const QString to = localFolder("download");
    const int n = copyTree(from, to);
    qCInfo(lcConsolidation).noquote() << "downloaded" << n << "files from" << from << "to" << to;
    return n;
}

int ConsolidationClientStandIn::ShowUpload() {
    const QString from = localFolder("upload");
    const QString to = remoteFolder("upload");
    const int n = copyTree(from, to);
    qCInfo(lcConsolidation).noquote() << "uploaded" << n << "files from" << from << "to" << to;
    return n;
}

}  // namespace qor
