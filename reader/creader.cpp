#include "reader/creader.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <climits>
#include <cmath>

#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/openreports.h"
#include "engine/status.h"
#include "engine/textutil.h"
#include "engine/varlines.h"
#include "platform/compoundfile.h"
#include "platform/safefile.h"

using namespace qor;

namespace {

QString statusText(uint16_t status) {
    return LoadErrorText(qor::str::kReasonAndMessage).arg(StatusText(status), LoadErrorText(qor::str::kStatusNumber).arg(status));
}

bool isTextType(const QVariant& v) {
    const int id = v.metaType().id();
    return id == QMetaType::QString || id == QMetaType::QByteArray || id == QMetaType::QChar;
}

// A whole text that is a decimal number; ParseDouble would take "12abc"
// as 12 and "abc" as 0, and a host writing those into a number cell has
// made a mistake it must hear about.
bool strictNumber(const QString& text, double* out) { return qor::TextAsCellNumber(text, out); }

bool cellInRange(int row, int col) {
    return row >= 1 && row <= kMaxRows && col >= 1 && col <= kMaxCols;
}

// A deletion asked for more than lies from pos to the end: the engine
// would delete fewer and the host believe its count went.
QString pastEnd(const char* method, int pos, int count, int total) {
    if (int64_t(pos) + count - 1 <= total) return QString();
    return LoadErrorText(qor::str::kDeletePastEnd)
        .arg(QLatin1String(method))
        .arg(pos)
        .arg(count)
        .arg(total);
}

}  // namespace

CReader::CReader() = default;

CReader::~CReader() { closeReport(); }

QString CReader::FileName() const { return m_report ? m_report->GetPathName() : QString(); }

ReaderResult CReader::fail(const QString& text) {
    m_lastError = text;
    return ReaderResult::failure(text);
}

ReaderResult CReader::failStatus(const char* method, uint16_t status) {
    return fail(QStringLiteral("%1: %2").arg(QLatin1String(method), statusText(status)));
}

ReaderResult CReader::failTable(const char* method, uint16_t status) {
    // A page whose variable lines the change would cost is named.
    if (const QString why = qor::VarLinesLossRefusal(*m_report); !why.isEmpty())
        return fail(QStringLiteral("%1: %2").arg(QLatin1String(method), why));
    return failStatus(method, status);
}

QString CReader::FormatFailure() const {
    const uint16_t s = m_report ? m_report->FormatLoadStatus() : 0;
    if (!s) return QString();
    return QStringLiteral("%1: %2").arg(m_report->GetPathName(), statusText(s));
}

QString CReader::needOpen() const {
    return m_report ? QString() : LoadErrorText(qor::str::kNoReportOpened);
}

QString CReader::needFormatState(const char* method) const {
    if (!m_report) return needOpen();
    if (m_report->IsFormatState()) return QString();
    return LoadErrorText(qor::str::kFormatStateOnly)
        .arg(QLatin1String(method));
}

QString CReader::needDataState(const char* method) const {
    if (!m_report) return needOpen();
    if (!m_report->IsFormatState()) return QString();
    return LoadErrorText(qor::str::kDataStateOnly)
        .arg(QLatin1String(method));
}

QString CReader::needCurrentPage(const char* method) const {
    QString e = needDataState(method);
    if (!e.isEmpty()) return e;
    if (m_report->GetCurPage() > 0) return QString();
    if (m_report->GetPageCount() == 0)
        return LoadErrorText(qor::str::kNeedsPages)
            .arg(QLatin1String(method));
    return LoadErrorText(qor::str::kNeedsCurrentPage)
        .arg(QLatin1String(method));
}

QString CReader::needCell(int row, int col) const {
    if (cellInRange(row, col)) return QString();
    return LoadErrorText(qor::str::kCellOutsideTable)
        .arg(row)
        .arg(col)
        .arg(statusText(code(Status::OutsideTable)));
}

void CReader::closeReport() {
    if (m_report) m_report->CloseStreams();
    m_report.reset();
    m_notWritable.clear();
    m_curRow = m_curCol = 1;
    m_pageBeforeDesign = 0;
}

// ---------------------------------------------------------------------------
// Opening and closing

