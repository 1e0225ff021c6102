#include "view/input_edit.h"

#include <algorithm>

#include "document/cqorsdoc.h"
#include "engine/textutil.h"

namespace qor::view {

int CellEditMode(int kind, bool dataState) {
    if (!dataState) return kEditText;
    if (kind == kCellUnset || kind == kCellNumber) return kEditNumber;
    if (kind == kCellLabel) return kEditNone;
    return kEditText;
}

int CommitEntryMode(int barMode, bool dataState) {
    if (barMode == kEditNumber) return CQorsDoc::kEntryNumber;
    return dataState ? CQorsDoc::kEntryDataText : CQorsDoc::kEntryFormatText;
}

CharVerdict FilterNumericChar(const QString& text, int cursor, int selStart, int selLength,
                              QChar ch, int decimals) {
    const char16_t c = ch.unicode();
    if (c == 8) return CharVerdict::Default;
    if (c == 13 || c == 27) return CharVerdict::Swallow;
    const bool digit = c >= u'0' && c <= u'9';
    if (!digit && c != u'-' && c != u'.') return CharVerdict::Beep;

    const bool selected = selLength > 0;
    const int at = selected ? selStart : cursor;
    QString rest = text;
    if (selected) rest.remove(selStart, selLength);
    if (c == u'.' && rest.contains(u'.')) return CharVerdict::Beep;
    if (c == u'-' && (at != 0 || rest.contains(u'-'))) return CharVerdict::Beep;
    if (!selected) {
        const int dot = text.indexOf(u'.');
        if (dot >= 0 && cursor > dot && text.size() - dot > decimals) return CharVerdict::Beep;
    }
    return CharVerdict::Insert;
}

TypeAction DecideTyping(QChar ch, const TypingContext& ctx) {
    const char16_t c = ch.unicode();
    const bool clip = c == 3 || c == 22 || c == 24;
    if (!ctx.dataState && ctx.firstVarLine) return TypeAction::Ignore;
    if (ctx.formulaState != 0) {
        const bool pass = c == 13 || c == 27 || clip || (!ctx.dataState && c == u'=');
        if (!pass) return TypeAction::Ignore;
    } else if (ctx.dataState && ctx.kind == kCellLabel && !clip) {
        return TypeAction::Ignore;
    }
    if (ctx.ctrl) {
        if (c == 3) return TypeAction::Copy;
        if (c == 24) return TypeAction::Cut;
        if (c == 22) return TypeAction::Paste;
        return TypeAction::Ignore;
    }
    if (c < 32) return TypeAction::Ignore;  // Esc, Enter, Tab, Backspace and other controls
    if (c == u'=' && !ctx.dataState) return TypeAction::CellFormula;
    return TypeAction::OpenEditor;
}

namespace {

int decimalsOf(const CQorsDoc& doc, int row, int col) {
    int a = 0, b = 0, c = 0, d = 0;
    doc.GetCellFont(row, col, &a, &b, &c, &d);
    return d;
}

}  // namespace

QString CellEditText(const CQorsDoc& doc, int row, int col) {
    const int kind = doc.GetCellKind(row, col);
    QString text;
    if (doc.IsDataState()) {
        double v = 0;
        if ((kind == kCellUnset || kind == kCellNumber) && doc.GetNumCellValue(row, col, &v))
            return FormatFixedNumber(v, decimalsOf(doc, row, col));
        if (kind == kCellText && doc.GetCharCellText(row, col, &text)) return text;
        return {};
    }
    if (kind == kCellLabel && doc.GetStyleCellText(row, col, &text)) return text;
    return {};
}

QString EditLineText(const CQorsDoc& doc, int row, int col) {
    QString formula;
    if (doc.GetCellFormula(row, col, &formula)) return QStringLiteral("=") + formula;
    const int kind = doc.GetCellKind(row, col);
    QString text;
    if (kind == kCellLabel) return doc.GetStyleCellText(row, col, &text) ? text : QString();
    return doc.IsDataState() ? CellEditText(doc, row, col) : QString();
}

QString CellReferenceText(const CellArea& selection, bool dataState, int page) {
    QString ref;
    FormatAreaRef(selection.first.col, selection.first.row, selection.last.col, selection.last.row,
                  &ref);
    if (dataState) ref += QStringLiteral("@") + QString::number(page);
    return ref;
}

Rect EditorRect(Rect cell, int headerWidth, int headerHeight) {
    if (cell.isNull()) return cell;
    cell.left = std::max(cell.left, headerWidth);
    cell.top = std::max(cell.top, headerHeight);
    return {cell.left + 2, cell.top + 2, cell.right - 2, cell.bottom - 2};
}

}  // namespace qor::view
