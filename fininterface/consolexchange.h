#pragma once
// The consolidation client's exchange with one report: taking in the
// sample workbook and the data the client sent down, the checks before a
// client report is saved, and the page upload files written after it.

#include <QHash>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

#include "document/doc_files.h"
#include "engine/celltypes.h"
#include "exchange/cxmldochelper.h"
#include "exchange/spreadsheetxml.h"

class CQorsDoc;
class CReportHandle;

class CConsolExchange : public CXmlDocHelper, public qor::IConsolExchange {
public:
    CConsolExchange();
    ~CConsolExchange() override;

    // ---- folders
    QString GetDataDir();
    QString GetSamplePath(const QString& reportPath);
    QString GetLocalSamplePath(const QString& reportPath) const;
    // The work folder and the upload folder of the report; false when
    // either cannot be made.
    bool CreateFolders(const QString& reportPath);
    // The alias rule over every SampleAlias element of the sample: first
    // match wins. Columns and rows from 1.
    bool FindAliasCell(const QString& sheetName, const QString& alias, int* col, int* row);

    // ---- taking in what the client sent down
    // Makes the folders and compares the sample with the local copy. 1
    // with *doc the document to prepare: the one showing the report, or a
    // new document when the report file does not exist yet. 0 after a
    // message when the sample is missing or no document could be had.
    int OpenDownloadedSample(const QString& reportPath, CQorsDoc** doc = nullptr);
    int FormatChanged() const { return m_nFormatChanged; }
    int NewReport() const { return m_nNewReport; }

    // Rebuilds the report from the sample when needed, takes in the
    // download files and saves the report under reportPath. 1 on success;
    // 0 (after a message) leaves the report file and local sample as they
    // were.
    int PrepareSampleFiles(CQorsDoc& doc, const QString& reportPath, int newReport,
                           int formatChanged) override;
    // Only for a changed format: asks whether to copy the report file
    // first. False when a backup was wanted and did not happen.
    bool OfferBackup(const QString& reportPath);
    // Each download file selects or appends its page. False when a page
    // could not be appended (the import stops there).
    bool ImportDownloadFiles(const QString& reportPath);
    void ImportDownloadFile(const QString& reportPath, const qor::XmlNode& root, int page);
    // mode 0 writes the sample's special tables of the page into other
    // (an upload root); mode 1 reads them from other (a download root).
    void ExchangeSpecialTables(int mode, const QString& reportPath, const qor::XmlNode& other,
                               int page);
    // False when the element's text is no number (the value is then named
    // among those not taken in).
    bool SetCellFromElement(int row, int col, const qor::XmlNode& element, int page);
    // True when some SName of the sample holds alias, whatever its sheet.
    bool IsSampleAlias(const QString& alias);

    // ---- saving
    int ValidateBeforeSave(CQorsDoc& doc) override;
    int CheckPeriodsUnchanged(CQorsDoc& doc);
    int RecordPagePeriods(CQorsDoc& doc);
    // One upload file per page; 1 when all were written, else 0 after
    // telling the user each page (and period) whose file was not written.
    int WriteUploadFiles(const QString& reportPath);
    int WriteUploadFiles(CQorsDoc& doc, const QString& reportPath) override;
    int WritePageUploadFile(const QString& reportPath, int page);
    bool IsSaving() const override { return m_nSaving != 0; }
    qor::DownloadTakeIn LastTakeIn() const override { return m_takeIn; }

private:
    // Loads the report's sample workbook and its worksheet; false (with
    // *why) when the file or the worksheet is missing or unreadable.
    bool loadSample(const QString& reportPath, QString* why);
    // Reads the sample's report kind without touching the document.
    void readKindAside();
    qor::XmlNode sampleRoot() const { return m_sample.GetRootElement(); }
    CReportHandle* report() const;
    // The period that names the page's upload file: year and month, or
    // year and quarter for a quarterly sample.
    QString pagePeriod(int page) const;

    int32_t m_nFormatChanged = 0;
    int32_t m_nNewReport = 0;
    CSpreadsheetXmlDoc m_sample;
    CQorsDoc* m_pDoc = nullptr;
    int32_t m_nSaving = 0;
    qor::DownloadTakeIn m_takeIn;
    QString m_strDataDir;
    QString m_strReportName;

    QString m_strSamplePath;  // the sample m_sample holds
    // The aliases of sheet m_aliasSheet in the order of their SName
    // elements, each with its cell (column 0: the alias has none there).
    struct AliasCell {
        QString alias;
        int col = 0, row = 0;
    };
    QList<AliasCell> m_aliasCells;
    QString m_aliasSheet;
    // Every alias of the sample by name, with the index in m_aliasCells of
    // its first SName: a take-in asks once per item it reads.
    QHash<QString, qsizetype> m_aliasByName;
    // Where a table cell (as a CellCoor names it) stands on page through
    // the page's variable lines (page 0: the current page, as the format
    // calls read it); false when it cannot be placed.
    bool pageCell(int page, int row, int col, int* pageRow, int* pageCol) const;
    // True when a formula computes the alias's cell and the page holds no
    // value for it yet.
    bool aliasFormulaWithoutValue(int page, const AliasCell& a);
    // The values the cells written by this take-in held before it, by page
    // and cell on the page.
    QHash<quint64, CellValue> m_before;
    const QList<AliasCell>& aliasCells(const QString& sheetName);
    // The first alias cell of the report whose formula failed on page, as
    // the message that names it; "" when none did.
    QString failedAliasCell(int page);
    // Notes a value or item of the download file being read that was not
    // taken in.
    void notTaken(const QString& what);
    QString m_strTakingIn;  // the download file being read
    qor::XmlNode m_worksheet;
    int m_nKind = -1;
};

namespace qor {
// Registers the exchange with the document layer (both applications do
// at start-up).
void InstallConsolExchange();
}  // namespace qor
