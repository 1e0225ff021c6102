#include "exchange/losstally.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <utility>

#include "cmdlang/lexer.h"
#include "engine/cellformat.h"
#include "engine/cells_round.h"
#include "engine/celltypes.h"
#include "engine/cells_varmap.h"
#include "engine/creportfile.h"
#include "engine/creporthandle.h"
#include "engine/csheetpage.h"
#include "engine/messages.h"
#include "engine/textutil.h"
#include "platform/codepage.h"

namespace qor {

namespace {
constexpr int kMaxDecimals = 7;
}  // namespace

void LossTally::add(const QString& kind, const QString& place, qsizetype count) {
    if (count <= 0) return;
    for (Kind& k : m_kinds) {
        if (k.name == kind) {
            k.count += count;
            return;
        }
    }
    m_kinds.push_back(Kind{kind, place, count});
}

QStringList LossTally::lines() const {
    QStringList out;
    for (const Kind& k : m_kinds)
        out << LoadErrorText(str::kLossLine).arg(k.name).arg(k.count).arg(k.first);
    return out;
}

void LossTally::appendTo(QStringList* notes) const {
    if (notes) *notes += lines();
}

QString CellPlace(int page, int row, int col) {
    return LoadErrorText(str::kLossCellPlace).arg(page).arg(row).arg(col);
}

bool ReportHoldsDecimals(double v, int extraDecimals) {
    if (!std::isfinite(v)) return true;
    const double kept = RoundedForRead(v, kMaxDecimals + extraDecimals);
    return std::fabs(v - kept) <= std::fabs(v) * 1e-15;
}

QString RoundedNumbersKind() { return LoadErrorText(str::kLossRounded); }

qsizetype CharactersOutsideCp936(const QString& text) {
    bool whole = true;
    encodeCp936(text, &whole);
    if (whole) return 0;
    qsizetype lost = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        // A character beyond the basic plane is one character in two units.
        const qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        bool ok = true;
        encodeCp936(text.mid(i, n), &ok);
        if (!ok) ++lost;
        i += n - 1;
    }
    return lost;
}

bool ReadsVariableArea(const QString& formula) {
    try {
        const std::vector<cmd::Token> tokens = cmd::Lexer::tokenize(formula);
        return std::any_of(tokens.cbegin(), tokens.cend(),
                           [](const cmd::Token& t) { return t.kind == cmd::TokenKind::VRef; });
    } catch (...) {
        // A text the lexer refuses was stored all the same: a V_ in it
        // is taken at its word.
        return formula.contains(QLatin1String("V_"), Qt::CaseInsensitive);
    }
}

namespace {
bool hasSuffix(const QString& path, const char* suffix) {
    return QFileInfo(path).suffix().compare(QLatin1String(suffix), Qt::CaseInsensitive) == 0;
}
}  // namespace

