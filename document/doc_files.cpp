// Opening and saving the document by file type, the "OTHERS" and
// "Contents" streams, templates and the consolidation client's exchange.

#include "document/doc_files.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <map>

#include "charts/contentsstream.h"
#include "document/cqorsdoc.h"
#include "engine/creportfile.h"
#include "engine/creporthandle.h"
#include "engine/inusemarker.h"
#include "engine/messages.h"
#include "engine/openreports.h"
#include "engine/reportpassword.h"
#include "engine/varlines.h"
#include "engine/status.h"
#include "engine/workfiles.h"
#include "exchange/ownxml_import.h"
#include "exchange/spreadsheetxml.h"
#include "platform/compoundfile.h"
#include "platform/inifile.h"
#include "platform/uiservices.h"

using namespace qor;

namespace {

std::map<QString, std::shared_ptr<IDocConverter>>& converters() {
    static std::map<QString, std::shared_ptr<IDocConverter>> table;
    return table;
}

ConsolExchangeFactory& factorySlot() {
    static ConsolExchangeFactory factory;
    return factory;
}

void tell(const QString& text, MsgIcon icon = MsgIcon::Warning) {
    TraceMessage(text);
    messageBox(text, QString(), MsgButtons::Ok, icon);
}

QString suffixOf(const QString& path) { return QFileInfo(path).suffix().toLower(); }

bool isRepSuffix(const QString& suffix) { return suffix.isEmpty() || suffix == u"rep"; }

// A fresh name for a report that has no file of its own yet.
// It lives among this process's working files, so that it goes when the
// process does, however it ends.
QString newTemporaryReportPath() {
    QString name;
    const int fd = CreateWorkFile(QStringLiteral(".rep"), &name);
    if (fd < 0) return QString();
    ::close(fd);
    QFile::remove(name);
    return name;
}

std::unique_ptr<CReportHandle> newTemporaryReport(QString* path) {
    *path = newTemporaryReportPath();
    if (path->isEmpty()) return nullptr;
    auto report = std::make_unique<CReportHandle>(*path, CReportHandle::OpenMode::OpenOrCreate);
    if (!report->IsOpen()) {
        QFile::remove(*path);
        path->clear();
        return nullptr;
    }
    return report;
}

}  // namespace

// ---------------------------------------------------------------------------
// Registries

std::shared_ptr<IDocConverter> qor::RegisterDocConverter(const QString& extension,
                                                         std::shared_ptr<IDocConverter> converter) {
    const QString key = extension.toLower();
    auto& table = converters();
    std::shared_ptr<IDocConverter> old;
    if (auto it = table.find(key); it != table.end()) old = it->second;
    if (converter)
        table[key] = std::move(converter);
    else
        table.erase(key);
    return old;
}

std::shared_ptr<IDocConverter> qor::FindDocConverter(const QString& extension) {
    auto& table = converters();
    auto it = table.find(extension.toLower());
    return it == table.end() ? nullptr : it->second;
}

QStringList qor::KnownDocFileTypes() {
    // What is registered, so that a list shown to the user never misses a
    // type that was added.
    QStringList types{QStringLiteral("rep")};
    for (const auto& [extension, converter] : converters())
        if (converter) types << extension;
    return types;
}

ConsolExchangeFactory qor::SetConsolExchangeFactory(ConsolExchangeFactory factory) {
    ConsolExchangeFactory old = std::move(factorySlot());
    factorySlot() = std::move(factory);
    return old;
}


// ---------------------------------------------------------------------------
// The report of the document

DocFiles::DocFiles(CQorsDoc& doc) : m_doc(doc) {}

DocFiles::~DocFiles() = default;

void DocFiles::resetFields() {
    m_doc.resetFields();
    m_nClientMarker = 0;
    m_pagePeriods.clear();
    m_strFilePassword.clear();
    m_unknownOthers.clear();
}

// ---------------------------------------------------------------------------
// The report of the document