ReaderResult CReader::OpenRep8File(const QString& sFileName, const QString& sLangId) {
    if (m_report)
        return fail(LoadErrorText(qor::str::kReportAlreadyOpened)
                        .arg(m_report->GetPathName()));
    const QString given = sFileName.trimmed();
    if (given.isEmpty()) return fail(LoadErrorText(qor::str::kFileMissingChooseAgain).replace("%s", QString()));

    QString path = FullReportPath(given);
    if (!QFileInfo::exists(path)) {
        const QString withExt = FullReportPath(ReportPathWithExtension(given));
        if (QFileInfo::exists(withExt)) path = withExt;
    }
    const QFileInfo fi(path);
    if (!fi.exists()) return fail(LoadErrorText(qor::str::kFileMissingChooseAgain).replace("%s", given));
    // A FIFO or a device is not even opened to look: its open could wait
    // for ever. A file this account may not read is no proof of anything
    // but the permission: the engine says so when it tries below.
    if (!fi.isFile())
        return fail(QStringLiteral("%1: %2").arg(given, statusText(code(Status::NotAReport))));
    const int probe = qor::OpenRegularFile(path, O_RDONLY);
    if (probe >= 0) ::close(probe);
    if (probe >= 0 && !CompoundFile::isCompoundFile(path))
        return fail(QStringLiteral("%1: %2").arg(given, statusText(code(Status::NotAReport))));
    // The engine would look for "<name>.rep" instead: a different file.
    if (ReportPathWithExtension(path) != path)
        return fail(LoadErrorText(qor::str::kReportNameNeedsRep).arg(given));
    // A second handle on the same file would save over the first one's work.
    if (FindOpenReport(path))
        return fail(LoadErrorText(qor::str::kReportAlreadyOpen).arg(given));

    // A host reads a few cells or keywords of a report: its cell formats
    // are read when first used (every answer is checked against them in
    // FormatFailure).
    constexpr auto kFormats = CReportHandle::FormatReading::WhenUsed;
    auto report = std::make_unique<CReportHandle>(
        path, CReportHandle::OpenMode::OpenExisting,
        m_readOnly ? CReportHandle::Access::Read : CReportHandle::Access::Write, kFormats);
    QString notWritable =
        m_readOnly ? LoadErrorText(qor::str::kReportOpenedReadOnly) : QString();
    if (!m_readOnly && !report->IsOpen() && report->OpenStatus() == code(Status::Refused) &&
        !report->ErrorText().isEmpty()) {
        // In use by another writer, or a read-only file: the host may still
        // read it; saving is refused with the reason.
        notWritable = report->ErrorText();
        report = std::make_unique<CReportHandle>(path, CReportHandle::OpenMode::OpenExisting,
                                                 CReportHandle::Access::Read, kFormats);
    }
    if (!report->IsOpen()) {
        const uint16_t status = report->OpenStatus();
        if (!report->ErrorText().isEmpty())
            return fail(QStringLiteral("%1: %2 (status %3)").arg(given, report->ErrorText()).arg(status));
        if (status == code(Status::FileNotFound))
            return fail(LoadErrorText(qor::str::kFileMissingChooseAgain).replace("%s", given));
        if (status == code(Status::TooManyReports)) return fail(LoadErrorText(qor::str::kTooManyFilesOpen));
        return fail(QStringLiteral("%1: %2").arg(given, statusText(status)));
    }
    m_report = std::move(report);
    m_notWritable = notWritable;
    m_langId = sLangId.trimmed().isEmpty() ? QStringLiteral("zh-CN") : sLangId.trimmed();
    m_curRow = m_curCol = 1;
    m_pageBeforeDesign = m_report->GetPageCount() > 0 ? 1 : 0;
    // A host reads cells right after opening: the first page is current
    // (read when first used, so a host going to another page never reads it).
    if (!m_report->IsFormatState() && m_pageBeforeDesign) m_report->SelectCurPage(1);
    return ReaderResult::success();
}

