#include "fininterface/consolexchange.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>
#include <algorithm>

#include "document/cqorsdoc.h"
#include "document/doc_others.h"
#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/reportlayout.h"
#include "engine/status.h"
#include "engine/textutil.h"
#include "fininterface/consolfiles.h"
#include "platform/uiservices.h"
#include "reader/cappenvironment.h"

using namespace qor;
using namespace qor::consol;

namespace {

// The latest year a client report's page may carry.
constexpr int kLatestPageYear = 2050;

void tell(const QString& text) { qor::messageBox(text, QString(), MsgButtons::Ok, MsgIcon::Warning); }

int pageKeyword(CReportHandle* report, int slot, int page) {
    KeywordValue v;
    if (report->GetPageKeyword(slot, &v, page) != 0) return 0;
    if (v.kind == 1) return int(v.number);
    if (v.kind == 2) return v.text.trimmed().toInt();
    return 0;
}

bool keywordPlaced(CReportHandle* report, int slot) {
    CellRef cell;
    if (report->AccessKeywordCell(0, slot, &cell) != 0) return false;
    return cell.row != 0 && cell.col != 0;
}

bool sameFileContents(const QString& a, const QString& b) {
    QFile fa(a), fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly)) return false;
    if (fa.size() != fb.size()) return false;
    while (!fa.atEnd()) {
        const QByteArray pa = fa.read(1 << 16), pb = fb.read(1 << 16);
        if (pa != pb || pa.isEmpty()) return false;
    }
    return true;
}

// Replaces target with a copy of source; false when the copy failed (the
// old target then stays).
bool copyReplacing(const QString& source, const QString& target) {
    const QString temp = target + QStringLiteral(".copying");
    QFile::remove(temp);
    if (!QFile::copy(source, temp)) return false;
    QFile::remove(target);
    if (QFile::rename(temp, target)) return true;
    QFile::remove(temp);
    return false;
}

struct SpecialTable {
    const char* tag;
    int stringId;
};
constexpr SpecialTable kSpecialTables[] = {{"Invest", qor::str::kInvestmentTable},
                                           {"Sell", qor::str::kSalesTable},
                                           {"Trade", qor::str::kInternalDealingsTable},
                                           {"ReadyRate", qor::str::kInternalDealingsTable}};

// The string id of the special table tag when the report named name
// exchanges it, else 0.
bool tableFits(const QString& tag, const QString& reportName) {
    for (const SpecialTable& t : kSpecialTables)
        if (tag == QLatin1String(t.tag)) return LoadErrorText(t.stringId) == reportName;
    return false;
}

// The values of a client report are those of its pages, which format
// state does not show: a report kept in format state is taken into data
// state while they are read, and back afterwards.
class DataStateForReading {
public:
    explicit DataStateForReading(CQorsDoc& doc) : m_doc(doc) {
        CReportHandle* r = doc.GetReport();
        m_switched = r && r->IsFormatState() && r->GetPageCount() > 0;
        if (m_switched) m_ok = doc.EnterDataState();
    }
    ~DataStateForReading() {
        if (m_switched && m_ok) m_doc.SwitchToFormatState();
    }
    DataStateForReading(const DataStateForReading&) = delete;
    DataStateForReading& operator=(const DataStateForReading&) = delete;
    bool ok() const { return !m_switched || m_ok; }

private:
    CQorsDoc& m_doc;
    bool m_switched = false;
    bool m_ok = false;
};

XmlNode childByTag(const XmlNode& parent, const QString& tag) {
    for (const XmlNode& c : ElementChildren(parent))
        if (c.tagName() == tag) return c;
    return {};
}

}  // namespace

CConsolExchange::CConsolExchange() = default;
CConsolExchange::~CConsolExchange() = default;

QString CConsolExchange::GetDataDir() {
    if (m_strDataDir.isEmpty()) m_strDataDir = QDir::fromNativeSeparators(CAppEnvironment::GetInstallDir());
    return m_strDataDir;
}

QString CConsolExchange::GetSamplePath(const QString& reportPath) {
    return SamplePath(GetDataDir(), reportPath);
}

QString CConsolExchange::GetLocalSamplePath(const QString& reportPath) const {
    return LocalSamplePath(reportPath);
}

bool CConsolExchange::CreateFolders(const QString& reportPath) {
    return QDir().mkpath(StripExtension(reportPath)) && QDir().mkpath(GetUploadDir(reportPath));
}

bool CConsolExchange::FindAliasCell(const QString& sheetName, const QString& alias, int* col,
                                    int* row) {
    aliasCells(sheetName);
    const auto it = m_aliasByName.constFind(alias);
    if (it == m_aliasByName.cend() || !m_aliasCells[*it].col) return false;
    *col = m_aliasCells[*it].col;
    *row = m_aliasCells[*it].row;
    return true;
}