void DocFiles::adoptReport(std::unique_ptr<CReportHandle> report, const QString& pathName,
                           bool markedInUse) {
    m_doc.m_pReport = std::move(report);
    m_doc.m_strPathName = pathName;
    m_strMarkedPath = markedInUse ? pathName : QString();
    m_doc.m_bDataState = m_doc.m_pReport->IsFormatState() ? 0 : 1;
    m_doc.m_formulasAtFormatEntry = m_doc.formulaSignature();
    m_doc.m_view.pageCount = m_doc.m_pReport->GetPageCount();
    m_doc.readPageSetup();
    std::array<uint32_t, 4> view{};
    m_doc.m_pReport->GetSavedViewState(&view);
    m_doc.m_view.savedViewState = view;
    CustomKeywordName = m_doc.m_pReport->GetReportFile()->GetUserKeywordName();
}

QString DocFiles::GetTitle() const {
    const QString path = m_doc.m_strPathName.isEmpty() ? m_strOpenedFrom : m_doc.m_strPathName;
    return path.isEmpty() ? QString() : QFileInfo(path).fileName();
}

void DocFiles::ReleaseReport() {
    m_doc.m_items->Clear();
    m_pConsolExchange.reset();
    m_doc.m_pReport.reset();
    if (!m_strMarkedPath.isEmpty()) MarkReportClosed(m_strMarkedPath);
    if (!m_strTempReport.isEmpty()) QFile::remove(m_strTempReport);
    m_strMarkedPath.clear();
    m_strTempReport.clear();
    m_doc.m_strPathName.clear();
    m_strOpenedFrom.clear();
    m_doc.m_bModified = false;
}

void DocFiles::applyOthers(const DocOthers& o) {
    m_strFilePassword = o.filePassword;
    m_doc.m_view.showPageBreaks = o.showPageBreaks ? 1 : 0;
    m_doc.m_items->SetChartCounter(int32_t(o.chartCounter));
    m_doc.m_view.manualBreaks = o.manualBreaks;
    m_pagePeriods = o.pagePeriods;
    m_unknownOthers = o.unknownRecords;
    m_nClientMarker = o.clientMarker;
    m_doc.m_view.curPage = int32_t(std::min<uint32_t>(o.currentPage, kMaxPages));
}

DocOthers DocFiles::collectOthers(const QStringList& periods) const {
    DocOthers o;
    o.filePassword = m_strFilePassword;
    o.showPageBreaks = m_doc.m_view.showPageBreaks != 0;
    o.dataState = m_doc.m_pReport ? !m_doc.m_pReport->IsFormatState() : m_doc.m_bDataState != 0;
    o.currentPage = uint32_t(std::max(0, int(m_doc.m_view.curPage)));
    o.chartCounter = uint32_t(std::max(0, int(m_doc.m_items->ChartCounter())));
    o.manualBreaks = m_doc.m_view.manualBreaks;
    o.pagePeriods = periods;
    o.unknownRecords = m_unknownOthers;
    o.clientMarker = m_nClientMarker;
    return o;
}

bool DocFiles::writeDocumentStreams(const QStringList& periods, QString* error) {
    CReportFile* file = m_doc.m_pReport->GetReportFile();
    if (!file) {
        if (error) *error = LoadErrorText(qor::str::kNameTheReportFile);
        return false;
    }
    file->SetDocumentStream(QString::fromLatin1(kOthersStreamName),
                            encodeDocOthers(collectOthers(periods)));
    const QString contents = QString::fromLatin1(items::kContentsStreamName);
    if (!m_bKeepStoredContents) m_doc.m_items->WriteObjectStorages();
    if (m_doc.m_items->GetComItemCount() > 0)
        file->SetDocumentStream(contents, m_doc.m_items->SerializeItems());
    else if (!m_bKeepStoredContents && !file->DocumentStream(contents).isEmpty())
        file->RemoveDocumentEntry(contents);
    return true;
}

// A reader or writer that runs out of memory (a file far larger than what
// is kept of it) fails with the file's name; the program, and every other
// open report, goes on.
template <class Work>
bool withinMemory(const QString& file, QString* message, Work&& work) {
    try {
        return work();
    } catch (const std::bad_alloc&) {
        if (message) *message = NoMemoryText(file);
        return false;
    }
}