ReaderResult CReader::Save() {
    if (QString e = needOpen(); !e.isEmpty()) return fail(e);
    if (!m_notWritable.isEmpty())
        return fail(QStringLiteral("%1 %2: %3 (status %4)")
                        .arg(LoadErrorText(qor::str::kFileSaveFailed), m_report->GetPathName(), m_notWritable)
                        .arg(code(Status::Refused)));
    const uint16_t status = m_report->Save();
    if (status && !m_report->ErrorText().isEmpty())
        return fail(QStringLiteral("%1 %2: %3 (status %4)")
                        .arg(LoadErrorText(qor::str::kFileSaveFailed), m_report->GetPathName(),
                             m_report->ErrorText())
                        .arg(status));
    if (status)
        return fail(
            QStringLiteral("%1 %2: %3")
                .arg(LoadErrorText(qor::str::kFileSaveFailed), m_report->GetPathName(), statusText(status)));
    // Saved, with the values brought current; formulas that failed in that
    // recalculation hold no amount, and the host hears it as from Recalc.
    if (const QString failed = m_report->RecalcFailureText(); !failed.isEmpty()) {
        ReaderResult r = fail(QStringLiteral("Save: %1").arg(failed));
        r.formulaFailed = true;
        return r;
    }
    return ReaderResult::success();
}

ReaderResult CReader::CloseFile() {
    if (QString e = needOpen(); !e.isEmpty()) return fail(e);
    const uint16_t status = m_report->CloseStreams();
    closeReport();
    // The report is closed either way; only the streams may have failed.
    if (status) return failStatus("CloseFile", status);
    return ReaderResult::success();
}

// ---------------------------------------------------------------------------
// Pages and states

ReaderResult CReader::GetPages(int* pages) {
    if (QString e = needOpen(); !e.isEmpty()) return fail(e);
    if (pages) *pages = m_report->GetPageCount();
    return ReaderResult::success();
}

ReaderResult CReader::SetCurPage(int page) {
    if (QString e = needDataState("SetCurPage"); !e.isEmpty()) return fail(e);
    const int count = m_report->GetPageCount();
    // The engine would quietly take page 1 for a page it does not have.
    if (page < 1 || page > count)
        return fail(LoadErrorText(qor::str::kNameAndText)
                        .arg(LoadErrorText(qor::str::kReportLacksPageOfCount), QStringLiteral("%3"))
                        .arg(page)
                        .arg(count)
                        .arg(statusText(code(Status::PageOutOfRange))));
    // Read when first used: listing keywords page by page then checks each
    // record without building the page. A damaged record fails that use.
    if (uint16_t s = m_report->SelectCurPage(page)) return failStatus("SetCurPage", s);
    return ReaderResult::success();
}

ReaderResult CReader::GetCurPage(int* page) {
    if (QString e = needOpen(); !e.isEmpty()) return fail(e);
    if (page) *page = m_report->GetCurPage();
    return ReaderResult::success();
}

ReaderResult CReader::BeginDesign() {
    if (QString e = needOpen(); !e.isEmpty()) return fail(e);
    if (m_report->IsFormatState()) return ReaderResult::success();
    const int page = m_report->GetCurPage();
    if (uint16_t s = m_report->EnterFormatState()) return failStatus("BeginDesign", s);
    m_pageBeforeDesign = page;
    return ReaderResult::success();
}

ReaderResult CReader::BeginData() {
    if (QString e = needOpen(); !e.isEmpty()) return fail(e);
    if (!m_report->IsFormatState()) return ReaderResult::success();
    if (uint16_t s = m_report->EnterDataState(1)) return failStatus("BeginData", s);
    const int count = m_report->GetPageCount();
    if (count > 0) {
        const int page = std::clamp(m_pageBeforeDesign, 1, count);
        if (uint16_t s = m_report->SelectCurPage(page)) return failStatus("BeginData", s);
    }
    return ReaderResult::success();
}

ReaderResult CReader::IsFormatState(bool* formatState) {
    if (QString e = needOpen(); !e.isEmpty()) return fail(e);
    if (formatState) *formatState = m_report->IsFormatState() != 0;
    return ReaderResult::success();
}

ReaderResult CReader::AppendPages(int count) {
    if (QString e = needOpen(); !e.isEmpty()) return fail(e);
    const int pages = m_report->GetPageCount();
    if (count < 1) return fail(LoadErrorText(qor::str::kCountAtLeastOne).arg(QStringLiteral("AppendPages")));
    if (int64_t(pages) + count > int64_t(kMaxPages))
        return failStatus("AppendPages", code(Status::PageLimit));
    if (uint16_t s = m_report->AppendRowColPage(count, 2)) return failStatus("AppendPages", s);
    return ReaderResult::success();
}