const QList<CConsolExchange::AliasCell>& CConsolExchange::aliasCells(const QString& sheetName) {
    // Every page of an upload run and every item of a take-in asks for the
    // same cells: the sample is walked once per sheet. An alias owns the
    // CellCoor elements between its SName and the next one; the first of
    // them on this sheet, in the sample's order, is its cell.
    if (m_aliasSheet == sheetName && !sheetName.isEmpty()) return m_aliasCells;
    m_aliasCells.clear();
    m_aliasByName.clear();
    m_aliasSheet = sheetName;
    for (const XmlNode& group : ElementChildren(sampleRoot())) {
        if (group.tagName() != u"SampleAlias") continue;
        qsizetype owner = -1;  // the first entry of the alias the cells belong to
        for (const XmlNode& child : ElementChildren(group)) {
            if (child.tagName() == u"SName") {
                AliasCell a;
                a.alias = child.text().trimmed();
                owner = m_aliasByName.value(a.alias, m_aliasCells.size());
                m_aliasByName.insert(a.alias, owner);
                m_aliasCells << a;
            } else if (owner >= 0 && child.tagName() == u"CellCoor" && !m_aliasCells[owner].col) {
                int col = 0, row = 0;
                if (MatchCellCoordinate(child.text().trimmed(), sheetName, &col, &row)) {
                    m_aliasCells[owner].col = col;
                    m_aliasCells[owner].row = row;
                }
            }
        }
    }
    // An alias named twice takes its first cell at each of its entries.
    for (AliasCell& a : m_aliasCells) {
        const AliasCell& first = m_aliasCells[m_aliasByName.value(a.alias)];
        a.col = first.col;
        a.row = first.row;
    }
    return m_aliasCells;
}

CReportHandle* CConsolExchange::report() const { return m_pDoc ? m_pDoc->GetReport() : nullptr; }

QString CConsolExchange::pagePeriod(int page) const {
    CReportHandle* r = report();
    if (!r) return QString();
    // Every page keeps its quarter, but only a quarterly sample's upload is
    // named by it: a monthly page of March stays March. A year's page is
    // its year, whatever month an earlier take-in left on it.
    return PeriodText(pageKeyword(r, 2, page), m_nKind == 0 ? 1 : pageKeyword(r, 4, page),
                      m_nKind == 2 ? pageKeyword(r, 3, page) : 0);
}

bool CConsolExchange::loadSample(const QString& reportPath, QString* why) {
    m_strReportName = ReportName(reportPath);
    const QString path = GetSamplePath(reportPath);
    if (m_strSamplePath == path && !m_worksheet.isNull()) return true;
    m_worksheet = XmlNode();
    m_strSamplePath.clear();
    m_aliasSheet.clear();
    if (!QFileInfo(path).isFile()) {
        *why = LoadErrorText(qor::str::kConsolSampleMissing) + QDir::toNativeSeparators(path);
        return false;
    }
    m_sample.Open(path);
    if (m_sample.LoadFailed() || sampleRoot().isNull()) {
        *why = LoadErrorText(qor::str::kConsolSampleUnreadable) + QDir::toNativeSeparators(path) +
               (m_sample.LoadError().isEmpty() ? QString() : u'\n' + m_sample.LoadError());
        return false;
    }
    const XmlNode workbook = childByTag(sampleRoot(), QStringLiteral("Workbook"));
    for (const XmlNode& sheet : ElementChildren(workbook))
        if (sheet.attributeText(u"ss:Name") == m_strReportName) {
            m_worksheet = sheet;
            break;
        }
    if (m_worksheet.isNull()) {
        *why = LoadErrorText(qor::str::kConsolSampleLacksSheet).arg(QDir::toNativeSeparators(path), m_strReportName);
        return false;
    }
    // An alias without a cell of its own would take the next alias's cell:
    // its values would land and be sent up under the wrong name.
    // Two aliases on one cell, or one alias named twice, would send one
    // value under two names and lose the other's.
    QList<QList<XmlNode>> groups;
    for (const XmlNode& group : ElementChildren(sampleRoot())) {
        if (group.tagName() != u"SampleAlias") continue;
        groups << ElementChildren(group);
        const QString alias = DamagedAliasList(groups.back());
        if (alias.isNull()) continue;
        m_worksheet = XmlNode();
        *why = LoadErrorText(qor::str::kConsolAliasWithoutCell).arg(alias, QDir::toNativeSeparators(path));
        return false;
    }
    // A cell that no table has would lose the alias's values on the way
    // down and up alike.
    const auto tableSize = [&workbook](const QString& sheet, int* rows, int* cols) {
        for (const XmlNode& ws : ElementChildren(workbook))
            if (ws.attributeText(u"ss:Name").compare(sheet, Qt::CaseInsensitive) == 0) {
                std::tie(*rows, *cols) = CSpreadsheetXmlDoc::WorksheetTableSize(ws);
                return true;
            }
        return false;
    };
    // A table whose declared size does not read makes the sample damaged.
    try {
        for (const QList<XmlNode>& children : groups)
            if (QString alias, coordinate; MisplacedAliasCell(children, tableSize, &alias, &coordinate)) {
                m_worksheet = XmlNode();
                *why = LoadErrorText(qor::str::kConsolAliasCellMisplaced)
                           .arg(alias, coordinate, QDir::toNativeSeparators(path));
                return false;
            }
    } catch (const XmlError& e) {
        m_worksheet = XmlNode();
        *why = LoadErrorText(qor::str::kConsolSampleUnreadable) + QDir::toNativeSeparators(path) + u'\n' +
               e.message();
        return false;
    }
    if (QString first, second, cell; AliasClash(groups, &first, &second, &cell)) {
        m_worksheet = XmlNode();
        *why = cell.isEmpty() ? LoadErrorText(qor::str::kConsolAliasRepeated).arg(first, QDir::toNativeSeparators(path))
                              : LoadErrorText(qor::str::kConsolAliasesShareCell)
                                    .arg(first, second, cell, QDir::toNativeSeparators(path));
        return false;
    }
    m_strSamplePath = path;
    return true;
}

