#include "document/cmd_consolidate.h"

#include "document/cmd_edit.h"
#include "document/cmd_support.h"
#include "document/cqorsdoc.h"
#include "document/doc_commandhook.h"
#include "engine/creporthandle.h"
#include "engine/status.h"
#include "resources/stringids.h"

namespace qor {

namespace {
constexpr int kRefused = code(Status::Refused);

bool hasVarArea(int kind) { return kind == 1 || kind == 2; }
}  // namespace

TabHuiZongWizardMembers PresetTabHuiZongWizard(const CQorsDoc& doc) {
    TabHuiZongWizardMembers m;
    UpdateCustomKeywordName(doc);
    m.varExtent = VarConditionLines(doc, &m.varKind);
    m.keywordFlags = PlacedKeywordFlags(doc);
    m.values = GatherKeywordValues(doc);
    return m;
}

QString BuildTotalCommand(const TabHuiZongWizardMembers& m) {
    QString s = QStringLiteral("TOTAL ");
    if (m.toNewReport) s += QStringLiteral("TO \"") + m.newReportName + QStringLiteral("\" ");
    // Without a variable area there is no key to go by: by position.
    if (m.byPosition == 0 && hasVarArea(m.varKind)) s += QStringLiteral(" KEY ") + m.keyValue;
    if (!m.pageCondition.isEmpty()) s += QStringLiteral(" FOR ") + m.pageCondition;
    return s;
}

int ApplyTabHuiZongWizard(CQorsDoc& doc, const TabHuiZongWizardMembers& m) {
    CReportHandle* r = DocReport(doc);
    if (!r) return kRefused;
    if (m.toNewReport && m.newReportName.trimmed().isEmpty()) {
        ShowMessageId(str::kNoNewReportName);
        return kRefused;
    }
    if (m.byPosition == 0 && hasVarArea(m.varKind) && m.keyValue.trimmed().isEmpty()) {
        ShowMessageId(str::kChooseKeyValue);
        return kRefused;
    }
    const int result = RunCommandLine(&doc, BuildTotalCommand(m), kCommandRunMode);
    if (result != 0) return result;
    if (!m.toNewReport) {
        doc.SyncPagesFromReport();
        if (doc.ViewState().pageCount > 0 && doc.IsDataState()) doc.SetCurrentPage(doc.ViewState().pageCount);
        FinishChange(doc, CQorsDoc::kHintState);
    }
    return 0;
}

int OnPageConsolidation(CQorsDoc& doc) {
    if (!DocReport(doc)) return -1;
    const auto m = Ask(PresetTabHuiZongWizard(doc));
    return m ? ApplyTabHuiZongWizard(doc, *m) : -1;
}

VHuiZongWizardMembers PresetVHuiZongWizard(const CQorsDoc& doc) {
    VHuiZongWizardMembers m;
    UpdateCustomKeywordName(doc);
    m.varExtent = VarConditionLines(doc, &m.varKind);
    m.keywordFlags = PlacedKeywordFlags(doc);
    m.values = GatherKeywordValues(doc);
    return m;
}

QString BuildGTotalCommand(const VHuiZongWizardMembers& m) {
    if (m.pageCondition.isEmpty() && m.varCondition.isEmpty()) return QStringLiteral("GTOTAL ");
    QString s = QStringLiteral("GTOTAL FOR ") + m.pageCondition;
    if (!m.varCondition.isEmpty()) s += QStringLiteral("; ") + m.varCondition;
    return s;
}

int ApplyVHuiZongWizard(CQorsDoc& doc, const VHuiZongWizardMembers& m) {
    if (!DocReport(doc)) return kRefused;
    const int result = RunCommandLine(&doc, BuildGTotalCommand(m), kCommandRunMode);
    if (result == 0) FinishChange(doc, CQorsDoc::kHintCells);
    return result;
}

int OnVarAreaConsolidation(CQorsDoc& doc) {
    if (!DocReport(doc)) return -1;
    const auto m = Ask(PresetVHuiZongWizard(doc));
    return m ? ApplyVHuiZongWizard(doc, *m) : -1;
}

bool OnAuditMapping(CQorsDoc& doc) {
    if (!DocReport(doc)) return false;
    if (doc.GetPathName().isEmpty()) {
        ShowMessageId(str::kSaveBeforeMapping);
        return false;
    }
    return Ask(AuditMappingRequest{&doc}).has_value();
}

}  // namespace qor