ReaderResult CReader::DeletePages(int pos, int count) {
    if (QString e = needOpen(); !e.isEmpty()) return fail(e);
    const int pages = m_report->GetPageCount();
    if (pos < 1 || pos > pages)
        return fail(LoadErrorText(qor::str::kNameAndText)
                        .arg(LoadErrorText(qor::str::kReportLacksPageOfCount), QStringLiteral("%3"))
                        .arg(pos)
                        .arg(pages)
                        .arg(statusText(code(Status::PageOutOfRange))));
    if (count < 1) return fail(LoadErrorText(qor::str::kCountAtLeastOne).arg(QStringLiteral("DeletePages")));
    if (QString e = pastEnd("DeletePages", pos, count, pages); !e.isEmpty()) return fail(e);
    if (uint16_t s = m_report->DeleteRowColPage(pos, count, 2)) return failStatus("DeletePages", s);
    return ReaderResult::success();
}

// ---------------------------------------------------------------------------
// Cells

ReaderResult CReader::readCell(const char* method, int row, int col, QVariant* value) {
    if (QString e = needCell(row, col); !e.isEmpty()) return fail(e);
    if (!m_report->IsFormatState()) {
        if (QString e = needCurrentPage(method); !e.isEmpty()) return fail(e);
    }
    CellValue v;
    if (uint16_t s = m_report->GetCellValue(&v, row, col, 0)) return failStatus(method, s);
    if (v.isText()) {
        // CellValue keeps 32 characters; the host gets the whole text.
        uint16_t s = 0;
        const QString text = m_report->GetCellText(row, col, 0, &s);
        if (s) return failStatus(method, s);
        if (value) *value = text;
    } else if (value) {
        *value = v.number;
    }
    // A failed formula leaves 0 (or nothing) in its cell, which a host
    // would add up as an amount: the read fails, the value stays given.
    if (m_report->CellValueFailed(row, col)) {
        ReaderResult r = fail(QStringLiteral("%1: %2").arg(
            QLatin1String(method), LoadErrorText(qor::str::kFailedFormulaCell)
                                       .arg(m_report->GetCurPage())
                                       .arg(FormatCellRef(col - 1, row - 1))));
        r.formulaFailed = true;
        return r;
    }
    return ReaderResult::success();
}

ReaderResult CReader::GetCellDataMatrix(int iRow, int iCol, QVariant* value) {
    if (QString e = needOpen(); !e.isEmpty()) return fail(e);
    return readCell("GetCellDataMatrix", iRow, iCol, value);
}

ReaderResult CReader::SetCurCell(int row, int col) {
    if (QString e = needOpen(); !e.isEmpty()) return fail(e);
    if (QString e = needCell(row, col); !e.isEmpty()) return fail(e);
    m_curRow = row;
    m_curCol = col;
    return ReaderResult::success();
}

ReaderResult CReader::GetData(QVariant* value) {
    if (QString e = needOpen(); !e.isEmpty()) return fail(e);
    return readCell("GetData", m_curRow, m_curCol, value);
}