void CConsolExchange::readKindAside() {
    if (m_worksheet.isNull() || m_nKind >= 0) return;
    // The kind is what reading the worksheet leaves; a scratch report that
    // is never saved takes the reading.
    QTemporaryDir dir;
    if (!dir.isValid()) return;
    CReportHandle scratch(dir.filePath(QStringLiteral("kind.rep")), CReportHandle::OpenMode::CreateNew);
    if (!scratch.IsOpen()) return;
    CSpreadsheetXmlDoc reader;
    reader.SetRootElement(sampleRoot());
    try {
        reader.ReadWorksheetTable(m_worksheet, &scratch, 1);
        m_nKind = reader.GetPeriodKind();
    } catch (const XmlError& e) {
        TraceMessage(LoadErrorText(qor::str::kConsolSampleUnreadable) + e.message());
    }
}

// ---------------------------------------------------------------------------
// Taking in what the client sent down

int CConsolExchange::OpenDownloadedSample(const QString& reportPath, CQorsDoc** doc) {
    m_nFormatChanged = m_nNewReport = 0;
    if (doc) *doc = nullptr;
    const QString p = QDir::fromNativeSeparators(reportPath);
    // A name the sample cannot make is refused before anything is made: no
    // folder and no window is left behind by a refused choice.
    QString why;
    if (!loadSample(p, &why)) {
        tell(why);
        return 0;
    }
    if (!CreateFolders(p)) {
        tell(LoadErrorText(qor::str::kConsolFolderNotMade) + QDir::toNativeSeparators(StripExtension(p)));
        return 0;
    }
    const QString local = GetLocalSamplePath(p);
    if (QFileInfo::exists(local) && m_sample.DiffersFromFile(local)) m_nFormatChanged = 1;
    if (!QFileInfo::exists(p) || !QFileInfo::exists(local)) m_nNewReport = 1;

    CAppEnvironment& app = CAppEnvironment::Instance();
    CQorsDoc* found = QFileInfo::exists(p) ? app.FindOpenDocument(p) : app.NewDocument();
    if (doc) *doc = found;
    if (!found) {
        if (!QFileInfo::exists(p)) tell(LoadErrorText(qor::str::kConsolDocumentNotMade) + QDir::toNativeSeparators(p));
        return 0;
    }
    return 1;
}

bool CConsolExchange::OfferBackup(const QString& reportPath) {
    if (!m_nFormatChanged || !QFileInfo::exists(reportPath)) return true;
    if (!askYesNo(LoadErrorText(qor::str::kFileWord) +
                  LoadErrorText(qor::str::kFormatChangedBackUp)))
        return true;
    FilePrompt prompt;
    prompt.save = true;
    prompt.directory = QFileInfo(reportPath).path();
    prompt.filter = LoadErrorText(qor::str::kReportFilter);
    const std::optional<QString> target = chooseFile(prompt);
    if (!target || target->isEmpty()) return false;
    if (QFileInfo(*target).absoluteFilePath() == QFileInfo(reportPath).absoluteFilePath()) return false;
    if (!copyReplacing(reportPath, *target)) {
        tell(LoadErrorText(qor::str::kBackupFailed) + QDir::toNativeSeparators(*target));
        return false;
    }
    return true;
}

