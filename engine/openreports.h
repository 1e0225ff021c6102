#pragma once
// The table of open reports (at most 999, found by path without regard
// to case) and the engine's last error.
//
// The constructors of CReportHandle leave their status in the last error
// (0 on success); ThrowReportError throws it as a plain int, the way page
// objects and the command language throw their error codes.

#include <QString>
#include <cstdint>

class CReportHandle;

// The open report whose full path equals the full form of path (absolute,
// cleaned, compared case-insensitively), or null.
CReportHandle* FindOpenReport(const QString& path);
// Throws int(last error) when it is not 0.
void ThrowReportError();

namespace qor {

constexpr int kMaxOpenReports = 999;

uint16_t GetReportLastError();
void SetReportLastError(uint16_t status);
int OpenReportCount();
// Absolute, cleaned form of a path, as the table compares them.
QString FullReportPath(const QString& path);
// FullReportPath, with a link at the report's own name resolved to the
// file it points to: the path an open report locks and saves.
QString RealReportPath(const QString& path);

// Used by CReportHandle only: false when the table is full.
bool RegisterOpenReport(CReportHandle* report);
void UnregisterOpenReport(CReportHandle* report);

}  // namespace qor
