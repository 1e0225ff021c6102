#include "engine/openreports.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <vector>

#include "engine/creporthandle.h"

namespace {

// The engine runs on one thread and takes no locks.
std::vector<CReportHandle*>& openTable() {
    static std::vector<CReportHandle*> table;
    return table;
}

uint16_t g_lastError = 0;

}  // namespace

uint16_t qor::GetReportLastError() { return g_lastError; }

void qor::SetReportLastError(uint16_t status) { g_lastError = status; }

int qor::OpenReportCount() { return int(openTable().size()); }

QString qor::FullReportPath(const QString& path) {
    if (path.isEmpty()) return {};
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

QString qor::RealReportPath(const QString& path) {
    const QString full = FullReportPath(path);
    // Resolved once, here: a save then replaces the file the link points
    // to, in that file's own folder, and the link is left as it was. A
    // link to nothing stays as it is (nothing is created through it).
    const QFileInfo fi(full);
    if (!fi.isSymLink()) return full;
    const QString real = fi.canonicalFilePath();
    return real.isEmpty() ? full : real;
}

bool qor::RegisterOpenReport(CReportHandle* report) {
    auto& t = openTable();
    if (std::find(t.begin(), t.end(), report) != t.end()) return true;
    if (int(t.size()) >= kMaxOpenReports) return false;
    t.push_back(report);
    return true;
}

void qor::UnregisterOpenReport(CReportHandle* report) {
    auto& t = openTable();
    t.erase(std::remove(t.begin(), t.end(), report), t.end());
}

CReportHandle* FindOpenReport(const QString& path) {
    const QString full = qor::RealReportPath(path);
    if (full.isEmpty()) return nullptr;
    for (CReportHandle* h : openTable())
        if (qor::FullReportPath(h->GetPathName()).compare(full, Qt::CaseInsensitive) == 0) return h;
    return nullptr;
}

void ThrowReportError() {
    if (g_lastError != 0) throw int(g_lastError);
}