int CConsolExchange::PrepareSampleFiles(CQorsDoc& doc, const QString& reportPath, int newReport,
                                        int formatChanged) {
    const QString p = QDir::fromNativeSeparators(reportPath);
    m_pDoc = &doc;
    m_nNewReport = newReport;
    m_nFormatChanged = formatChanged;
    m_takeIn = {};
    QString why;
    // Everything that can refuse comes before the report is touched.
    if (!doc.GetReport() || !loadSample(p, &why)) {
        tell(why.isEmpty() ? LoadErrorText(qor::str::kNoReportToPrepare) : why);
        return 0;
    }
    if ((newReport || formatChanged) && !OfferBackup(p)) return 0;

    CReportHandle* r = doc.GetReport();
    if (!r->IsFormatState()) doc.SwitchToFormatState();
    doc.Files().SetClientMarker(kConsolClientMarker);
    m_sample.SetResizeCallback([&doc, r](int rows, int cols) {
        uint16_t r16 = uint16_t(rows), c16 = uint16_t(cols);
        r->AccessTableSize(1, &r16, &c16);
        doc.UpdateAllViews(CQorsDoc::kHintLayout);
    });
    try {
        m_sample.ReadWorksheetTable(m_worksheet, r, 1);
    } catch (const XmlError& e) {
        m_sample.SetResizeCallback({});
        tell(LoadErrorText(qor::str::kConsolSampleUnreadable) + e.message());
        return 0;
    }
    m_sample.SetResizeCallback({});
    m_nKind = m_sample.GetPeriodKind();
    // A figure typed in the sample ("0") or a caption reads as a label,
    // the same on every page: an alias's cell is where its amount goes, so
    // it holds a number. Left a label, the amount sent down would be lost
    // and the label sent up in its place.
    for (const AliasCell& a : aliasCells(m_strReportName)) {
        if (a.col == 0) continue;
        const CellArea cell = CellArea::cell(a.row, a.col);
        int32_t kind = 0;
        if (r->AccessAreaFormat(0, kFmtKind, &kind, &cell) != 0 || kind != kCellLabel) continue;
        r->ClearArea(&cell, CReportHandle::kClearValues);
        int32_t number = kCellNumber;
        r->AccessAreaFormat(1, kFmtKind, &number, &cell);
    }
    if (!doc.IsDataState()) doc.EnterDataState();
    if (formatChanged && r->GetPageCount() > 0) r->DeleteRowColPage(1, r->GetPageCount(), 2);
    if (r->GetPageCount() < 1) r->AppendRowColPage(1, 2);
    doc.SyncPagesFromReport();
    ImportDownloadFiles(p);

    m_nSaving = 1;
    const bool saved = doc.Files().OnSaveDocument(p);
    m_nSaving = 0;
    if (!saved) return 0;
    if ((newReport || formatChanged) && !copyReplacing(GetSamplePath(p), GetLocalSamplePath(p)))
        TraceMessage(LoadErrorText(qor::str::kSampleCopyNotSaved) + GetLocalSamplePath(p));
    doc.SyncPagesFromReport();
    doc.UpdateAllViews(CQorsDoc::kHintAll);
    RecordPagePeriods(doc);
    return 1;
}

bool CConsolExchange::ImportDownloadFiles(const QString& reportPath) {
    CReportHandle* r = report();
    if (!r) return false;
    const QDir dir(GetDownloadDir(reportPath));
    const QStringList names = dir.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    QHash<int, QString> filled;  // page -> the file of this run that filled it
    m_before.clear();
    for (const QString& name : names) {
        int year = 0, month = 0;
        // A file skipped is named with what was taken in: its values are
        // not in the report.
        if (!DownloadPeriod(name, &year, &month)) {
            notTaken(LoadErrorText(qor::str::kIssuedFileNameNotPeriod) + name);
            continue;
        }
        // A page of such a year could never be saved.
        if (year > kLatestPageYear) {
            notTaken(LoadErrorText(qor::str::kIssuedFileYearOutOfRange) + name);
            continue;
        }
        // The work folder keeps a copy of each file taken in. One that has
        // not changed since was read already: reading it again would put
        // back downloaded values the clerk has since corrected and saved.
        // Pages deleted for a changed format, or a report new from the
        // sample, need every file again.
        if (!m_nFormatChanged && !m_nNewReport &&
            sameFileContents(dir.filePath(name), QDir(StripExtension(reportPath)).filePath(name)))
            continue;
        CXmlDocHelper file;
        file.Open(dir.filePath(name));
        if (file.LoadFailed() || file.GetRootElement().isNull() ||
            !QFileInfo(dir.filePath(name)).size()) {
            notTaken(LoadErrorText(qor::str::kIssuedFileUnreadable) + name);
            continue;
        }
        // A half-year's page carries the half's first month (1 or 7), a
        // quarter's page its quarter, whatever day of the period the file
        // names.
        if (m_nKind == 1) month = HalfYearMonth(month);
        // A year's page carries its year alone: one period, one upload.
        if (m_nKind == 0) month = 1;
        const int quarter = QuarterOfMonth(month);
        int page = 0;
        const auto same = [](int have, int want) { return have == 0 || have == want; };
        for (int p = 1; p <= r->GetPageCount() && !page; ++p) {
            const int y = pageKeyword(r, 2, p), m = pageKeyword(r, 4, p);
            // A page an earlier import left without its quarter still has
            // the month that gives it.
            const int q = pageKeyword(r, 3, p) ? pageKeyword(r, 3, p) : QuarterOfMonth(m);
            bool match = false;
            switch (m_nKind) {
            case 0: match = same(y, year); break;
            // A half-year page an earlier version dated by its file's
            // month counts by the half that month lies in.
            case 1: match = same(y, year) && same(HalfYearMonth(m), month); break;
            case 3: match = same(y, year) && same(m, month); break;
            case 2: match = same(y, year) && same(q, quarter); break;
            default: break;
            }
            if (match) page = p;
        }
        if (!page) {
            if (const uint16_t s = r->AppendRowColPage(1, 2)) {
                const int id = s == 1035   ? qor::str::kInsertPageWriteError
                               : s == 1040 ? qor::str::kInsertPageNoMemory
                               : s == 1090 ? qor::str::kInsertPageNoDiskSpace
                                           : qor::str::kInsertPageFailed;
                tell(LoadErrorText(id));
                m_pDoc->SyncPagesFromReport();
                return false;
            }
            page = r->GetPageCount();
        }
        m_pDoc->SyncPagesFromReport();
        m_pDoc->SetCurrentPage(page);
        r->SetPageKeyword(2, KeywordValue{1, double(year), {}}, page);
        r->SetPageKeyword(4, KeywordValue{1, double(month), {}}, page);
        r->SetPageKeyword(3, KeywordValue{1, double(quarter), {}}, page);
        m_strTakingIn = name;
        // Two files of one period fill one page: the later one's values
        // stand, and the clerk is told which file they replaced.
        if (const QString earlier = filled.value(page); !earlier.isEmpty())
            notTaken(LoadErrorText(qor::str::kIssuedSamePeriod).arg(earlier).arg(page));
        filled[page] = name;
        ImportDownloadFile(reportPath, file.GetRootElement(), page);
        m_strTakingIn.clear();
        m_takeIn.periods << QStringLiteral("%1-%2").arg(year).arg(month, 2, 10, QLatin1Char('0'));
        if (!copyReplacing(dir.filePath(name), QDir(StripExtension(reportPath)).filePath(name)))
            TraceMessage(LoadErrorText(qor::str::kIssuedCopyNotSaved) + name);
    }
    // A cell written twice (an item repeated, two files of one period) is
    // one cell changed, and one written back to what it held is none.
    m_takeIn.changedCells = 0;
    for (auto it = m_before.cbegin(); it != m_before.cend(); ++it) {
        CellValue now;
        const int page = int(it.key() >> 32), row = int((it.key() >> 16) & 0xFFFF), col = int(it.key() & 0xFFFF);
        if (r->GetCellValue(&now, row, col, page) != 0 || !(now == it.value())) ++m_takeIn.changedCells;
    }
    m_before.clear();
    // The formulas of a page read what came down: its totals show (and
    // are saved and sent up) as computed from it.
    QList<int> pages = filled.keys();
    std::sort(pages.begin(), pages.end());
    for (int page : pages)
        if (const uint16_t st = r->RecalcPage(page); st > 1)
            TraceMessage(LoadErrorText(qor::str::kRecalcFailed) + StatusText(st));
    m_pDoc->SyncPagesFromReport();
    return true;
}

