#pragma once
// Report pages as HTML documents, one UTF-16 file per page, each holding
// one table with the page's cells, sizes, combined cells, alignment,
// borders, fonts and shown values.
//
// Order of use: OpenSource, optionally SetOutputPath, then ExportPages.
// Every text taken from the report is escaped, so a cell can never add
// markup to the page.

#include <QList>
#include <QString>
#include <functional>
#include <memory>

#include "engine/unicodetextfile.h"

class CReportHandle;

class CHtmlExporter {
public:
    // The answer to "this page file exists, replace it?": replace or not,
    // and whether the same answer holds for the rest of the export.
    struct OverwriteAnswer {
        bool overwrite = true;
        bool always = false;
    };
    using OverwriteAsker = std::function<OverwriteAnswer(const QString& question)>;

    CHtmlExporter();
    virtual ~CHtmlExporter();
    CHtmlExporter(const CHtmlExporter&) = delete;
    CHtmlExporter& operator=(const CHtmlExporter&) = delete;

    // Takes the report of name (".rep" added unless it ends so) and the
    // page to write (0 every page). An open report is used as it is;
    // otherwise the file is opened, never created. 1, or 0 after telling
    // the user.
    int OpenSource(const QString& name, int page);
    // The file of a single-page export (".htm" added unless it ends so).
    int SetOutputPath(const QString& name);
    // Page n: the output path. Every page: "html\<name>_<i>.html" beside
    // the report, the folder made when missing. 1 when every page file
    // was written (or left alone on the user's word); 0 otherwise. A page
    // to write that cannot be read fails the export before any file is
    // written.
    int ExportPages();
    // One page document into the open output file; 1, 0 when a write
    // failed.
    int WritePage();
    // The table of the page in m_page. False when a write failed.
    bool WriteTable();

    // Replaces the question asked before an existing page file of an
    // every-page export is replaced; the default asks through a yes/no
    // message box.
    void SetOverwriteAsker(OverwriteAsker asker) { m_ask = std::move(asker); }
    // The asker of every exporter that has none of its own (the desktop
    // installs its dialog); an empty one restores the message box.
    static void SetDefaultOverwriteAsker(OverwriteAsker asker);

    // For an every-page export: the folder of the page files in place of
    // "html" beside the report, and the pages to write (empty: all).
    void SetPagesFolder(const QString& folder) { m_pagesFolder = folder; }
    void SetPageSelection(const QList<int>& pages) { m_selection = pages; }

    QString OutputPath() const { return m_outputPath; }
    QString SourcePath() const { return m_sourcePath; }
    int PageCount() const { return m_pageCount; }
    // The report OpenSource took, until the export releases it.
    CReportHandle* Report() const { return m_report; }

    // The "#RRGGBB" text of palette index 0..15.
    static QString PaletteColour(int index);
    // The text with &, <, >, " and ' written as character references.
    static QString EscapeHtml(const QString& text);

private:
    int writePageFile(const QString& fileName);
    // True when every page the export writes can be read; otherwise false
    // after telling the user which page and why.
    bool pagesReadable();
    void releaseReport();

    int m_overwrite = 1;
    int m_keepChoice = 0;
    int m_page = 0;
    int m_pageCount = 1;
    CUnicodeTextFile m_file;
    int m_ready = 0;
    int m_ownsReport = 0;
    CReportHandle* m_report = nullptr;
    std::unique_ptr<CReportHandle> m_ownedReport;
    QString m_outputPath;
    QString m_sourcePath;
    OverwriteAsker m_ask;
    QString m_pagesFolder;
    QList<int> m_selection;
};
