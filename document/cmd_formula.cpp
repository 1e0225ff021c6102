#include "document/cmd_formula.h"

#include <vector>

#include "document/cmd_support.h"
#include "document/cqorsdoc.h"
#include "document/formulatexts.h"
#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/status.h"
#include "resources/stringids.h"

namespace qor {

DefineFormulaDlgMembers PresetDefineFormulaDlg(const CQorsDoc& doc) {
    DefineFormulaDlgMembers m;
    m.area = DocSelectionDlgArea(doc);
    if (const CReportHandle* r = DocReport(doc)) {
        FormulaInfo f;
        const CellRef topLeft{0, int16_t(m.area.firstRow + 1), int16_t(m.area.firstCol + 1)};
        if (r->GetCellFormula(topLeft, &f)) m.formula = f.text;
    }
    return m;
}

int ApplyDefineFormulaDlg(CQorsDoc& doc, const DefineFormulaDlgMembers& m, const DlgArea& area) {
    CReportHandle* r = DocReport(doc);
    if (!r) return code(Status::Refused);
    CellArea target = ReportArea(area);
    // A formula cell shows a number: table texts in the area stop being
    // table texts first, and become table texts again when the formula is
    // not stored, so a refused formula leaves the area as it was.
    std::vector<CellArea> labels;
    for (int row = target.first.row; row <= target.last.row; ++row) {
        for (int col = target.first.col; col <= target.last.col; ++col) {
            const CellArea cell = CellArea::cell(row, col);
            int32_t kind = 0;
            if (r->AccessAreaFormat(0, kFmtKind, &kind, &cell) == 0 && kind == kCellLabel) {
                int32_t numeric = kCellNumber;
                if (r->AccessAreaFormat(1, kFmtKind, &numeric, &cell) == 0) labels.push_back(cell);
            }
        }
    }
    const uint16_t status = r->SetAreaFormula(&target, m.formula);
    if (status != 0) {
        for (const CellArea& cell : labels) {
            int32_t label = kCellLabel;
            r->AccessAreaFormat(1, kFmtKind, &label, &cell);
        }
    }
    switch (status) {
        case 0:
            break;
        case code(Status::FormulaVarAreaStart):
            ShowMessageId(str::kNoFormulaInVariableArea);
            break;
        case code(Status::FormulaCombined):
            ShowMessageId(str::kNoFormulaInCombinedCell);
            break;
        case code(Status::FormulaInvalid):
            // Why the text does not compile is what the user needs to mend it.
            ShowMessageText(
                FormulaRefusalMessage(r->LastFormulaError(), r->LastFormulaErrorPosition()));
            return status;
        default:
            ShowMessageId(str::kFormulaFailed);
            return status;
    }
    FinishChange(doc, CQorsDoc::kHintCells);
    return status;
}

int OnCellFormula(CQorsDoc& doc) {
    if (!DocReport(doc) || doc.IsEditLocked()) return -1;
    DefineFormulaDlgMembers m = PresetDefineFormulaDlg(doc);
    const DlgArea area = m.area;
    for (;;) {
        const std::optional<DefineFormulaDlgMembers> done = Ask(m);
        if (!done) return -1;
        const int status = ApplyDefineFormulaDlg(doc, *done, area);
        if (status == 0 || status == code(Status::FormulaVarAreaStart) ||
            status == code(Status::FormulaCombined))
            return status;
        m = *done;  // edited again with the user's text
    }
}

void OnFormulaList(CQorsDoc& doc) {
    if (DocReport(doc)) Ask(FormulaListRequest{&doc});
}

AuditFormulaDlgMembers PresetAuditFormulaDlg(const CQorsDoc& doc) {
    AuditFormulaDlgMembers m;
    if (const CReportHandle* r = DocReport(doc)) m.text = r->GetAuditFormulas();
    if (m.text.isNull()) m.text = QString();
    return m;
}

int ApplyAuditFormulaDlg(CQorsDoc& doc, const AuditFormulaDlgMembers& m) {
    CReportHandle* r = DocReport(doc);
    if (!r) return code(Status::Refused);
    QString text = m.text;
    // An empty text has no line to end: it removes the audit formulas
    // instead of storing a lone line break.
    if (!text.trimmed().isEmpty() && !text.endsWith(QStringLiteral("\r\n")))
        text += QStringLiteral("\r\n");
    if (text.trimmed().isEmpty()) text.clear();
    const uint16_t status = r->SetAuditFormulas(text);
    if (status) {
        ShowMessageId(str::kSetAuditFormulaFailed);
        return status;
    }
    FinishChange(doc, CQorsDoc::kHintCells);
    return 0;
}

int OnAuditFormulas(CQorsDoc& doc) {
    if (!DocReport(doc) || doc.IsEditLocked()) return -1;
    const std::optional<AuditFormulaDlgMembers> m = Ask(PresetAuditFormulaDlg(doc));
    if (!m) return -1;
    return ApplyAuditFormulaDlg(doc, *m);
}

}  // namespace qor
