#include "document/cmd_keywords.h"

#include <cmath>

#include "document/cmd_edit.h"
#include "document/cmd_support.h"
#include "document/cqorsdoc.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/status.h"
#include "engine/varlines.h"

namespace qor {

namespace {

constexpr int kRefused = code(Status::Refused);
constexpr int kCustomSlot = 6;

int failed(const QString& what, int status) {
    ShowMessageText(what + LoadErrorText(str::kFailedSuffix));
    return status;
}

CellRef currentCell(const CQorsDoc& doc) {
    return CellRef{0, int16_t(doc.Selection().CurrentRow() + 1),
                   int16_t(doc.Selection().CurrentColumn() + 1)};
}

}  // namespace

// ---- set and cancel

SetKeywordDlgMembers PresetSetKeywordDlg(const CQorsDoc& doc) {
    SetKeywordDlgMembers m;
    const CReportHandle* r = DocReport(doc);
    if (!r) return m;
    const CReportFile* f = r->GetReportFile();
    m.customName = f->GetUserKeywordName();
    m.customType = f->GetUserKeywordType();
    m.customTypeText = m.customType
                           ? LoadErrorText(str::kNumberKeywordType) + QStringLiteral("(1-30000)")
                           : LoadErrorText(str::kTextKeywordType);
    int slot = 0;
    if (f->FindKeywordAt(doc.Selection().CurrentRow() + 1, doc.Selection().CurrentColumn() + 1,
                         &slot))
        m.kind = slot;
    return m;
}

int ApplySetKeywordDlg(CQorsDoc& doc, const SetKeywordDlgMembers& m) {
    CReportHandle* r = DocReport(doc);
    if (!r || m.kind < kKeywordUnitName || m.kind > kKeywordCustom) return kRefused;
    const int slot = m.kind - 1;
    const bool custom = slot == kCustomSlot;
    if (custom) {
        // The report keeps 14 characters; a longer name is refused rather
        // than stored cut short.
        if (m.customName.size() > kUserKeywordNameChars) {
            ShowMessageId(str::kKeywordNameTooLong);
            return kRefused;
        }
        if (m.customName.trimmed().isEmpty()) {
            ShowMessageId(str::kKeywordNameEmpty);
            return kRefused;
        }
    }
    // A page whose custom keyword does not read as the new type refuses the
    // change before the keyword moves.
    if (custom) {
        if (const uint16_t s = r->SetUserKeywordType(m.customType ? 1 : 0)) {
            ShowMessageText(StatusText(s));
            return s;
        }
    }
    CellRef cell = currentCell(doc);
    const int status = r->AccessKeywordCell(1, slot, &cell);
    if (status) {
        ShowMessageText(LoadErrorText(str::kKeywordCellRefused));
        return status;
    }
    if (custom) {
        r->GetReportFile()->SetUserKeywordName(m.customName);
        CustomKeywordName = m.customName;
    }
    FinishChange(doc, CQorsDoc::kHintCells);
    return 0;
}

int OnSetKeyword(CQorsDoc& doc) {
    if (!DocReport(doc)) return -1;
    const auto m = Ask(PresetSetKeywordDlg(doc));
    return m ? ApplySetKeywordDlg(doc, *m) : -1;
}

CancelKeywordDlgMembers PresetCancelKeywordDlg(const CQorsDoc& doc) {
    CancelKeywordDlgMembers m;
    m.enable = PlacedKeywordFlags(doc);
    return m;
}

int ApplyCancelKeywordDlg(CQorsDoc& doc, const CancelKeywordDlgMembers& m) {
    CReportHandle* r = DocReport(doc);
    if (!r) return kRefused;
    bool changed = false;
    int status = 0;
    for (int slot = 0; slot < 7 && !status; ++slot) {
        if (!m.flags[size_t(slot)] || !m.enable[size_t(slot)]) continue;
        CellRef none;
        status = r->AccessKeywordCell(1, slot, &none);
        if (!status) {
            changed = true;
            if (slot == kCustomSlot) CustomKeywordName.clear();
        }
    }
    if (changed) FinishChange(doc, CQorsDoc::kHintCells);
    return status ? failed(LoadErrorText(str::kClearKeywordAction), status) : 0;
}

int OnCancelKeyword(CQorsDoc& doc) {
    if (!DocReport(doc)) return -1;
    const auto m = Ask(PresetCancelKeywordDlg(doc));
    return m ? ApplyCancelKeywordDlg(doc, *m) : -1;
}

// ---- values of the current page

EnterKeywordDlgMembers PresetEnterKeywordDlg(const CQorsDoc& doc) {
    EnterKeywordDlgMembers m;
    CReportHandle* r = DocReport(doc);
    if (!r) return m;
    const KeywordFlags placed = PlacedKeywordFlags(doc);
    m.enableUnitName = placed[0];
    m.enableUnitNumber = placed[1];
    m.enableYear = placed[2];
    m.enableQuarter = placed[3];
    m.enableMonth = placed[4];
    m.enableDay = placed[5];
    m.enableCustom = placed[6];
    m.customNumeric = r->GetReportFile()->GetUserKeywordType();
    auto value = [r](int slot) {
        KeywordValue v;
        r->GetPageKeyword(slot, &v, 0);
        return v;
    };
    auto whole = [](const KeywordValue& v) {
        return v.kind == 1 && std::isfinite(v.number) ? int32_t(std::llround(v.number)) : 0;
    };
    m.unitName = value(0).text;
    m.unitNumber = value(1).text;
    m.year = whole(value(2));
    m.quarter = whole(value(3));
    m.month = whole(value(4));
    m.day = whole(value(5));
    const KeywordValue custom = value(kCustomSlot);
    if (m.customNumeric)
        m.customNumber = whole(custom);
    else
        m.customText = custom.text;
    return m;
}

int ApplyEnterKeywordDlg(CQorsDoc& doc, const EnterKeywordDlgMembers& m) {
    CReportHandle* r = DocReport(doc);
    if (!r || !doc.IsDataState()) return kRefused;
    struct Entry {
        int16_t enabled;
        int slot;
        KeywordValue value;
    };
    auto number = [](int32_t v) { return KeywordValue{1, double(v), {}}; };
    auto text = [](const QString& t) { return KeywordValue{2, 0, t}; };
    const Entry entries[] = {
        {m.enableUnitName, 0, text(m.unitName)},
        {m.enableUnitNumber, 1, text(m.unitNumber)},
        {m.enableYear, 2, number(m.year)},
        {m.enableQuarter, 3, number(m.quarter)},
        {m.enableMonth, 4, number(m.month)},
        {m.enableDay, 5, number(m.day)},
        {m.enableCustom, kCustomSlot,
         m.customNumeric ? number(m.customNumber) : text(m.customText)},
    };
    bool changed = false;
    int status = 0;
    for (const Entry& e : entries) {
        if (!e.enabled) continue;
        status = r->SetPageKeyword(e.slot, e.value, 0, 0);
        if (status) break;
        changed = true;
    }
    if (changed) {
        // Once for all the keywords; a report without the command language
        // keeps the values without recalculating.
        if (const uint16_t s = r->BringCurrent()) TraceMessage(LoadErrorText(str::kKeywordRecalcFailed) + StatusText(s));
        FinishChange(doc, CQorsDoc::kHintCells);
    }
    return status ? failed(LoadErrorText(str::kEnterKeywordAction), status) : 0;
}

int OnEnterKeyword(CQorsDoc& doc) {
    if (!DocReport(doc)) return -1;
    // The dialog checks a numeric custom value against this report's name.
    UpdateCustomKeywordName(doc);
    const auto m = Ask(PresetEnterKeywordDlg(doc));
    return m ? ApplyEnterKeywordDlg(doc, *m) : -1;
}

// ---- offsets

KeywordOffsetDlgMembers PresetKeywordOffsetDlg(const CQorsDoc& doc) {
    KeywordOffsetDlgMembers m;
    const CReportHandle* r = DocReport(doc);
    if (!r) return m;
    for (int slot = 0; slot < 7; ++slot)
        m.offsets[size_t(slot)] = r->GetReportFile()->GetKeywordOffset(slot);
    const KeywordFlags placed = PlacedKeywordFlags(doc);
    m.enableUnitName = placed[0];
    m.enableUnitNumber = placed[1];
    m.enableYear = placed[2];
    m.enableQuarter = placed[3];
    m.enableMonth = placed[4];
    m.enableDay = placed[5];
    m.enableCustom = placed[6];
    return m;
}

int ApplyKeywordOffsetDlg(CQorsDoc& doc, const KeywordOffsetDlgMembers& m) {
    CReportHandle* r = DocReport(doc);
    if (!r) return kRefused;
    const int16_t enabled[7] = {m.enableUnitName, m.enableUnitNumber, m.enableYear,
                                m.enableQuarter,  m.enableMonth,      m.enableDay,
                                m.enableCustom};
    for (int slot = 0; slot < 7; ++slot) {
        const int32_t offset = m.offsets[size_t(slot)];
        if (enabled[slot] && (offset < -300 || offset > 300))
            return failed(LoadErrorText(str::kKeywordOffsetAction), kRefused);
    }
    bool changed = false;
    for (int slot = 0; slot < 7; ++slot) {
        if (!enabled[slot]) continue;
        r->GetReportFile()->SetKeywordOffset(slot, m.offsets[size_t(slot)]);
        changed = true;
    }
    if (changed) FinishChange(doc, CQorsDoc::kHintCells);
    return 0;
}

int OnKeywordOffset(CQorsDoc& doc) {
    if (!DocReport(doc)) return -1;
    const auto m = Ask(PresetKeywordOffsetDlg(doc));
    return m ? ApplyKeywordOffsetDlg(doc, *m) : -1;
}

// ---- variable area size and rounding

ResetVarAreaDlgMembers PresetResetVarAreaDlg(const CQorsDoc& doc) {
    ResetVarAreaDlgMembers m;
    if (CReportHandle* r = DocReport(doc)) {
        int kind = 0, start = 0, extent = 0;
        if (r->AccessVarArea(0, &kind, &start, &extent) == 0 && kind) m.size = extent;
    }
    return m;
}

bool ResetVarAreaAllowed(const CQorsDoc& doc, QString* reason) {
    CReportHandle* r = DocReport(doc);
    int kind = 0, start = 0, extent = 0;
    if (r && r->AccessVarArea(0, &kind, &start, &extent) == 0 && kind) return true;
    if (reason) *reason = LoadErrorText(str::kNoVariableAreaToReset);
    return false;
}

int ApplyResetVarAreaDlg(CQorsDoc& doc, const ResetVarAreaDlgMembers& m) {
    CReportHandle* r = DocReport(doc);
    if (!r) return kRefused;
    QString why;
    if (!ResetVarAreaAllowed(doc, &why)) {
        ShowMessageText(why);
        return kRefused;
    }
    const uint16_t status = r->SetVarExtent(m.size);
    if (status) {
        int kind = 0, start = 0, extent = 0;
        r->AccessVarArea(0, &kind, &start, &extent);
        QString why = VarExtentRefusal(*r, kind, m.size);
        if (why.isEmpty()) why = StatusText(status);
        ShowMessageText(LoadErrorText(str::kResetVariableAreaFailed).arg(why));
        return status;
    }
    FinishChange(doc, CQorsDoc::kHintLayout);
    return 0;
}

int OnResetVarArea(CQorsDoc& doc) {
    if (!DocReport(doc)) return -1;
    QString why;
    if (!ResetVarAreaAllowed(doc, &why)) {
        ShowMessageText(why);
        return -1;
    }
    const auto m = Ask(PresetResetVarAreaDlg(doc));
    return m ? ApplyResetVarAreaDlg(doc, *m) : -1;
}

RoundBalanceDlgMembers PresetRoundBalanceDlg(const CQorsDoc& doc) {
    RoundBalanceDlgMembers m;
    if (const CReportHandle* r = DocReport(doc)) {
        const RoundingSettings s = r->GetRoundingSettings();
        m.tableName = s.tableName;
        m.range = s.range;
        m.formula = s.formula;
        if (s.digits) m.digits = s.digits;
    }
    return m;
}

int ApplyRoundBalanceDlg(CQorsDoc& doc, const RoundBalanceDlgMembers& m) {
    CReportHandle* r = DocReport(doc);
    if (!r) return kRefused;
    if (m.digits < 1 || m.digits > 8) return failed(LoadErrorText(str::kSetRoundingFormulaAction), kRefused);
    RoundingSettings s;
    s.tableName = m.tableName;
    s.range = m.range;
    s.digits = uint16_t(m.digits);
    s.formula = m.formula;
    const int status = r->SetRoundingSettings(s);
    if (status) return failed(LoadErrorText(str::kSetRoundingFormulaAction), status);
    FinishChange(doc, CQorsDoc::kHintCells);
    return 0;
}

int OnRoundBalance(CQorsDoc& doc) {
    if (!DocReport(doc)) return -1;
    const auto m = Ask(PresetRoundBalanceDlg(doc));
    return m ? ApplyRoundBalanceDlg(doc, *m) : -1;
}

}  // namespace qor
