#pragma once
// File types the document opens and saves besides its own ".rep", and the
// consolidation client's exchange object. Both live in layers built on top
// of the document, which register their implementations here at start-up;
// until they do, a foreign file type is refused with a clear message and a
// report carrying the client marker is saved without the client's checks.

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "document/doc_others.h"

class CQorsDoc;
class CReportHandle;

namespace qor {

// Reads or writes one foreign file type (".xml", ".xls", ".dbf", ".txt",
// ".wk4", ".mdb", ".htm").
class IDocConverter {
public:
    virtual ~IDocConverter() = default;
    virtual bool CanImport() const = 0;
    virtual bool CanExport() const = 0;
    // Fills report, a new report in format state that the document takes
    // over only when this succeeds. doc is the document that will show it.
    // True on success; false with *message for the user.
    virtual bool Import(CQorsDoc& doc, CReportHandle& report, const QString& path,
                        QString* message) = 0;
    // Writes the document's report to path. True on success; false with
    // *message. The file at path must be left as it was on failure.
    virtual bool Export(CQorsDoc& doc, const QString& path, QString* message) = 0;
    // What the last successful Import or Export could not carry across, one
    // line for the user each; empty when the file holds everything.
    virtual QStringList LeftOut() const { return {}; }
};

// Registers the converter of a file extension (without the dot, any case);
// null removes it. Returns the previous one.
std::shared_ptr<IDocConverter> RegisterDocConverter(const QString& extension,
                                                    std::shared_ptr<IDocConverter> converter);
std::shared_ptr<IDocConverter> FindDocConverter(const QString& extension);
// The extensions the document opens or saves: "rep" and those of the
// registered converters.
QStringList KnownDocFileTypes();

// The consolidation client's exchange object of one document.
// What the last sample preparation took in from the download folder: the
// periods of the files read ("2004-03") and how many cells changed value.
struct DownloadTakeIn {
    QStringList periods;
    int changedCells = 0;
    // Each value, item or file that was not taken in as it was sent,
    // named with its file: a value that is no number, an item the sample
    // does not know, an amount kept rounded to its cell's decimals, a file
    // skipped or laid over another of its period.
    QStringList notTaken;
};

class IConsolExchange {
public:
    virtual ~IConsolExchange() = default;
    // 0 refuses the save (the object has told the user why).
    virtual int ValidateBeforeSave(CQorsDoc& doc) = 0;
    // Writes the upload files of a report just saved to path; 0 when some
    // page's file was not written (the object has told the user which).
    virtual int WriteUploadFiles(CQorsDoc& doc, const QString& path) = 0;
    virtual int PrepareSampleFiles(CQorsDoc& doc, const QString& path, int newReport,
                                   int formatChanged) = 0;
    // True while the exchange itself saves the report.
    virtual bool IsSaving() const = 0;
    virtual DownloadTakeIn LastTakeIn() const { return {}; }
};

using ConsolExchangeFactory = std::function<std::unique_ptr<IConsolExchange>(CQorsDoc&)>;
// Installs the factory documents make their exchange object with; an empty
// function removes it. Returns the previous one.
ConsolExchangeFactory SetConsolExchangeFactory(ConsolExchangeFactory factory);

}  // namespace qor

// Reads the report list of an ini file: section "报表" (string 62303), keys
// "个数" (count) and "名称%d" / "文件%d" for 1..count. False when the file
// lists none.
bool ReadIniReportList(const QString& iniPath, QStringList* names, QStringList* files);

namespace qor {
struct ImportLayout;
struct TextImportResult;
}  // namespace qor

// Opening, saving and closing the document's report by file type, the
// "OTHERS" stream's settings, templates, text import and the consolidation
// client's exchange. The document owns one and hands it out through
// CQorsDoc::Files().
class DocFiles {
public:
    explicit DocFiles(CQorsDoc& doc);
    ~DocFiles();
    DocFiles(const DocFiles&) = delete;
    DocFiles& operator=(const DocFiles&) = delete;