ReaderResult CReader::SetData(const QVariant& value) {
    if (QString e = needOpen(); !e.isEmpty()) return fail(e);
    const int row = m_curRow, col = m_curCol;
    const CellArea cell = CellArea::cell(row, col);
    // The engine's gate refuses the same; checked here first so that the
    // host hears it in the Reader's own words.
    constexpr int kMaxTextChars = kMaxCellTextChars;
    // A cell under a combined area other than its first is shown by no
    // page and reached by no desktop edit, yet a total would count it.
    if (CellArea area; m_report->GetCombinedArea(cell, &area) &&
                       (area.first.row != row || area.first.col != col))
        return fail(LoadErrorText(qor::str::kSetDataHiddenCell)
                        .arg(row)
                        .arg(col)
                        .arg(area.first.row)
                        .arg(area.first.col));

    if (m_report->IsFormatState()) {
        // Table text (labels) is what format state writes into a cell.
        if (!isTextType(value) && !qor::IsNumericVariant(value))
            return fail(
                LoadErrorText(qor::str::kSetDataNeedsText));
        const QString text =
            qor::IsNumericVariant(value) ? QString::number(value.toDouble(), 'g', 15) : value.toString();
        if (text.contains(QChar(u'\0')))
            return fail(LoadErrorText(qor::str::kTextHoldsNul).arg(QStringLiteral("SetData")));
        if (text.size() > kMaxTextChars)
            return fail(
                LoadErrorText(qor::str::kTextOverLimit).arg(QStringLiteral("SetData")).arg(kMaxTextChars));
        if (uint16_t s = m_report->SetCellValue(CellValue{kCellLabel, 0, text}, row, col))
            return failStatus("SetData", s);
        return ReaderResult::success();
    }

    if (QString e = needCurrentPage("SetData"); !e.isEmpty()) return fail(e);
    int32_t kind = 0;
    if (uint16_t s = m_report->AccessAreaFormat(0, kFmtKind, &kind, &cell))
        return failStatus("SetData", s);
    if (kind == kCellLabel)
        return fail(LoadErrorText(qor::str::kSetDataTableText)
                        .arg(row)
                        .arg(col));
    // The engine keeps a formula's result and answers success; the host
    // would believe its value was written.
    if (m_report->GetCalcFlag() != 1 && m_report->GetCellFormulaState(row, col) != 0)
        return fail(LoadErrorText(qor::str::kSetDataFormulaCell)
                        .arg(row)
                        .arg(col));

    const bool numberCell = kind != kCellText && kind != kCellOtherText;
    CellValue v;
    if (value.isNull() || !value.isValid()) {
        v.kind = kCellUnset;
    } else if (qor::IsNumericVariant(value)) {
        v = CellValue::ofNumber(value.toDouble());
    } else if (isTextType(value)) {
        const QString text = value.toString();
        // The report's texts end at the first NUL: the rest would be lost
        // without a word.
        if (text.contains(QChar(u'\0')))
            return fail(LoadErrorText(qor::str::kTextHoldsNul).arg(QStringLiteral("SetData")));
        if (text.size() > kMaxTextChars)
            return fail(
                LoadErrorText(qor::str::kTextOverLimit).arg(QStringLiteral("SetData")).arg(kMaxTextChars));
        if (!numberCell) {
            v = CellValue::ofText(text);
        } else if (text.trimmed().isEmpty()) {
            v.kind = kCellUnset;
        } else {
            double number = 0;
            if (!strictNumber(text, &number))
                return fail(LoadErrorText(qor::str::kNameAndText).arg(
                    QStringLiteral("SetData"), qor::TextIntoNumberCellMessage(text, row, col)));
            v = CellValue::ofNumber(number);
        }
    } else {
        return fail(LoadErrorText(qor::str::kValueTypeRefused).arg(QStringLiteral("SetData"))
                        .arg(QString::fromLatin1(value.typeName())));
    }
    if (uint16_t s = m_report->SetCellValue(v, row, col)) return failStatus("SetData", s);
    return ReaderResult::success();
}

// ---------------------------------------------------------------------------
// Formats and the table's shape

namespace {

QString badFormatCode(int code) {
    if (code >= 0 && code < kFmtCodeCount && code != kFmtUndefined) return QString();
    return LoadErrorText(qor::str::kNoSuchCellFormatCode)
        .arg(code);
}

}  // namespace

ReaderResult CReader::GetCellFormat(int fmtCode, int* value) {
    if (QString e = needOpen(); !e.isEmpty()) return fail(e);
    if (QString e = badFormatCode(fmtCode); !e.isEmpty()) return fail(e);
    if (QString e = needCell(m_curRow, m_curCol); !e.isEmpty()) return fail(e);
    const CellArea cell = CellArea::cell(m_curRow, m_curCol);
    int32_t v = 0;
    if (uint16_t s = m_report->AccessAreaFormat(0, fmtCode, &v, &cell))
        return failStatus("GetCellFormat", s);
    if (value) *value = v;
    return ReaderResult::success();
}

ReaderResult CReader::SetCellFormat(int fmtCode, int value) {
    if (QString e = needFormatState("SetCellFormat"); !e.isEmpty()) return fail(e);
    if (QString e = badFormatCode(fmtCode); !e.isEmpty()) return fail(e);
    // The engine cuts a value to the attribute's width: 17 would quietly
    // become 1.
    const int max = int((1u << cellFormatField(fmtCode).width) - 1);
    if (value < 0 || value > max)
        return fail(LoadErrorText(qor::str::kFormatValueTooWide)
                        .arg(fmtCode)
                        .arg(max)
                        .arg(value));
    const CellArea cell = CellArea::cell(m_curRow, m_curCol);
    int32_t v = value;
    if (uint16_t s = m_report->AccessAreaFormat(1, fmtCode, &v, &cell))
        return failStatus("SetCellFormat", s);
    return ReaderResult::success();
}