// ---------------------------------------------------------------------------
// New, open, close

bool DocFiles::OnNewDocument() {
    QString temp;
    std::unique_ptr<CReportHandle> report = newTemporaryReport(&temp);
    if (!report) {
        tell(LoadErrorText(qor::str::kCannotCreateReport).arg(StatusText(GetReportLastError())));
        return false;
    }
    ReleaseReport();
    resetFields();
    adoptReport(std::move(report), QString(), false);
    m_strTempReport = temp;
    m_bKeepStoredContents = false;
    m_doc.UpdateAllViews(CQorsDoc::kHintDocument);
    return true;
}

bool DocFiles::OnOpenDocument(const QString& path, bool forReading) {
    const QString suffix = suffixOf(path);
    if (isRepSuffix(suffix)) return OpenRepFile(path, forReading);
    // A FIFO or a device would hold the reader until someone wrote to it.
    if (const QFileInfo at(path); at.exists() && !at.isFile()) {
        tell(LoadErrorText(qor::str::kOpenNotAPlainFile).arg(path));
        return false;
    }
    const std::shared_ptr<IDocConverter> conv = FindDocConverter(suffix);
    if (!conv || !conv->CanImport()) {
        tell(LoadErrorText(qor::str::kOpenTypeUnsupported).arg(suffix, path));
        return false;
    }
    QString temp;
    std::unique_ptr<CReportHandle> report = newTemporaryReport(&temp);
    if (!report) {
        tell(LoadErrorText(qor::str::kCannotCreateReport).arg(StatusText(GetReportLastError())));
        return false;
    }
    QString message;
    // Some readers tell what they left out as they read, some list it for
    // the converter: whatever is told while reading is held back and told
    // with the rest in one box, in the words of opening, so every loss is
    // told once, as a conversion of the same file names it. A question is
    // asked when it comes up.
    QList<MessageRequest> held;
    bool imported = false;
    {
        UiServices ui = uiServices();
        ui.messageBox = [&held, inner = ui.messageBox](const MessageRequest& r) {
            if (r.buttons != MsgButtons::Ok) return inner ? inner(r) : r.defaultAnswer;
            held << r;
            return r.defaultAnswer;
        };
        const struct Restore {
            UiServices saved;
            ~Restore() { installUiServices(saved); }
        } restore{installUiServices(ui)};
        imported = withinMemory(path, &message,
                                [&] { return conv->Import(m_doc, *report, path, &message); });
    }
    if (!imported) {
        // What went wrong on the way is told as it was, before the failure.
        for (const MessageRequest& r : held) qor::uiServices().messageBox(r);
        report.reset();
        QFile::remove(temp);
        tell(message.isEmpty() ? LoadErrorText(qor::str::kImportFailed).arg(path) : message);
        return false;
    }
    // A reader that headed its list in the words of saving is read without
    // that heading.
    const QString saveHeading = LoadErrorText(qor::str::kLeftOutHeading) + u'\n';
    QStringList lines;
    for (const MessageRequest& r : held)
        lines << (r.text.startsWith(saveHeading) ? r.text.mid(saveHeading.size()) : r.text);
    const QString told = lines.join(u'\n');
    for (const QString& loss : conv->LeftOut())
        if (!told.contains(loss)) lines << loss;
    if (!lines.isEmpty())
        tell(LoadErrorText(qor::str::kNotReadHeading).arg(QFileInfo(path).fileName()) + u'\n' +
             lines.join(u'\n'));
    ReleaseReport();
    resetFields();
    adoptReport(std::move(report), QString(), false);
    m_strTempReport = temp;
    m_strOpenedFrom = path;
    m_bKeepStoredContents = false;
    if (m_doc.m_bDataState) m_doc.EnterDataState();
    // Opened, not changed: the file it came from still holds all of it, so
    // closing asks nothing until the user changes something (saving asks
    // for a report name all the same, as it has no file of its own yet).
    m_doc.SetModifiedFlag(false);
    m_doc.UpdateAllViews(CQorsDoc::kHintDocument);
    return true;
}