void TallyReportLosses(CReportHandle& report, const QString& target, QStringList* notes,
                       const QList<int>& pages) {
    const bool ownXml = hasSuffix(target, "xml");
    // A workbook holds placed keywords as label texts; an HTML page shows
    // them in their cells as the report does, and like a data file keeps
    // no formula and no keyword without a cell.
    const bool workbook = hasSuffix(target, "xls") || hasSuffix(target, "xlsx");
    QList<int> written = pages;
    if (written.isEmpty())
        for (int p = 1; p <= report.GetPageCount(); ++p) written << p;
    LossTally losses;
    const auto& formulas = report.GetReportFile()->Format().formulas;
    // No exported type has a variable area: each page's lines in use are
    // written as plain rows or columns, so a file read back has a page's
    // lines where the report had its area.
    const ReportHeader& area = report.GetReportFile()->Format().header;
    const bool varArea = area.varKind == 1 || area.varKind == 2;
    if (varArea)
        losses.add(LoadErrorText(ownXml ? str::kLossVariableArea : str::kLossVariableAreaLines),
                   area.varKind == 1 ? LoadErrorText(str::kVarRowsFrom).arg(area.varStart)
                                     : LoadErrorText(str::kVarColumnsFrom).arg(ColumnLetters(area.varStart)));
    if (ownXml) {
        // A formula that reads the area (V_B, GTOTAL(V_B)) names what a
        // report read from the file has not. A total formula has no place
        // in the file.
        for (const FormulaRecord& f : formulas) {
            const QString place = FormatCellRef(f.area.c1 - 1, f.area.r1 - 1) + u'：' + f.text;
            if (f.kind != 0)
                losses.add(LoadErrorText(str::kLossTotalFormulas), place);
            else if (varArea && ReadsVariableArea(f.text))
                losses.add(LoadErrorText(str::kLossFormulasOfVariableArea), place);
        }
    }
    // Places are named as the screen shows the page (and as the file holds
    // it): a cell after the area moves by the page's lines in use.
    const auto shownPlace = [&](int p, int row, int col) {
        int used = 1;
        if (varArea)
            if (const std::shared_ptr<CSheetPage> page = report.GetPage(p))
                used = std::max<int>(1, page->VarUsed());
        return CellPlace(p, ShownRowOf(area, used, row), ShownColOf(area, used, col));
    };
    if (!ownXml && !formulas.empty() && !written.isEmpty()) {
        const FormulaRecord* first = &formulas.front();
        for (const FormulaRecord& f : formulas)
            if (std::pair(f.area.r1, f.area.c1) < std::pair(first->area.r1, first->area.c1)) first = &f;
        losses.add(LoadErrorText(str::kLossFormulas),
                   shownPlace(written.first(), first->area.r1, first->area.c1),
                   qsizetype(formulas.size()));
    }
    // A cell whose formula failed keeps 0 or an old value: written out it
    // would read as an amount. The file gets what the cell holds; the
    // user hears which cells those are: those of formulas that do not
    // compile, and every cell marked failed (a total or an appended page
    // carries the mark where the report has no formula).
    std::vector<AreaRecord> broken;
    for (const FormulaRecord& f : formulas)
        if (f.state == 2) broken.push_back(f.area);
    const ReportHeader& h = report.GetReportFile()->Format().header;
    for (int p : written) {
        const std::shared_ptr<CSheetPage> page = report.GetPage(p);
        if (!page) continue;
        for (int r = 1; r <= h.rows; ++r)
            for (int c = 1; c <= h.cols; ++c) {
                bool failed = page->Slot(uint16_t(r), uint16_t(c)).flags & kSlotFormulaError;
                for (const AreaRecord& a : broken)
                    failed = failed || (r >= a.r1 && r <= a.r2 && c >= a.c1 && c <= a.c2);
                if (failed) losses.add(LoadErrorText(str::kLossFailedFormulas), shownPlace(p, r, c));
            }
    }
    // XML and HTML have no place for some characters (control characters,
    // U+FFFE, U+FFFF, half a surrogate pair): their writers leave them out
    // and the user hears where.
    // A binary workbook holds any UTF-16 unit, but half a surrogate pair
    // would keep strict readers from the whole book: its writer puts
    // U+FFFD there.
    const bool markup = ownXml || hasSuffix(target, "htm") || hasSuffix(target, "html");
    if (markup || hasSuffix(target, "xls")) {
        const QString kind = LoadErrorText(markup ? str::kLossUncarriedChars : str::kLossCharsReplaced);
        // The own XML carries a carriage return raw, as the system's files
        // do, and every XML reader reads it as a line feed: the user hears
        // which texts come back changed (of the part of each the file holds).
        const QString returnsKind = LoadErrorText(str::kLossCarriageReturns);
        const auto tally = [&](const QString& place, QStringView text, bool written) {
            losses.add(kind, place, markup ? UncarriedChars(text) : UnpairedSurrogates(text));
            if (ownXml && written && text.left(kCellValueTextChars).contains(u'\r'))
                losses.add(returnsKind, place);
        };
        for (int r = 1; r <= h.rows; ++r)
            for (int c = 1; c <= h.cols; ++c)
                if (cellFormatGet(report.GetReportFile()->Format().cellFormat(uint16_t(r), uint16_t(c)),
                                  kFmtKind) == kCellLabel)
                    tally(FormatCellRef(c - 1, r - 1), report.GetReportFile()->GetLabel(uint16_t(r), uint16_t(c)),
                          true);
        for (int p : written) {
            const std::shared_ptr<CSheetPage> page = report.GetPage(p);
            if (!page) continue;
            const int used = std::max<int>(1, page->VarUsed());
            for (int r = 1; r <= h.rows; ++r)
                for (int c = 1; c <= h.cols; ++c)
                    if (page->Slot(uint16_t(r), uint16_t(c)).isText())
                        tally(CellPlace(p, ShownRowOf(h, used, r), ShownColOf(h, used, c)),
                              page->Text(uint16_t(r), uint16_t(c)), true);
            const SlotGrid& lines = page->VarLines();
            for (uint32_t line = 0; varArea && line < lines.lines(); ++line)
                for (uint16_t pos = 0; pos < lines.lineLength(); ++pos) {
                    if (!lines.slot(line, pos).isText()) continue;
                    const int at = h.varStart + int(line);
                    tally(h.varKind == 1 ? CellPlace(p, at, pos + 1) : CellPlace(p, pos + 1, at),
                          lines.text(line, pos), true);
                }
            for (int slot = 0; slot <= 6; ++slot) {
                KeywordValue v;
                const KeywordSlot& at = h.keywords[size_t(slot)];
                if (report.GetPageKeyword(slot, &v, p) == 0 && v.kind == 2)
                    tally(LoadErrorText(str::kXmlPageKeyword).arg(p).arg(slot), v.text, at.row > 0 && at.col > 0);
            }
        }
    }
    for (int slot = 0; slot <= 6; ++slot) {
        const KeywordSlot& at = h.keywords[size_t(slot)];
        const bool placed = at.row > 0 && at.col > 0;
        if (placed && !workbook) continue;
        for (int p : written) {
            KeywordValue v;
            if (report.GetPageKeyword(slot, &v, p) != 0) continue;
            if (v.kind == 2 ? v.text.isEmpty() : !(v.kind == 1 && v.number != 0)) continue;
            if (placed)
                losses.add(LoadErrorText(str::kLossPlacedKeywords), shownPlace(p, at.row, at.col));
            else
                losses.add(LoadErrorText(str::kLossUnplacedKeywords),
                           LoadErrorText(str::kLossPagePlace).arg(p));
        }
    }
    losses.appendTo(notes);
    // No exported type keeps a password: the copy is open to whoever may
    // read it, and its writer is told so.
    QStringList passwords;
    QString filePassword;
    if (decodeOthersFilePassword(
            report.GetReportFile()->DocumentStream(QString::fromLatin1(kOthersStreamName)),
            &filePassword) &&
        !filePassword.isEmpty())
        passwords << LoadErrorText(str::kFilePasswordName);
    if (!report.GetFormatPassword().isEmpty()) passwords << LoadErrorText(str::kFormatPasswordName);
    if (!passwords.isEmpty() && notes)
        notes->append(LoadErrorText(str::kLossPasswords).arg(passwords.join(u'、')));
}

}  // namespace qor
