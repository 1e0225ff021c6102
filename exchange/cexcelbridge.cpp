#include "exchange/cexcelbridge.h"

#include <new>

#include "engine/messages.h"
#include "engine/status.h"

namespace qor {
namespace {

// A call before the object it works on exists: the workbook program
// not started, no workbook open, no sheet chosen.
[[noreturn]] void noObject(int whatId) {
    throw XlError{kXlPointer, QStringLiteral("CExcelBridge"), LoadErrorText(whatId)};
}

QString codeMeaning(uint32_t code) {
    switch (code) {
        case kXlPointer:
            return LoadErrorText(str::kInvalidPointer);
        case kXlFail:
            return LoadErrorText(str::kUnspecifiedError);
        case kXlArgument:
            return LoadErrorText(str::kInvalidArgument);
        case kXlNotImpl:
            return LoadErrorText(str::kNotImplemented);
        case kXlObjectError:
            return LoadErrorText(str::kWorkbookDeclinedCall);
        default:
            return LoadErrorText(str::kUnknownErrorCode).arg(code, 8, 16, QLatin1Char('0'));
    }
}

}  // namespace
}  // namespace qor

using qor::noObject;
using qor::XlError;

// A failed workbook call is told to the trace (the status line, or the
// command line when its verb fails), never printed on standard output,
// which belongs to whoever runs the program.
void DumpComError(const XlError& e) {
    TraceMessage(
        LoadErrorText(qor::str::kWorkbookCallFailed)
            .arg(QString::number(static_cast<unsigned long>(e.code), 16).rightJustified(8, u'0'),
                 qor::codeMeaning(e.code), e.source, e.description));
}

CExcelBridge::CExcelBridge() = default;

// The server is not quit here: a bridge dropped without QuitExcel lets its
// workbooks go with it, unsaved.
CExcelBridge::~CExcelBridge() = default;

int CExcelBridge::StartExcel() {
    try {
        m_worksheet = nullptr;
        m_sheets = nullptr;
        m_workbook = nullptr;
        m_workbooks = nullptr;
        m_application = std::make_unique<qor::XlApplication>();
        m_application->setVisible(false);
        m_workbooks = m_application.get();
        return 1;
    } catch (const XlError& e) {
        DumpComError(e);
        return 0;
    } catch (const std::bad_alloc&) {
        DumpComError(
            XlError{qor::kXlFail, QStringLiteral("CExcelBridge"), StatusText(Status::OutOfMemory)});
        return 0;
    }
}

qor::XlWorksheet* CExcelBridge::activeSheet() {
    if (!m_application) noObject(qor::str::kWorkbookProgramNotStarted);
    return m_application->activeSheet();
}

int CExcelBridge::CreateWorkbookFile(QString path) {
    if (!m_workbooks) noObject(qor::str::kWorkbookProgramNotStarted);
    qor::XlWorkbook* fresh = m_workbooks->addWorkbook();
    m_workbook = fresh;
    m_workbook->setSaved(true);
    m_workbooks->saveCopyAs(m_workbook, path);
    m_workbook = m_workbooks->openWorkbook(path);
    // The first new workbook stays open, unnamed and marked saved, until
    // the server quits.
    m_sheets = m_workbook;
    m_worksheet = activeSheet();
    return 1;
}

void CExcelBridge::NewWorkbook() {
    if (!m_workbooks) noObject(qor::str::kWorkbookProgramNotStarted);
    m_workbook = m_workbooks->addWorkbook();
    m_sheets = m_workbook;
    m_worksheet = activeSheet();
}

void CExcelBridge::OpenWorkbookFile(QString path) {
    if (!m_workbooks) noObject(qor::str::kWorkbookProgramNotStarted);
    m_workbook = m_workbooks->openWorkbook(path);
    if (m_workbook) {
        m_sheets = m_workbook;
        m_worksheet = activeSheet();
    }
}

int CExcelBridge::AddWorksheet(QString name, int first) {
    if (!m_application) noObject(qor::str::kWorkbookProgramNotStarted);
    auto deleteQuietly = [this](qor::XlWorksheet* ws) {
        qor::XlWorkbook* owner = m_application->activeWorkbook();
        try {
            if (!owner) noObject(qor::str::kNoWorkbookOpen);
            owner->deleteSheet(ws);
            if (m_worksheet == ws) m_worksheet = nullptr;
        } catch (const XlError&) {
            // The last sheet of a workbook cannot go; the new sheet takes
            // its place further on.
        }
    };
    if (first) {
        m_application->setDisplayAlerts(false);
        for (int i = 0; i < 2; ++i) {
            m_worksheet = activeSheet();
            if (m_worksheet) deleteQuietly(m_worksheet);
        }
        m_worksheet = activeSheet();
        qor::XlWorksheet* before = m_worksheet;
        if (!m_sheets) noObject(qor::str::kNoSheet);
        m_sheets->addSheet();
        if (before) deleteQuietly(before);
        m_worksheet = activeSheet();
        if (m_worksheet) m_sheets->renameSheet(m_worksheet, name);
    } else {
        if (!m_sheets) noObject(qor::str::kNoSheet);
        m_sheets->addSheet();
        m_worksheet = activeSheet();
        if (!m_worksheet) noObject(qor::str::kNoSheet);
        m_sheets->renameSheet(m_worksheet, name);
    }
    return 1;
}

int CExcelBridge::SaveWorkbook() {
    if (!m_workbook || !m_application) noObject(qor::str::kNoWorkbookOpen);
    m_workbook->setSaved(false);
    m_application->save(m_workbook);
    return 1;
}

void CExcelBridge::CloseWorkbook() {
    if (!m_workbook || !m_application) noObject(qor::str::kNoWorkbookOpen);
    m_application->close(m_workbook);
    // The closed workbook and its sheets are gone: later calls through them
    // fail as calls on missing objects.
    m_workbook = nullptr;
    if (!m_application->isOpen(m_sheets)) {
        m_sheets = nullptr;
        m_worksheet = nullptr;
    }
}

void CExcelBridge::QuitExcel() {
    try {
        if (!m_application) noObject(qor::str::kWorkbookProgramNotStarted);
        m_application->quit();
        m_worksheet = nullptr;
        m_sheets = nullptr;
        m_workbook = nullptr;
        m_workbooks = nullptr;
        m_application.reset();
    } catch (const XlError& e) {
        DumpComError(e);
    }
}

std::optional<int> LineCodeToExcelBorder(int lineCode, int* lineStyle) {
    namespace xl = qor::xl;
    struct Entry {
        int style;
        int weight;  // 0: left as it is
    };
    static constexpr Entry table[8] = {
        {xl::kLineNone, 0},           {xl::kContinuous, xl::kThin},    {xl::kDash, xl::kThin},
        {xl::kDot, xl::kThin},        {xl::kDashDot, xl::kThin},       {xl::kDashDotDot, xl::kThin},
        {xl::kContinuous, xl::kThin}, {xl::kSlantDashDot, xl::kThick},
    };
    const Entry e = lineCode >= 0 && lineCode < 8 ? table[lineCode] : Entry{xl::kContinuous, 0};
    *lineStyle = e.style;
    if (e.weight == 0) return std::nullopt;
    return e.weight;
}