bool DocFiles::OpenRepFile(const QString& path, bool forReading) {
    const QString full = FullReportPath(ReportPathWithExtension(path));
    if (full.isEmpty() || !QFileInfo::exists(full)) {
        tell(LoadErrorText(qor::str::kReportFileMissing).arg(path));
        return false;
    }
    if (FindOpenReport(full)) {
        tell(LoadErrorText(qor::str::kReportAlreadyOpen).arg(full));
        return false;
    }
    QString computer;
    if (!forReading && IsReportOpenElsewhere(full, &computer)) {
        tell(full + QLatin1Char('\n') + LoadErrorText(qor::str::kReportHeldBy) + computer + LoadErrorText(qor::str::kInUseCannotOpen));
        return false;
    }
    if (!CheckReportPassword(full)) return false;
    auto report = std::make_unique<CReportHandle>(
        full, CReportHandle::OpenMode::OpenExisting,
        forReading ? CReportHandle::Access::Read : CReportHandle::Access::Write);
    if (!report->IsOpen()) {
        const QString why = report->ErrorText();
        tell(LoadErrorText(qor::str::kOpenReportFailed)
                 .arg(why.isEmpty() ? StatusText(report->OpenStatus()) : why, full));
        return false;
    }
    CReportFile* file = report->GetReportFile();
    DocOthers others;
    QString error;
    if (!decodeDocOthers(file->DocumentStream(QString::fromLatin1(kOthersStreamName)), &others,
                         &error))
        tell(LoadErrorText(qor::str::kReportSettingsDamaged).arg(error, full));
    const QByteArray contents =
        file->DocumentStream(QString::fromLatin1(items::kContentsStreamName));

    const bool marked = !forReading && MarkReportOpened(full) != 0;
    ReleaseReport();
    resetFields();
    adoptReport(std::move(report), full, marked);
    applyOthers(others);
    m_bKeepStoredContents = false;
    if (m_doc.m_items->LoadItems(contents, &error)) {
        m_doc.m_items->ReadObjectStorages();
    } else {
        // Kept in the file untouched until the document has items of its
        // own to write there.
        m_bKeepStoredContents = true;
        tell(LoadErrorText(qor::str::kReportItemsDamaged).arg(error));
    }
    if (!m_doc.m_pReport->IsFormatState()) {
        const int pages = m_doc.m_pReport->GetPageCount();
        if (m_doc.m_view.curPage < 1 || m_doc.m_view.curPage > pages) m_doc.m_view.curPage = 1;
        m_doc.EnterDataState();
    } else {
        m_doc.m_bDataState = 0;
    }
    m_doc.SetModifiedFlag(false);
    m_doc.UpdateAllViews(CQorsDoc::kHintDocument);
    return true;
}

void DocFiles::OnCloseDocument() {
    ReleaseReport();
    resetFields();
    m_doc.UpdateAllViews(CQorsDoc::kHintDocument);
}

// ---------------------------------------------------------------------------
// Save

bool DocFiles::OnSaveDocument(const QString& path) {
    if (!m_doc.m_pReport) return false;
    const QString target = path.isEmpty() ? m_doc.m_strPathName : path;
    if (target.isEmpty()) {
        tell(LoadErrorText(qor::str::kNameTheReportFile));
        return false;
    }
    const QString suffix = suffixOf(target);
    if (isRepSuffix(suffix)) return SaveRepFile(target);
    const std::shared_ptr<IDocConverter> conv = FindDocConverter(suffix);
    if (!conv || !conv->CanExport()) {
        tell(LoadErrorText(qor::str::kSaveTypeUnsupported).arg(suffix, target));
        return false;
    }
    QString message;
    if (!withinMemory(target, &message, [&] { return conv->Export(m_doc, target, &message); })) {
        tell(message.isEmpty() ? LoadErrorText(qor::str::kExportFailed).arg(target) : message);
        return false;
    }
    return true;
}

