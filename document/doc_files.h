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
class IConsolExchange {
public:
    virtual ~IConsolExchange() = default;
    // 0 refuses the save (the object has told the user why).
    virtual int ValidateBeforeSave(CQorsDoc& doc) = 0;
    // Writes the upload files of a report just saved to path.
    virtual void WriteUploadFiles(CQorsDoc& doc, const QString& path) = 0;
    virtual int PrepareSampleFiles(CQorsDoc& doc, const QString& path, int newReport,
                                   int formatChanged) = 0;
    // True while the exchange itself saves the report.
    virtual bool IsSaving() const = 0;
};

using ConsolExchangeFactory = std::function<std::unique_ptr<IConsolExchange>(CQorsDoc&)>;
// Installs the factory documents make their exchange object with; an empty
// function removes it. Returns the previous one.
ConsolExchangeFactory SetConsolExchangeFactory(ConsolExchangeFactory factory);
const ConsolExchangeFactory& GetConsolExchangeFactory();

}  // namespace qor

// Reads the report list of an ini file: section "报表" (string 62303), keys
// "个数" (count) and "名称%d" / "文件%d" for 1..count. False when the file
// lists none.
bool ReadIniReportList(const QString& iniPath, QStringList* names, QStringList* files);