void CConsolExchange::ImportDownloadFile(const QString& reportPath, const XmlNode& root, int page) {
    bool taken = false;
    // The items of this file taken in, with the value that stands; one
    // that came more than once is named with it after the whole file.
    struct Stood {
        int row = 0, col = 0;
        QString text;
        bool repeated = false;
    };
    QHash<QString, Stood> stood;
    QStringList repeated;
    for (const XmlNode& block : ElementChildren(root)) {
        if (!block.tagName().startsWith(QStringLiteral("SampleData"))) continue;
        // Every item of this sheet lands; items of the sample's other
        // sheets belong to their own reports; an item the sample does not
        // know is named, and the items after it are still read.
        for (const XmlNode& value : ElementChildren(block)) {
            int col = 0, row = 0;
            if (FindAliasCell(m_strReportName, value.tagName(), &col, &row)) {
                if (!SetCellFromElement(row, col, value, page)) continue;
                taken = true;
                // One item twice in a file (within a block or across two)
                // fills one cell: the later value stands, and is named.
                const auto it = stood.find(value.tagName());
                if (it == stood.end()) {
                    stood.insert(value.tagName(), Stood{row, col, value.text().trimmed()});
                    continue;
                }
                it->text = value.text().trimmed();
                if (!it->repeated) repeated << value.tagName();
                it->repeated = true;
            } else if (!IsSampleAlias(value.tagName())) {
                notTaken(LoadErrorText(qor::str::kIssuedItemUnknown).arg(value.tagName()));
            }
        }
    }
    for (const QString& item : repeated) {
        const Stood& it = stood[item];
        int pr = it.row, pc = it.col;
        pageCell(page, it.row, it.col, &pr, &pc);
        notTaken(LoadErrorText(qor::str::kIssuedItemRepeated)
                     .arg(item)
                     .arg(page)
                     .arg(FormatCellRef(pc - 1, pr - 1), it.text));
    }
    if (!taken) ExchangeSpecialTables(1, reportPath, root, page);
}

bool CConsolExchange::pageCell(int page, int row, int col, int* pageRow, int* pageCol) const {
    CReportHandle* r = report();
    CellArea shown;
    if (!r || row < 1 || col < 1 || row > 0xFFFF || col > 0xFFFF ||
        r->ShownAreaOnPage(page, AreaRecord{uint16_t(row), uint16_t(col), uint16_t(row), uint16_t(col)},
                           &shown) != 0)
        return false;
    *pageRow = shown.first.row;
    *pageCol = shown.first.col;
    return true;
}