bool DocFiles::SaveRepFile(const QString& path) {
    if (!m_doc.m_pReport) return false;
    const QString target =
        path.isEmpty() ? m_doc.m_strPathName : FullReportPath(ReportPathWithExtension(path));
    if (target.isEmpty()) {
        tell(LoadErrorText(qor::str::kNameTheReportFile));
        return false;
    }
    const bool saveAs = target != m_doc.m_strPathName;
    if (saveAs) {
        CReportHandle* open = FindOpenReport(target);
        if (open && open != m_doc.m_pReport.get()) {
            tell(target + LoadErrorText(qor::str::kFileOpenSaveAsOther));
            return false;
        }
        QString computer;
        if (IsReportOpenElsewhere(target, &computer)) {
            tell(target + QLatin1Char('\n') + LoadErrorText(qor::str::kReportHeldBy) + computer +
                 LoadErrorText(qor::str::kReportHeldByEnd) + LoadErrorText(qor::str::kEnterDifferentName));
            return false;
        }
    }
    // A formula changed in format state has not computed its values yet;
    // the file gets them as data state will show them, or a report saved
    // now and opened later would keep the old results.
    if (!m_doc.m_bDataState && m_doc.m_pReport->GetPageCount() > 0 &&
        m_doc.formulaSignature() != m_doc.m_formulasAtFormatEntry && m_doc.EnterDataState())
        m_doc.SwitchToFormatState();
    IConsolExchange* exchange =
        m_nClientMarker == kConsolClientMarker ? GetConsolExchange() : nullptr;
    if (exchange && !exchange->ValidateBeforeSave(m_doc)) return false;

    // A client report is stored with the periods its pages have now: the
    // list the next save's check compares against.
    const bool client = m_nClientMarker == kConsolClientMarker;
    const QStringList periods = client ? computePagePeriods() : m_pagePeriods;
    QString error;
    if (!writeDocumentStreams(periods, &error)) {
        tell(LoadErrorText(qor::str::kSaveReportFailed).arg(error, target));
        return false;
    }
    if (saveAs) m_doc.m_pReport->SetAlternatePath(target);
    const uint16_t status = m_doc.m_pReport->Save();
    if (status) {
        if (saveAs) m_doc.m_pReport->SetAlternatePath(m_doc.m_strPathName);
        const QString why = m_doc.m_pReport->ErrorText();
        tell(LoadErrorText(qor::str::kSaveReportFailed)
                 .arg(why.isEmpty() ? StatusText(status) : why, target));
        return false;
    }
    if (saveAs) {
        if (!m_strMarkedPath.isEmpty()) MarkReportClosed(m_strMarkedPath);
        m_strMarkedPath = MarkReportOpened(target) ? target : QString();
        m_doc.m_strPathName = target;
    }
    m_doc.SetModifiedFlag(false);
    if (client) {
        m_bUploadsWritten =
            !exchange || exchange->IsSaving() || exchange->WriteUploadFiles(m_doc, target) != 0;
        m_pagePeriods = periods;
    }
    if (saveAs) m_doc.UpdateAllViews(CQorsDoc::kHintDocument);
    return true;
}

bool DocFiles::OnXmlImport() {
    if (!m_doc.m_pReport) return false;
    QString noMemory;
    const auto import = [&](int pass) {
        return withinMemory(g_strXmlExchangePath, &noMemory,
                            [&] { return ImportReportXml(m_doc.m_pReport.get(), pass) != 0; });
    };
    if (!import(kXmlImportFormatPass)) {
        if (!noMemory.isEmpty()) tell(noMemory);
        return false;
    }
    m_doc.m_view.pageCount = m_doc.m_pReport->GetPageCount();
    m_doc.SetModifiedFlag();
    m_doc.UpdateAllViews(CQorsDoc::kHintLayout);
    m_doc.UpdateServerItems();
    m_doc.EnterDataState();
    if (!import(1) && !noMemory.isEmpty()) {
        tell(noMemory);
        return false;
    }
    m_doc.m_view.pageCount = m_doc.m_pReport->GetPageCount();
    m_doc.ActivateCurrentPage();
    m_doc.SetModifiedFlag();
    m_doc.UpdateAllViews(CQorsDoc::kHintAll);
    return true;
}

