#include "reader/consolidationclientstandin.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <functional>

#include "engine/messages.h"
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
        throw AutoError(LoadErrorText(str::kCannotReadWithReason).arg(from, in.errorString()));
    if (!QDir().mkpath(QFileInfo(to).absolutePath()))
        throw AutoError(LoadErrorText(str::kCannotCreateFolder).arg(to));
    SafeFileWriter out(to);
    if (!out.open())
        throw AutoError(LoadErrorText(str::kCannotWriteWithReason).arg(to, out.errorString()));
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(1 << 16);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError)
            throw AutoError(LoadErrorText(str::kCannotReadWithReason).arg(from, in.errorString()));
        if (!out.write(chunk))
            throw AutoError(LoadErrorText(str::kCannotWriteWithReason).arg(to, out.errorString()));
    }
    if (!out.commit())
        throw AutoError(LoadErrorText(str::kCannotWriteWithReason).arg(to, out.errorString()));
}

// Copies the files under from to the same places under to. keep, when
// given, decides on each file's path relative to from.
int copyTree(const QString& from, const QString& to,
             const std::function<bool(const QString&)>& keep = {}) {
    const QFileInfo root(from);
    if (!root.isDir()) return 0;
    const QDir base(root.absoluteFilePath());
    int copied = 0;
    // Links are left alone (neither linked files nor linked folders are
    // followed): they could reach outside the exchange folders.
    QDirIterator it(base.absolutePath(), QDir::Files | QDir::NoSymLinks | QDir::Hidden,
                    QDirIterator::Subdirectories);
    QStringList files;
    while (it.hasNext()) files << it.next();
    // Name order, so a failure stops at the same file on every system.
    files.sort();
    for (const QString& path : files) {
        const QString rel = base.relativeFilePath(path);
        if (keep && !keep(rel)) continue;
        copyOne(path, QDir(to).filePath(rel));
        ++copied;
    }
    return copied;
}

// The upload files of the client root: Firm(Code)/Folder/upload/*.xml.
bool isUploadFile(const QString& rel) {
    const QStringList parts = rel.split(QLatin1Char('/'));
    return parts.size() == 4 && parts[2] == QLatin1String("upload") &&
           parts[3].endsWith(QLatin1String(".xml"), Qt::CaseInsensitive);
}

bool isInUploadFolder(const QString& rel) {
    return rel.split(QLatin1Char('/')).contains(QLatin1String("upload"));
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
        throw AutoError(LoadErrorText(str::kConsolidationNoReportFolder));
    return QDir(nativePath(m_qorPath.trimmed())).filePath(QLatin1String(sub));
}

QString ConsolidationClientStandIn::remoteFolder(const char* sub) const {
    if (m_serverFolder.trimmed().isEmpty())
        throw AutoError(LoadErrorText(str::kConsolidationNoServerFolder).arg(kSettingsKey));
    return QDir(nativePath(m_serverFolder.trimmed())).filePath(QLatin1String(sub));
}

int ConsolidationClientStandIn::ShowDownload() {
    // The server folder holds the client root's tree: the sample workbooks
    // under 样表 and each report folder's download files. Upload folders
    // are ours to send, never to receive.
    const QString from = remoteFolder("hbbb");
    const QString to = localFolder("hbbb");
    const int n = copyTree(from, to, [](const QString& rel) { return !isInUploadFolder(rel); });
    qCInfo(lcConsolidation).noquote() << "downloaded" << n << "files from" << from << "to" << to;
    return n;
}

int ConsolidationClientStandIn::ShowUpload() {
    const QString from = localFolder("hbbb");
    const QString to = remoteFolder("hbbb");
    const int n = copyTree(from, to, isUploadFile);
    qCInfo(lcConsolidation).noquote() << "uploaded" << n << "files from" << from << "to" << to;
    return n;
}

}  // namespace qor