ReaderResult CReader::SetRowHeight(int row, int height) {
    if (QString e = needFormatState("SetRowHeight"); !e.isEmpty()) return fail(e);
    if (height < 1 || height > 0xFFFF)
        return fail(LoadErrorText(qor::str::kNameAndText).arg(QStringLiteral("SetRowHeight"),
                                             LoadErrorText(qor::str::kBadRowHeight).arg(height)));
    uint16_t size = uint16_t(height);
    if (uint16_t s = m_report->AccessRowColSize(1, 0, row, &size))
        return failStatus("SetRowHeight", s);
    return ReaderResult::success();
}

ReaderResult CReader::SetColWidth(int col, int width) {
    if (QString e = needFormatState("SetColWidth"); !e.isEmpty()) return fail(e);
    if (width < 1 || width > 0xFFFF)
        return fail(LoadErrorText(qor::str::kNameAndText).arg(QStringLiteral("SetColWidth"),
                                             LoadErrorText(qor::str::kBadColumnWidth).arg(width)));
    uint16_t size = uint16_t(width);
    if (uint16_t s = m_report->AccessRowColSize(1, 1, col, &size))
        return failStatus("SetColWidth", s);
    return ReaderResult::success();
}

ReaderResult CReader::CombineCells(int row1, int col1, int row2, int col2) {
    if (QString e = needFormatState("CombineCells"); !e.isEmpty()) return fail(e);
    if (QString e = needCell(row1, col1); !e.isEmpty()) return fail(e);
    if (QString e = needCell(row2, col2); !e.isEmpty()) return fail(e);
    const CellArea area = CellArea::area(row1, col1, row2, col2);
    if (uint16_t s = m_report->CombineCells(&area)) return failStatus("CombineCells", s);
    return ReaderResult::success();
}

ReaderResult CReader::GetVarLines(int* lines) {
    if (QString e = needCurrentPage("GetVarLines"); !e.isEmpty()) return fail(e);
    int n = 0;
    if (onVarLines()) m_report->AccessVarCount(0, &n);
    if (lines) *lines = n;
    return ReaderResult::success();
}

ReaderResult CReader::SetVarArea(int kind, int start, int extent) {
    if (QString e = needFormatState("SetVarArea"); !e.isEmpty()) return fail(e);
    if (const QString why = qor::VarAreaRefusal(*m_report, kind, start, extent); !why.isEmpty())
        return fail(QStringLiteral("SetVarArea: %1").arg(why));
    if (uint16_t s = m_report->AccessVarArea(1, &kind, &start, &extent))
        return failStatus("SetVarArea", s);
    return ReaderResult::success();
}

ReaderResult CReader::GetTableSize(int* rows, int* cols) {
    if (QString e = needOpen(); !e.isEmpty()) return fail(e);
    if (rows) *rows = m_report->GetRowCount();
    if (cols) *cols = m_report->GetColCount();
    return ReaderResult::success();
}

ReaderResult CReader::SetTableSize(int rows, int cols) {
    if (QString e = needFormatState("SetTableSize"); !e.isEmpty()) return fail(e);
    if (!cellInRange(rows, cols))
        return failStatus("SetTableSize", code(Status::TableSizeOutOfBounds));
    uint16_t r = uint16_t(rows), c = uint16_t(cols);
    if (uint16_t s = m_report->AccessTableSize(1, &r, &c)) return failTable("SetTableSize", s);
    return ReaderResult::success();
}

bool CReader::onVarLines() const {
    int kind = 0, start = 0, extent = 0;
    return m_report && !m_report->IsFormatState() &&
           m_report->AccessVarArea(0, &kind, &start, &extent) == 0 && kind != 0;
}

ReaderResult CReader::varLinesDone(const char* method, uint16_t status, const QString& why) {
    if (!status) return ReaderResult::success();
    return fail(QStringLiteral("%1: %2").arg(QLatin1String(method), why));
}