bool DocFiles::OnSpreadsheetXmlImport() {
    if (!m_doc.m_pReport) return false;
    CReportHandle* report = m_doc.m_pReport.get();
    qor::SpreadsheetXmlImport r;
    withinMemory(g_strXmlExchangePath, &r.error, [&] {
        r = qor::ImportSpreadsheetXml(*report, g_strXmlExchangePath,
                                      [this, report](int rows, int cols) {
                                          uint16_t r16 = uint16_t(rows), c16 = uint16_t(cols);
                                          report->AccessTableSize(1, &r16, &c16);
                                          m_doc.UpdateAllViews(CQorsDoc::kHintLayout);
                                      });
        return r.ok;
    });
    m_doc.m_bDataState = report->IsFormatState() ? 0 : 1;
    m_doc.m_view.pageCount = report->GetPageCount();
    if (!r.ok) {
        m_doc.UpdateAllViews(CQorsDoc::kHintAll);
        tell(r.error);
        return false;
    }
    m_doc.ActivateCurrentPage();
    m_doc.SetModifiedFlag();
    m_doc.UpdateAllViews(CQorsDoc::kHintAll);
    if (const QString note = r.LeftOutText(); !note.isEmpty()) tell(note);
    return true;
}

bool DocFiles::OpenXlsFile(const QString& path) {
    if (!m_doc.m_pReport) return false;
    // The workbook is read by a converter of its own for this one import;
    // nothing else holds a workbook open for the document.
    const std::shared_ptr<IDocConverter> conv = FindDocConverter(QStringLiteral("xls"));
    if (!conv || !conv->CanImport()) {
        tell(LoadErrorText(qor::str::kNoWorkbookConverter).arg(path));
        return false;
    }
    QString message;
    const bool ok = withinMemory(
        path, &message, [&] { return conv->Import(m_doc, *m_doc.m_pReport, path, &message); });
    m_doc.m_bDataState = m_doc.m_pReport->IsFormatState() ? 0 : 1;
    m_doc.m_view.pageCount = m_doc.m_pReport->GetPageCount();
    m_doc.SetModifiedFlag();
    m_doc.UpdateAllViews(CQorsDoc::kHintDocument);
    if (!ok) {
        tell(message.isEmpty() ? LoadErrorText(qor::str::kImportWorkbookFailed).arg(path) : message);
        return false;
    }
    TraceMessage(LoadErrorText(qor::str::kFinish));
    return true;
}

// ---------------------------------------------------------------------------
// Templates

int DocFiles::CheckTemplateFile(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        tell(LoadErrorText(qor::str::kTemplateFileMissingShort));
        return 0;
    }
    if (!CompoundFile::isCompoundFile(path)) {
        tell(LoadErrorText(qor::str::kTemplateVersionError));
        return 0;
    }
    return 1;
}