bool CConsolExchange::SetCellFromElement(int row, int col, const XmlNode& element, int page) {
    CReportHandle* r = report();
    if (!r) return false;
    int pr = row, pc = col;
    pageCell(page, row, col, &pr, &pc);
    const quint64 key = (quint64(page) << 32) | (quint64(pr) << 16) | quint64(pc);
    if (!m_before.contains(key)) {
        CellValue before;
        if (r->GetCellValue(&before, pr, pc, page) != 0) before.kind = -1;
        m_before.insert(key, before);
    }
    const QString text = element.text().trimmed();
    const QString where = FormatCellRef(pc - 1, pr - 1);
    QString kept;
    switch (StoreDownloadValue(*r, row, col, page, element.text(), &kept)) {
    case DownloadStore::Kept:
        // The report holds the amount to its cell's decimals, and sends up
        // what it holds: the clerk is told the amount changed.
        if (!kept.isEmpty())
            notTaken(LoadErrorText(qor::str::kIssuedValueRounded)
                         .arg(element.tagName(), text)
                         .arg(page)
                         .arg(where, kept));
        return true;
    case DownloadStore::LabelCell:
        notTaken(LoadErrorText(qor::str::kIssuedCellIsLabel).arg(element.tagName(), text).arg(page).arg(where));
        return false;
    case DownloadStore::FormulaCell:
        notTaken(LoadErrorText(qor::str::kIssuedCellHasFormula).arg(element.tagName(), text).arg(page).arg(where));
        return false;
    case DownloadStore::TooLarge:
        notTaken(LoadErrorText(qor::str::kIssuedValueTooLarge)
                     .arg(element.tagName(), text, LoadErrorText(qor::str::kTooManyIntegerDigits)));
        return false;
    case DownloadStore::NotNumber:
    case DownloadStore::Refused:
        break;
    }
    notTaken(LoadErrorText(qor::str::kIssuedValueNotNumber).arg(element.tagName(), text));
    return false;
}

bool CConsolExchange::IsSampleAlias(const QString& alias) {
    aliasCells(m_strReportName);
    return m_aliasByName.contains(alias);
}

void CConsolExchange::notTaken(const QString& what) {
    const QString line = m_strTakingIn.isEmpty()
                             ? what
                             : LoadErrorText(qor::str::kNameAndText).arg(m_strTakingIn, what);
    TraceMessage(line);
    m_takeIn.notTaken << line;
}

QString CConsolExchange::failedAliasCell(int page) {
    CReportHandle* r = report();
    if (!r) return QString();
    for (const AliasCell& a : aliasCells(m_strReportName)) {
        int row = 0, col = 0;
        if (a.col == 0 || !pageCell(page, a.row, a.col, &row, &col)) continue;
        if (r->CellValueFailed(row, col, page))
            return LoadErrorText(qor::str::kUploadCellFailed)
                .arg(page)
                .arg(pagePeriod(page), FormatCellRef(col - 1, row - 1), a.alias);
        // A formula that was never computed on the page leaves its cell
        // without a value: the upload would lack the item altogether.
        if (aliasFormulaWithoutValue(page, a))
            return LoadErrorText(qor::str::kUploadCellNoValue)
                .arg(page)
                .arg(pagePeriod(page), FormatCellRef(col - 1, row - 1), a.alias);
    }
    return QString();
}

bool CConsolExchange::aliasFormulaWithoutValue(int page, const AliasCell& a) {
    CReportHandle* r = report();
    int row = 0, col = 0, formatRow = 0, formatCol = 0;
    if (!r || a.col == 0 || !pageCell(page, a.row, a.col, &row, &col) ||
        !pageCell(0, a.row, a.col, &formatRow, &formatCol) || r->GetCellFormulaState(formatRow, formatCol) == 0)
        return false;
    CellValue v;
    return r->GetCellValue(&v, row, col, page) == 0 && v.kind == kCellUnset;
}

void CConsolExchange::ExchangeSpecialTables(int mode, const QString& reportPath,
                                            const XmlNode& other, int page) {
    CReportHandle* r = report();
    if (!r || other.isNull()) return;
    const QString b = m_strReportName;
    QStringList cleared;
    QString firmName, firmCode;
    SplitFirmFolder(reportPath, &firmName, &firmCode);
    for (const XmlNode& table : ElementChildren(sampleRoot())) {
        const QString tag = table.tagName();
        if (!tableFits(tag, b)) continue;
        const QList<XmlNode> items = ElementChildren(table);
        if (mode == 0) {
            if (!cleared.contains(tag)) {
                for (const XmlNode& old : ElementChildren(other))
                    if (old.tagName() == tag) XmlNode(other).removeChild(old);
                cleared << tag;
            }
            const XmlNode out = AppendXmlChildElement(other, tag, QString());
            for (const XmlNode& item : items) {
                int col = 0, row = 0;
                const QString text = item.text().trimmed();
                AppendXmlChildElement(out, item.tagName(),
                                      MatchCellCoordinate(text, b, &col, &row)
                                          ? UploadValue(*r, row, col, page)
                                          : item.text());
            }
            AppendXmlChildElement(out, QStringLiteral("SelfFirmCode"), firmCode);
            AppendXmlChildElement(out, QStringLiteral("SelfFirmName"), firmName);
            continue;
        }
        const QString keyTag = tag == u"ReadyRate" ? QStringLiteral("ItemCode")
                                                   : QStringLiteral("OtherFirmCode");
        const XmlNode key = childByTag(table, keyTag);
        if (key.isNull()) continue;
        const XmlNode itemCode = childByTag(table, QStringLiteral("ItemCode"));
        if (tag == u"Trade" && itemCode.isNull()) continue;
        XmlNode source;
        for (const XmlNode& c : ElementChildren(other)) {
            if (c.tagName() != tag) continue;
            const XmlNode k = childByTag(c, keyTag);
            if (k.isNull() || k.text() != key.text()) continue;
            if (tag == u"Trade") {
                const XmlNode ic = childByTag(c, QStringLiteral("ItemCode"));
                if (ic.isNull() || ic.text() != itemCode.text()) continue;
            }
            source = c;
            break;
        }
        if (source.isNull()) continue;
        for (const XmlNode& item : items) {
            int col = 0, row = 0;
            if (!MatchCellCoordinate(item.text().trimmed(), b, &col, &row)) continue;
            const XmlNode value = childByTag(source, item.tagName());
            if (!value.isNull()) SetCellFromElement(row, col, value, page);
        }
    }
}