ReaderResult CReader::insertRows(const char* method, int pos, int count) {
    // In data state a report's rows are fixed; what grows is the current
    // page's variable area, as on the desktop.
    if (onVarLines()) {
        if (QString e = needCurrentPage(method); !e.isEmpty()) return fail(e);
        QString why;
        const uint16_t s = qor::InsertVarLinesAt(*m_report, pos, count, &why);
        return varLinesDone(method, s, why);
    }
    if (QString e = needFormatState(method); !e.isEmpty()) return fail(e);
    if (count < 1)
        return fail(LoadErrorText(qor::str::kCountAtLeastOne).arg(QLatin1String(method)));
    // The engine inserts what fits and calls that success; the host asked
    // for all of them.
    if (int64_t(m_report->GetRowCount()) + count > kMaxRows)
        return failStatus(method, code(Status::TableSizeOutOfBounds));
    if (pos == 0) pos = m_report->GetRowCount() + 1;
    uint16_t n = uint16_t(count);
    if (uint16_t s = m_report->InsertRowColPage(pos, &n, 0)) return failTable(method, s);
    return ReaderResult::success();
}

ReaderResult CReader::AppendRows(int count) { return insertRows("AppendRows", 0, count); }

ReaderResult CReader::InsertRows(int pos, int count) {
    if (pos < 1)
        return fail(LoadErrorText(qor::str::kNameAndText)
                        .arg(QStringLiteral("InsertRows"), LoadErrorText(qor::str::kReasonAndMessage))
                        .arg(statusText(code(Status::OutsideTable)))
                        .arg(pos));
    return insertRows("InsertRows", pos, count);
}

ReaderResult CReader::DeleteRows(int pos, int count) {
    if (QString e = needOpen(); !e.isEmpty()) return fail(e);
    if (count < 1) return fail(LoadErrorText(qor::str::kCountAtLeastOne).arg(QStringLiteral("DeleteRows")));
    if (onVarLines()) {
        if (QString e = needCurrentPage("DeleteRows"); !e.isEmpty()) return fail(e);
        // No page holds more lines than this; a larger count is refused
        // for the lines past the area without listing them all.
        QList<int> positions;
        for (int64_t p = pos; p < int64_t(pos) + std::min(count, 0xFFFF) && p <= INT_MAX; ++p)
            positions.append(int(p));
        QString why;
        const uint16_t s = qor::DeleteVarLinesAt(*m_report, positions, &why);
        return varLinesDone("DeleteRows", s, why);
    }
    if (QString e = needFormatState("DeleteRows"); !e.isEmpty()) return fail(e);
    const int rows = m_report->GetReportFile()->Format().header.rows;
    if (pos >= 1 && pos <= rows) {
        if (QString e = pastEnd("DeleteRows", pos, count, rows); !e.isEmpty()) return fail(e);
    }
    if (uint16_t s = m_report->DeleteRowColPage(pos, count, 0)) return failTable("DeleteRows", s);
    return ReaderResult::success();
}

// ---------------------------------------------------------------------------
// Keywords, formulas, recalculation

ReaderResult CReader::GetKeyword(int slot, QVariant* value) {
    if (QString e = needCurrentPage("GetKeyword"); !e.isEmpty()) return fail(e);
    if (slot < 0 || slot >= kPageKeywordSlots)
        return fail(
            LoadErrorText(qor::str::kBadKeywordSlot).arg(QStringLiteral("GetKeyword")).arg(kPageKeywordSlots - 1));
    KeywordValue kv;
    if (uint16_t s = m_report->GetPageKeyword(slot, &kv, 0)) return failStatus("GetKeyword", s);
    if (value) {
        if (kv.kind == 1)
            *value = kv.number;
        else if (kv.kind == 2)
            *value = kv.text;
        else
            *value = QVariant();
    }
    return ReaderResult::success();
}