int DocFiles::ApplyTemplateFile(const QString& path) {
    if (!m_doc.m_pReport || m_doc.IsEditLocked()) return 1;
    if (!CheckTemplateFile(path)) return 1;
    if (!CheckReportPassword(path)) return 1;
    if (messageBox(LoadErrorText(qor::str::kTemplateOverwritesFormat), QString(), MsgButtons::OkCancel, MsgIcon::Question,
                   MsgAnswer::Ok) != MsgAnswer::Ok)
        return 1;
    const QString full = FullReportPath(path);
    std::unique_ptr<CReportHandle> owned;
    CReportHandle* tmpl = FindOpenReport(full);
    if (!tmpl) {
        owned = std::make_unique<CReportHandle>(full, CReportHandle::OpenMode::OpenExisting,
                                                 CReportHandle::Access::Read);
        if (!owned->IsOpen()) {
            tell(LoadErrorText(qor::str::kTemplateVersionError));
            return owned->OpenStatus();
        }
        tmpl = owned.get();
    }
    if (tmpl == m_doc.m_pReport.get()) return 1;
    const bool wasData = !m_doc.m_pReport->IsFormatState();
    if (wasData && !m_doc.SwitchToFormatState()) return 1;
    const uint16_t status = m_doc.m_pReport->CopyFormatFrom(*tmpl);
    if (wasData) m_doc.EnterDataState();
    if (status) {
        QString why;
        if (const CReportFile* tf = tmpl->GetReportFile()) {
            const qor::ReportHeader& t = tf->Format().header;
            if (t.varKind)
                why = qor::VarAreaRefusal(*m_doc.m_pReport, t.varKind, t.varStart, t.varExtent);
        }
        if (why.isEmpty()) why = StatusText(status);
        tell(LoadErrorText(qor::str::kApplyTemplateFailed).arg(why));
        return status;
    }
    m_doc.readPageSetup();
    m_doc.SetModifiedFlag();
    m_doc.UpdateAllViews(CQorsDoc::kHintLayout);
    m_doc.UpdateServerItems();
    return 0;
}

// ---------------------------------------------------------------------------
// Consolidation client

IConsolExchange* DocFiles::GetConsolExchange() {
    if (!m_pConsolExchange && factorySlot()) m_pConsolExchange = factorySlot()(m_doc);
    return m_pConsolExchange.get();
}

int DocFiles::PrepareClientSamples(const QString& path, int newReport, int formatChanged) {
    IConsolExchange* exchange = GetConsolExchange();
    if (!exchange) {
        TraceMessage(LoadErrorText(qor::str::kConsolExchangeNotInstalled));
        return 0;
    }
    return exchange->PrepareSampleFiles(m_doc, path, newReport, formatChanged);
}

void DocFiles::RecordPagePeriods() { m_pagePeriods = computePagePeriods(); }

QStringList DocFiles::computePagePeriods() const {
    QStringList periods;
    if (!m_doc.m_pReport) return periods;
    const int pages = m_doc.m_pReport->GetPageCount();
    const auto part = [this](int slot, int page) {
        KeywordValue v;
        if (m_doc.m_pReport->GetPageKeyword(slot, &v, page) != 0) return 0;
        if (v.kind == 1) return int(v.number);
        if (v.kind == 2) return v.text.trimmed().toInt();
        return 0;
    };
    for (int p = 1; p <= pages; ++p)
        periods << QStringLiteral("%1-%2-%3").arg(part(2, p)).arg(part(4, p)).arg(part(5, p));
    return periods;
}

bool DocFiles::SetFilePassword(const QString& password) {
    if (password.size() > qor::kFilePasswordChars) return false;
    if (password == m_strFilePassword) return true;
    m_strFilePassword = password;
    m_doc.SetModifiedFlag();
    return true;
}

// ---------------------------------------------------------------------------
// Page setup

void CQorsDoc::readPageSetup() {
    if (!m_pReport) return;
    PageSetupBlock b;
    if (m_pReport->GetPageSetup(&b) != 0) return;
    m_pageSetup = b;
}

// ---------------------------------------------------------------------------
// Report lists in ini files

bool ReadIniReportList(const QString& iniPath, QStringList* names, QStringList* files) {
    if (names) names->clear();
    if (files) files->clear();
    IniFile ini(iniPath);
    if (!ini.exists()) return false;
    const QString section = LoadErrorText(qor::str::kReportSection);
    const int count = ini.readInt(section, QStringLiteral("个数"), 0);
    bool any = false;
    for (int i = 1; i <= count && i <= 9999; ++i) {
        const QString file = ini.readString(section, QStringLiteral("文件%1").arg(i)).trimmed();
        if (file.isEmpty()) continue;
        if (names) *names << ini.readString(section, QStringLiteral("名称%1").arg(i)).trimmed();
        if (files) *files << file;
        any = true;
    }
    return any;
}