// ---------------------------------------------------------------------------
// Saving

int CConsolExchange::CheckPeriodsUnchanged(CQorsDoc& doc) {
    if (doc.Files().GetClientMarker() != kConsolClientMarker) return 1;
    const QStringList now = doc.Files().CurrentPagePeriods();
    for (const QString& period : doc.Files().GetPagePeriods()) {
        if (period == u"0-0-0" || now.contains(period)) continue;
        tell(LoadErrorText(qor::str::kConsolPeriodFixed));
        return 0;
    }
    return 1;
}

int CConsolExchange::RecordPagePeriods(CQorsDoc& doc) {
    doc.Files().RecordPagePeriods();
    return 1;
}

int CConsolExchange::ValidateBeforeSave(CQorsDoc& doc) {
    if (m_nSaving) return 1;
    m_pDoc = &doc;
    CReportHandle* r = doc.GetReport();
    if (!r) return 1;
    if (!CheckPeriodsUnchanged(doc)) return 0;
    const DataStateForReading reading(doc);
    if (!reading.ok()) {
        tell(LoadErrorText(qor::str::kConsolValuesUnreadable));
        return 0;
    }
    const auto refuse = [](int id, QStringList values) {
        tell(FillMessageText(LoadErrorText(id), values));
        return 0;
    };
    QString why;
    const bool haveSample = !doc.GetPathName().isEmpty() && loadSample(doc.GetPathName(), &why);
    if (!haveSample) TraceMessage(why + LoadErrorText(qor::str::kSampleRulesNotChecked));
    readKindAside();
    const int pages = r->GetPageCount();
    std::vector<int> years(pages + 1), months(pages + 1), quarters(pages + 1);
    const bool yearPlaced = keywordPlaced(r, 2), monthPlaced = keywordPlaced(r, 4),
               quarterPlaced = keywordPlaced(r, 3);
    m_sample.SetReport(r);
    for (int p = 1; p <= pages && haveSample; ++p)
        for (const AliasCell& a : aliasCells(m_strReportName))
            if (aliasFormulaWithoutValue(p, a)) {
                if (const uint16_t st = r->RecalcPage(p); st > 1)
                    TraceMessage(LoadErrorText(qor::str::kRecalcFailed) + StatusText(st));
                break;
            }
    for (int p = 1; p <= pages; ++p) {
        const QString n = QString::number(p);
        years[p] = pageKeyword(r, 2, p);
        months[p] = pageKeyword(r, 4, p);
        quarters[p] = pageKeyword(r, 3, p);
        if (yearPlaced && years[p] == 0) return refuse(qor::str::kYearKeywordRequired, {n});
        if (yearPlaced && years[p] > kLatestPageYear) return refuse(qor::str::kYearKeywordMax2050, {n});
        if (monthPlaced && months[p] == 0) return refuse(qor::str::kMonthKeywordRequired, {n});
        if (quarterPlaced && quarters[p] == 0)
            return refuse(qor::str::kQuarterKeywordRequired, {n});
        if (haveSample && !m_sample.ReadDataValidation(m_worksheet, p)) return 0;
        // A failed formula's cell holds no amount: sent up, or left out of
        // the upload, it would tell the server something false.
        if (const QString failed = haveSample ? failedAliasCell(p) : QString(); !failed.isEmpty()) {
            tell(failed);
            return 0;
        }
    }
    if (m_nKind == 1 && monthPlaced)
        for (int p = 1; p <= pages; ++p)
            if (months[p] != 1 && months[p] != 7)
                return refuse(qor::str::kHalfYearMonthOneOrSeven, {QString::number(p)});
    for (int i = 1; i <= pages; ++i)
        for (int j = i + 1; j <= pages; ++j) {
            const QStringList ij{QString::number(i), QString::number(j)};
            const bool sameYear = years[i] == years[j];
            switch (m_nKind) {
                case 0:
                    if (sameYear) return refuse(qor::str::kAnnualKeywordRepeated, ij);
                    break;
                case 1:
                    if (sameYear && months[i] == months[j])
                        return refuse(qor::str::kHalfYearKeywordRepeated, ij);
                    break;
                case 2:
                    if (sameYear && quarters[i] == quarters[j])
                        return refuse(qor::str::kQuarterlyKeywordRepeated, ij);
                    break;
                case 3:
                    if (sameYear && months[i] == months[j])
                        return refuse(qor::str::kMonthlyKeywordRepeated, ij);
                    break;
                default:
                    break;
            }
        }
    return 1;
}