ReaderResult CReader::SetKeyword(int slot, const QVariant& value) {
    if (QString e = needCurrentPage("SetKeyword"); !e.isEmpty()) return fail(e);
    if (slot < 0 || slot >= kPageKeywordSlots)
        return fail(
            LoadErrorText(qor::str::kBadKeywordSlot).arg(QStringLiteral("SetKeyword")).arg(kPageKeywordSlots - 1));
    const bool textSlot =
        slot <= 1 || (slot == 6 && m_report->GetReportFile()->Format().header.userKeywordType == 0);
    KeywordValue kv;
    if (value.isNull() || !value.isValid()) {
        kv.kind = 0;
    } else if (qor::IsNumericVariant(value)) {
        kv = KeywordValue{1, value.toDouble(), {}};
    } else if (isTextType(value)) {
        const QString text = value.toString();
        if (textSlot) {
            if (text.contains(QChar(u'\0')))
                return fail(LoadErrorText(qor::str::kTextHoldsNul).arg(QStringLiteral("SetKeyword")));
            if (text.size() > kKeywordTextChars)
                return fail(LoadErrorText(qor::str::kTextOverLimit).arg(QStringLiteral("SetKeyword"))
                                .arg(kKeywordTextChars));
            kv = KeywordValue{2, 0, text};
        } else if (!text.trimmed().isEmpty()) {
            double number = 0;
            if (!strictNumber(text, &number))
                return fail(LoadErrorText(qor::str::kKeywordNotANumber)
                                .arg(slot)
                                .arg(text));
            kv = KeywordValue{1, number, {}};
        }
    } else {
        return fail(LoadErrorText(qor::str::kValueTypeRefused).arg(QStringLiteral("SetKeyword"))
                        .arg(QString::fromLatin1(value.typeName())));
    }
    if (uint16_t s = m_report->SetPageKeyword(slot, kv, 0)) return failStatus("SetKeyword", s);
    return ReaderResult::success();
}

ReaderResult CReader::GetKeywordCell(int slot, int* row, int* col) {
    if (QString e = needOpen(); !e.isEmpty()) return fail(e);
    CellRef cell;
    if (uint16_t s = m_report->AccessKeywordCell(0, slot, &cell))
        return failStatus("GetKeywordCell", s);
    if (row) *row = cell.row;
    if (col) *col = cell.col;
    return ReaderResult::success();
}

ReaderResult CReader::SetKeywordCell(int slot, int row, int col) {
    if (QString e = needFormatState("SetKeywordCell"); !e.isEmpty()) return fail(e);
    // Row and column 0 take the keyword off the table.
    if (!(row == 0 && col == 0))
        if (QString e = needCell(row, col); !e.isEmpty()) return fail(e);
    CellRef cell{0, int16_t(row), int16_t(col)};
    if (uint16_t s = m_report->AccessKeywordCell(1, slot, &cell))
        return failStatus("SetKeywordCell", s);
    return ReaderResult::success();
}

ReaderResult CReader::GetFormula(QString* text) {
    if (QString e = needOpen(); !e.isEmpty()) return fail(e);
    FormulaInfo info;
    const CellRef cell{0, int16_t(m_curRow), int16_t(m_curCol)};
    if (text) *text = m_report->GetCellFormula(cell, &info) ? info.text : QString();
    return ReaderResult::success();
}

ReaderResult CReader::SetFormula(const QString& text) {
    if (QString e = needFormatState("SetFormula"); !e.isEmpty()) return fail(e);
    CellArea cell = CellArea::cell(m_curRow, m_curCol);
    const uint16_t s = m_report->SetAreaFormula(&cell, text);
    if (s == code(Status::FormulaInvalid)) {
        const QString why = m_report->LastFormulaError();
        return fail(
            QStringLiteral("SetFormula: %1%2")
                .arg(statusText(s), why.isEmpty() ? QString() : QStringLiteral(": ") + why));
    }
    if (s) return failStatus("SetFormula", s);
    return ReaderResult::success();
}

ReaderResult CReader::Recalc() {
    if (QString e = needCurrentPage("Recalc"); !e.isEmpty()) return fail(e);
    if (uint16_t s = m_report->RecalcPage(0)) {
        if (s == code(Status::Refused))
            return fail(LoadErrorText(qor::str::kNoFormulaEvaluator).arg(QStringLiteral("Recalc"), statusText(s)));
        return failStatus("Recalc", s);
    }
    // The page was computed, but cells whose formulas failed hold no
    // amount: the host hears it as qor run and RECALC tell it, the cells
    // keep what they hold (formulaFailed, as a read of one of them says).
    if (const QString failed = m_report->RecalcFailureText(); !failed.isEmpty()) {
        ReaderResult r = fail(QStringLiteral("Recalc: %1").arg(failed));
        r.formulaFailed = true;
        return r;
    }
    return ReaderResult::success();
}

ReaderResult CReader::GetLastError(QString* text) {
    if (text) *text = m_lastError;
    return ReaderResult::success();
}
