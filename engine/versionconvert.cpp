#include "engine/versionconvert.h"

#include <map>

#include "engine/reportlayout.h"
#include "engine/status.h"

namespace {

const char* const kOlderVersions[] = {"QOR8.00", "QOR7.xx", "QOR5.10"};

bool matches(const QByteArray& pattern, const QByteArray& text) {
    if (pattern.size() != text.size()) return false;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == 'x') {
            if ((text[i] < '0' || text[i] > '9') && text[i] != 'x') return false;
        } else if (pattern[i] != text[i]) {
            return false;
        }
    }
    return true;
}

const char* olderPatternOf(const QByteArray& text) {
    for (const char* p : kOlderVersions)
        if (matches(p, text)) return p;
    return nullptr;
}

std::map<QByteArray, qor::ReportConverter>& converters() {
    static std::map<QByteArray, qor::ReportConverter> table;
    return table;
}

}  // namespace

qor::ReportVersionKind qor::ClassifyVersionText(const QByteArray& v) {
    if (v == kReportVersionText) return ReportVersionKind::Current;
    if (olderPatternOf(v)) return ReportVersionKind::Convertible;
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (v.size() == 7 && v.startsWith("QOR") && digit(v[3]) && v[4] == '.' && digit(v[5]) &&
        digit(v[6]))
        return ReportVersionKind::Other;
    return ReportVersionKind::NotAVersion;
}

void qor::RegisterReportConverter(const QString& versionPattern, ReportConverter converter) {
    const QByteArray key = versionPattern.toLatin1();
    if (converter)
        converters()[key] = std::move(converter);
    else
        converters().erase(key);
}

uint16_t qor::ConvertReport(const QByteArray& versionText, const QString& source,
                            const QString& target) {
    const char* pattern = olderPatternOf(versionText);
    if (!pattern) return code(Status::UnsupportedVersion);
    auto it = converters().find(QByteArray(pattern));
    if (it == converters().end()) return code(Status::UnsupportedVersion);
    return it->second(source, target);
}
