#include "exchange/ownxml_settings.h"

#include <mutex>

#include "engine/creporthandle.h"
#include "exchange/variantconvert.h"

namespace qor {

namespace {

// A script has nobody to ask: every page, everything.
class HeadlessExportSettings : public IExportSettingsDialog {
public:
    bool RunExportSettings(ExportSetMembers* members) override {
        ApplyExportPageSelection(members, {});
        return true;
    }
};

std::mutex g_dialogMutex;
std::shared_ptr<IExportSettingsDialog> g_dialog;

}  // namespace

std::shared_ptr<IExportSettingsDialog> InstallExportSettingsDialog(
    std::shared_ptr<IExportSettingsDialog> dialog) {
    std::lock_guard lock(g_dialogMutex);
    std::swap(g_dialog, dialog);
    return dialog;
}

std::shared_ptr<IExportSettingsDialog> ExportSettingsDialog() {
    std::lock_guard lock(g_dialogMutex);
    if (g_dialog) return g_dialog;
    static const auto headless = std::make_shared<HeadlessExportSettings>();
    return headless;
}

ExportSetMembers InitialExportSettings(CReportHandle* report) {
    ExportSetMembers m;
    m.m_pReport = report;
    m.m_nPageCount = report ? report->GetPageCount() : 0;
    return m;
}

void ApplyExportPageSelection(ExportSetMembers* members, const QList<int>& selectedPages) {
    if (members->m_bAllPages) {
        members->m_strPageList.clear();
        members->m_nPageCount =
            members->m_pReport ? members->m_pReport->GetPageCount() : members->m_nPageCount;
        return;
    }
    QList<int> pages = selectedPages.mid(0, kMaxExportPageList);
    if (pages.isEmpty()) pages = {1};
    members->m_strPageList = FormatExportPageList(pages);
    members->m_nPageCount = int32_t(pages.size());
}

std::optional<QList<int>> ParseExportPageList(const QString& list) {
    QList<int> pages;
    qsizetype from = 0;
    for (qsizetype slash; (slash = list.indexOf(u'/', from)) >= 0; from = slash + 1) {
        int32_t page = 0;
        if (textToInt32(QStringView(list).mid(from, slash - from), &page) != NumberConversion::Ok)
            return std::nullopt;
        pages.append(page);
    }
    return pages;
}

QString FormatExportPageList(const QList<int>& pages) {
    QString text;
    for (int p : pages) text += QString::number(p) + u'/';
    return text;
}

}  // namespace qor