    // A new report: 50 x 7, format state, never saved (empty path name).
    bool OnNewDocument();
    // Opens a file by its type: ".rep" natively (file password, in-use
    // mark, working copy), other types through their converter. On failure
    // the user is told why and the document is left as it was.
    // forReading: the document is a source to read (a conversion's): the
    // report is opened without the writer's lock or the in-use mark, so it
    // keeps nobody out, and can only be saved under another name.
    bool OnOpenDocument(const QString& path, bool forReading = false);
    // Saves by the type of path (empty = the document's own path). A ".rep"
    // save writes "OTHERS" and the items first; a failed save leaves the
    // file at path as it was and the document modified.
    bool OnSaveDocument(const QString& path = QString());
    // False when the last save of a client report was made but some page's
    // upload file was not written (the user was told which).
    bool UploadsWritten() const { return m_bUploadsWritten; }
    // Drops the report (unsaved changes too), clears its in-use mark and
    // deletes the items.
    void OnCloseDocument();
    // The same without telling the views (the document goes).
    void ReleaseReport();

    // The native open and save behind the two above.
    bool OpenRepFile(const QString& path, bool forReading = false);
    bool SaveRepFile(const QString& path);
    // The own XML import (command 1280) from the pending exchange path:
    // the format pass, data state, then the data pass. False when the
    // format pass stops.
    bool OnXmlImport();
    // The spreadsheet XML import (command 1285) from the pending exchange
    // path: the first worksheet's layout, formats, texts and period
    // keywords, then data state. The table follows in the views as it is
    // sized. False, with the reason told, when nothing could be read.
    bool OnSpreadsheetXmlImport();
    // Imports a workbook through the registered ".xls" converter.
    bool OpenXlsFile(const QString& path);
    // Applies the format of the report template at path (format state,
    // after the question 63157). 0 applied; 1 refused or cancelled; or the
    // engine's status.
    int ApplyTemplateFile(const QString& path);
    // TRUE when path names an existing compound file; otherwise the user is
    // told ("模板文件不存在！" or 63158) and FALSE.
    static int CheckTemplateFile(const QString& path);
    // Reads the cells of a text file, its fields placed as layout says,
    // into this report: the table grows to hold them, formats and table
    // texts in format state, then keywords and values page by page in data
    // state. Lines that cannot be read are left out and listed in *result.
    // False with *error when nothing could be imported or the report
    // refused a change (doc_textexchange.cpp).
    bool ImportExportText(const QString& path, const qor::ImportLayout& layout,
                          qor::TextImportResult* result, QString* error);

    // The name a window shows for the report: its file's name, else the
    // name of the file it was opened from (a workbook, say: saving still
    // asks for a report name), else empty for a new report.
    QString GetTitle() const;
    // File password ("" removes it); stored in "OTHERS" by the next save.
    bool SetFilePassword(const QString& password);
    QString GetFilePassword() const { return m_strFilePassword; }

    // Runs the exchange object's sample preparation (made on first use).
    int PrepareClientSamples(const QString& path, int newReport, int formatChanged);
    // Rebuilds the page-period list from the year, month and day keywords
    // of every page ("0-0-0" for a page without them).
    void RecordPagePeriods();
    // The document's exchange object, made on first use; null when no
    // factory is registered.
    qor::IConsolExchange* GetConsolExchange();
    // The consolidation client's marker (kConsolClientMarker or 0).
    uint32_t GetClientMarker() const { return m_nClientMarker; }
    void SetClientMarker(uint32_t marker) { m_nClientMarker = marker; }
    // The page periods recorded at the last open or save, and the ones the
    // pages hold now.
    const QStringList& GetPagePeriods() const { return m_pagePeriods; }
    QStringList CurrentPagePeriods() const { return computePagePeriods(); }

private:
    void resetFields();
    void adoptReport(std::unique_ptr<CReportHandle> report, const QString& pathName,
                     bool markedInUse);
    void applyOthers(const qor::DocOthers& others);
    qor::DocOthers collectOthers(const QStringList& periods) const;
    QStringList computePagePeriods() const;
    bool writeDocumentStreams(const QStringList& periods, QString* error);

    CQorsDoc& m_doc;
    QString m_strOpenedFrom;  // the other type's file an unsaved report came from
    QString m_strTempReport;  // the never-saved report's own file
    QString m_strMarkedPath;  // the file this document marked in use
    bool m_bKeepStoredContents = false;  // "Contents" could not be read
    QString m_strFilePassword;
    std::vector<qor::OthersRecord> m_unknownOthers;
    uint32_t m_nClientMarker = 0;  // kConsolClientMarker for client reports
    QStringList m_pagePeriods;     // "%d-%d-%d" per page, "0-0-0" none
    std::unique_ptr<qor::IConsolExchange> m_pConsolExchange;
    bool m_bUploadsWritten = true;
};