int CConsolExchange::WriteUploadFiles(CQorsDoc& doc, const QString& reportPath) {
    m_pDoc = &doc;
    return WriteUploadFiles(reportPath);
}

int CConsolExchange::WriteUploadFiles(const QString& reportPath) {
    CReportHandle* r = report();
    if (!r) return 0;
    const QString p = QDir::fromNativeSeparators(reportPath);
    QString why;
    if (!loadSample(p, &why)) {
        tell(LoadErrorText(qor::str::kUploadNotWritten) + why);
        return 0;
    }
    // The values are those of the pages, which format state does not show:
    // an upload written from there would replace the last one with nothing.
    const DataStateForReading reading(*m_pDoc);
    if (!reading.ok()) {
        tell(LoadErrorText(qor::str::kUploadNotWritten) + LoadErrorText(qor::str::kConsolValuesUnreadable));
        return 0;
    }
    readKindAside();
    // Every page is written whatever an earlier one met, and each one that
    // was not is named.
    int written = 1;
    for (int page = 1; page <= r->GetPageCount(); ++page) {
        if (WritePageUploadFile(p, page)) continue;
        const QString period = pagePeriod(page);
        tell(LoadErrorText(qor::str::kSavedButUploadNotWritten).arg(page).arg(period, QDir::toNativeSeparators(GetUploadDir(p))));
        written = 0;
    }
    return written;
}

int CConsolExchange::WritePageUploadFile(const QString& reportPath, int page) {
    CReportHandle* r = report();
    if (!r || m_worksheet.isNull()) return 0;
    const QString b = ReportName(reportPath);
    m_strReportName = b;
    if (const QString failed = failedAliasCell(page); !failed.isEmpty()) {
        TraceMessage(failed);
        return 0;
    }
    const QString period = pagePeriod(page);
    if (!QDir().mkpath(GetUploadDir(reportPath))) return 0;
    CXmlDocHelper up;
    up.Open(QDir(GetUploadDir(reportPath)).filePath(period + QStringLiteral(".xml")));
    if (up.LoadFailed()) {
        TraceMessage(LoadErrorText(qor::str::kUploadUnreadable) + up.GetFileName());
        return 0;
    }
    XmlNode root = up.GetRootElement();
    if (root.isNull()) return 0;
    bool ok = true;
    if (childByTag(root, QStringLiteral("SampleID")).isNull()) {
        up.AppendXmlChildElement(root, QStringLiteral("SampleID"), m_sample.GetSampleId());
        up.AppendXmlChildElement(root, QStringLiteral("SampleName"), m_sample.GetSampleName());
    }
    if (childByTag(root, QStringLiteral("Surface")).isNull()) {
        QString firmName, firmCode;
        UploadFirm(reportPath, &firmName, &firmCode);
        const XmlNode s = up.AppendXmlChildElement(root, QStringLiteral("Surface"), QString());
        const std::pair<const char*, QString> parts[] = {
            {"SurfaceID", {}},       {"sType", KindLetter(m_nKind)}, {"TypeValue", period},
            {"SDealFirmCode", firmCode}, {"ReportFirmCode", firmCode}, {"ReportNote", {}},
            {"ReportFirmName", firmName}, {"Version", QStringLiteral("0")}, {"STimeStamp", {}}};
        for (const auto& [tag, text] : parts) up.AppendXmlChildElement(s, QLatin1String(tag), text);
    }
    if (!IsXmlName(b)) {
        TraceMessage(LoadErrorText(qor::str::kReportNameNotElement).arg(b));
        ok = false;
    } else {
        for (const XmlNode& old : ElementChildren(root))
            if (old.tagName() == b) root.removeChild(old);
        const XmlNode values = up.AppendXmlChildElement(root, b, QString());
        bool anyCell = false;
        for (const AliasCell& a : aliasCells(b)) {
            if (a.col == 0) continue;
            anyCell = true;
            const QString text = UploadValue(*r, a.row, a.col, page);
            if (text.isEmpty()) continue;
            if (!IsXmlName(a.alias)) {
                TraceMessage(LoadErrorText(qor::str::kAliasNotElement).arg(a.alias));
                ok = false;
                continue;
            }
            up.AppendXmlChildElement(values, a.alias, text);
        }
        if (!anyCell) root.removeChild(values);
    }
    ExchangeSpecialTables(0, reportPath, root, page);
    return up.Save() && ok ? 1 : 0;
}

void qor::InstallConsolExchange() {
    SetConsolExchangeFactory([](CQorsDoc&) { return std::make_unique<CConsolExchange>(); });
}
