#pragma once
// Converters for report files of older versions ("QOR8.00", "QOR7.xx",
// "QOR5.10"). Opening such a file writes a converted working copy; with no
// converter registered for its version the open fails with 1007.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

namespace qor {

// Reads the report at source and writes a report of the current version
// at target; returns a status (0 success).
using ReportConverter = std::function<uint16_t(const QString& source, const QString& target)>;

enum class ReportVersionKind {
    Current,      // "QOR8.61"
    Convertible,  // an older version text we recognise
    Other,        // another "QORd.dd" (newer, or unknown)
    NotAVersion,  // no version text at all
};

ReportVersionKind ClassifyVersionText(const QByteArray& versionText);

// versionPattern is one of the older texts; in "QOR7.xx" an 'x' stands for
// any digit. A null converter removes the entry.
void RegisterReportConverter(const QString& versionPattern, ReportConverter converter);

// Converts with the converter registered for versionText: 1007 when there
// is none (or the text is not an older version), else its status.
uint16_t ConvertReport(const QByteArray& versionText, const QString& source, const QString& target);

}  // namespace qor
