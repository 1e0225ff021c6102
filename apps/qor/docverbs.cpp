// The verbs over the report document, the same paths the desktop
// application takes: convert opens a file by its type and saves it by the
// type of the target through the document's converters; print runs the
// print driver onto a PDF file or the default printer.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMutex>
#include <QPageLayout>
#include <QPdfWriter>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "exchange/datafilechain.h"
#include "apps/qor/defaultprinter.h"
#include "apps/qor/verbs.h"
#include "document/cmd_dialogs.h"
#include "document/cqorsdoc.h"
#include "document/doc_converters.h"
#include "document/doc_files.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/paths.h"
#include "engine/textutil.h"
#include "engine/workfiles.h"
#include "engine/reportpassword.h"
#include "platform/safefile.h"
#include "platform/uiservices.h"
#include "print/print_job.h"

namespace qor::app {

namespace {

// What the document would show in message boxes goes to stderr, once the
// verb is done; a message saying what a conversion left out is not told
// twice.
// Where convert and print find the file password of a protected report.
constexpr char kPasswordVariable[] = "QOR_FILE_PASSWORD";

}  // namespace

std::optional<QString> FilePasswordFromEnvironment(const QString& path, QStringList* told) {
    const QString file = QDir::toNativeSeparators(path);
    if (!qEnvironmentVariableIsSet(kPasswordVariable)) {
        *told << QStringLiteral("%1 has a file password: give it in %2")
                     .arg(file, QLatin1String(kPasswordVariable));
        return std::nullopt;
    }
    // Checked here as the report checks it: every open of the report (a
    // script converts it as often as it likes) gets it while it is right.
    const QString given = qEnvironmentVariable(kPasswordVariable);
    if (given.compare(ReadReportFilePassword(path), Qt::CaseInsensitive) == 0) return given;
    *told << QStringLiteral("%1: %2 (%3)")
                 .arg(file, LoadErrorText(str::kWrongFilePassword),
                      QLatin1String(kPasswordVariable));
    return std::nullopt;
}

namespace {

class MessagesToStderr {
public:
    MessagesToStderr(const char* verb, Output* out) : m_verb(verb), m_out(out) {
        UiServices mine = uiServices();
        mine.messageBox = [this](const MessageRequest& m) {
            // The same text from two layers is one message.
            if (!m_told.contains(m.text.trimmed())) m_told << m.text.trimmed();
            return m.defaultAnswer;
        };
        // A script cannot answer a prompt.
        mine.filePassword = [this](const QString& path) {
            return FilePasswordFromEnvironment(path, &m_told);
        };
        m_previous = installUiServices(mine);
    }
    ~MessagesToStderr() {
        installUiServices(m_previous);
        for (const QString& text : m_told) {
            const QStringList lines = text.split(u'\n');
            // The headings of the document's lists of what a save or an
            // open left out are no lines of their own here.
            const QString heading = LoadErrorText(str::kLeftOutHeading);
            const QString openHeading = LoadErrorText(str::kNotReadHeading);
            const qsizetype name = openHeading.indexOf(u"%1");
            const auto isOpenHeading = [&](const QString& l) {
                return name >= 0 && l.startsWith(openHeading.left(name)) &&
                       l.endsWith(openHeading.mid(name + 2));
            };
            const bool listed = std::all_of(lines.begin(), lines.end(), [&](const QString& l) {
                return l == heading || isOpenHeading(l) || m_leftOut.contains(l);
            });
            if (!listed)
                m_out->err += QStringLiteral("qor %1: %2\n").arg(QLatin1String(m_verb), text);
        }
    }
    MessagesToStderr(const MessagesToStderr&) = delete;
    MessagesToStderr& operator=(const MessagesToStderr&) = delete;
    void setLeftOut(const QStringList& lines) { m_leftOut = lines; }
    const QStringList& told() const { return m_told; }

private:
    const char* m_verb;
    Output* m_out;
    UiServices m_previous;
    QStringList m_told;
    QStringList m_leftOut;
};

// Closes the document however the verb ends, so that no in-use mark stays.
struct DocCloser {
    CQorsDoc& doc;
    ~DocCloser() { doc.Files().OnCloseDocument(); }
};

QString suffixOf(const QString& path) { return QFileInfo(path).suffix().toLower(); }

bool isReport(const QString& path) { return suffixOf(path) == QLatin1String("rep"); }

// Whether the file behind fd ends as a PDF ends (its "%%EOF" mark in the
// last bytes).
bool pdfComplete(int fd) {
    QFile f(HandlePath(fd));
    if (!f.open(QIODevice::ReadOnly) || f.size() < 5) return false;
    f.seek(std::max<qint64>(0, f.size() - 64));
    return f.readAll().contains("%%EOF");
}

// Keeps only the listed pages in the document's report. The report is a
// working copy or a new one: its file is never the one the user named.
bool keepPages(CQorsDoc& doc, const QList<int>& pages, const char* verb, Output* out) {
    CReportHandle* report = doc.GetReport();
    const int count = report->GetPageCount();
    if (pages.last() > count) {
        out->err += QStringLiteral("qor %1: the report has %2 pages, not %3\n")
                        .arg(QLatin1String(verb))
                        .arg(count)
                        .arg(pages.last());
        return false;
    }
    for (int p = count; p >= 1; --p) {
        if (pages.contains(p)) continue;
        if (const uint16_t s = report->DeleteRowColPage(p, 1, 2)) {
            out->err += QStringLiteral("qor %1: page %2 cannot be left out (status %3)\n")
                            .arg(QLatin1String(verb))
                            .arg(p)
                            .arg(s);
            return false;
        }
    }
    doc.SyncPagesFromReport();
    if (doc.IsDataState()) doc.SetCurrentPage(1);
    return true;
}

// The sheet dialog's answer for a workbook of several sheets, given on the
// command line; a sheet the workbook does not have ends the conversion.
class SheetAnswer {
public:
    SheetAnswer(int choice, int sheet, Output* out)
        : m_answer([choice, sheet,
                    out](const SetPageNoDlgMembers& m) -> std::optional<SetPageNoDlgMembers> {
              if (sheet > m.sheetCount) {
                  out->err += QStringLiteral("qor convert: the workbook has %1 sheets, not %2\n")
                                  .arg(m.sheetCount)
                                  .arg(sheet);
                  return std::nullopt;
              }
              SetPageNoDlgMembers answer = m;
              answer.choice = choice;
              answer.sheetNumber = sheet;
              return answer;
          }) {}

private:
    ScopedDialog<SetPageNoDlgMembers> m_answer;
};

QStringList leftOutBy(const QString& path) {
    if (isReport(path)) return {};
    const std::shared_ptr<IDocConverter> conv = FindDocConverter(suffixOf(path));
    return conv ? conv->LeftOut() : QStringList();
}

QString typeList() {
    QStringList types{QStringLiteral(".rep")};
    for (const QString& t : KnownDocFileTypes()) {
        const std::shared_ptr<IDocConverter> conv = FindDocConverter(t);
        if (conv && conv->CanExport()) types << QLatin1Char('.') + t.toLower();
    }
    types.removeDuplicates();
    return types.join(QLatin1String(", "));
}

int convertDocument(const QString& source, const QString& target, const QString& shownTarget,
                    const QList<int>& pages, MessagesToStderr& messages, Output* out,
                    bool* finishedWriting);

}  // namespace

int verbConvert(const QStringList& args, Output* out) {
    QStringList pos;
    QList<int> pages;
    bool valuesOnly = false;
    int sheetChoice = 0, sheet = 0;  // 0: the headless answer (all, format of sheet 1)
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == u"--values-only") {
            valuesOnly = true;
        } else if (args[i] == u"--sheet" || args[i] == u"--one-sheet") {
            bool ok = false;
            const int n = i + 1 < args.size() ? args[i + 1].toInt(&ok) : 0;
            if (!ok || n < 1 || sheetChoice != 0) {
                out->err += QStringLiteral(
                    "qor convert: give one of --sheet N or --one-sheet N, N from 1\n");
                return 2;
            }
            sheetChoice = args[i] == u"--sheet" ? 1 : 2;
            sheet = n;
            ++i;
        } else if (args[i] == u"--pages") {
            if (!ParsePagesOption("convert", args, i, &pages, out)) return 2;
            ++i;
        } else if (args[i].startsWith(u"--")) {
            out->err += QStringLiteral("qor convert: unknown option %1\n").arg(args[i]);
            return 2;
        } else {
            pos << args[i];
        }
    }
    if (pos.size() != 2) {
        out->err += QStringLiteral("qor convert: give the file to read and the file to write\n");
        return 2;
    }
    const QString source = pos[0];
    const QString target = QFileInfo(pos[1]).absoluteFilePath();
    if (!isReport(target)) {
        const std::shared_ptr<IDocConverter> conv = FindDocConverter(suffixOf(target));
        if (!conv || !conv->CanExport()) {
            out->err += QStringLiteral("qor convert: cannot write .%1 files; the types are %2\n")
                            .arg(suffixOf(target), typeList());
            if (suffixOf(target) == u"pdf")
                out->err += QStringLiteral("qor convert: a PDF file is printed: use qor print "
                                           "REPORT --pdf OUT.pdf\n");
            return 2;
        }
    }
    // Only a binary workbook has a quicker form without formats; any other
    // target would silently ignore the option.
    if (valuesOnly && suffixOf(target) != u"xls") {
        out->err += QStringLiteral("qor convert: --values-only writes .xls workbooks only\n");
        return 2;
    }
    if (!QFileInfo::exists(source)) {
        out->err += QStringLiteral("qor convert: %1 does not exist\n").arg(source);
        return 1;
    }
    // A conversion never replaces a file: it may be someone's month of work.
    // A link whose file is gone counts too: it would be found only once
    // the whole file was written.
    if (QFileInfo::exists(target) || QFileInfo(target).isSymLink()) {
        out->err += QStringLiteral("qor convert: %1 already exists\n").arg(pos[1]);
        return 1;
    }

    MessagesToStderr messages("convert", out);
    TracesKept traces;
    // Nobody is there to ask whether a binary workbook carries formats.
    struct Choice {
        qor::doc::XlsSaveChoice previous;
        ~Choice() { qor::doc::SetXlsSaveChoice(previous); }
    } choice{qor::doc::SetXlsSaveChoice(valuesOnly ? qor::doc::XlsSaveChoice::ValuesOnly
                                                  : qor::doc::XlsSaveChoice::WithFormats)};
    std::optional<SheetAnswer> sheetAnswer;
    if (sheetChoice != 0) sheetAnswer.emplace(sheetChoice, sheet, out);
    bool finishedWriting = false;
    const int rc = convertDocument(source, target, pos[1], pages, messages, out, &finishedWriting);
    if (rc == 1 && !finishedWriting) traces.showOn("convert", out, messages.told());
    return rc;
}

namespace {

int convertDocument(const QString& source, const QString& target, const QString& shownTarget,
                    const QList<int>& pages, MessagesToStderr& messages, Output* out,
                    bool* finishedWriting) {
    CQorsDoc doc;
    DocCloser closer{doc};
    if (!doc.Files().OnOpenDocument(source, true)) return 1;
    QStringList leftOut = leftOutBy(source);
    const uint64_t recalcsBefore = doc.GetReport() ? doc.GetReport()->RecalcRuns() : 0;
    if (!pages.isEmpty() && !keepPages(doc, pages, "convert", out)) return 1;
    // The other types carry what data state shows: the document's
    // converters take the report there for the export; a report keeps the
    // state it was in.

    // Written whole in a scratch folder of the user's private work folder
    // and moved into place, so that a failure, or a kill, leaves nothing
    // beside the target (the work folder's sweep takes what a killed
    // conversion left there).
    // A data file comes with files beside it (".cpg", the folder's
    // Schema.ini) that must land in the target's folder; its writer
    // already writes beside the target and renames.
    const bool direct = DataFileChainWrites(target);
    QString scratch;
    if (!direct && (scratch = CreateWorkFolder()).isEmpty()) {
        out->err += QStringLiteral("qor convert: cannot make a working folder in %1: %2\n")
                        .arg(QDir::toNativeSeparators(WorkFolder()),
                             QString::fromLocal8Bit(std::strerror(errno)));
        return 1;
    }
    struct ScratchCloser {
        QString path;
        ~ScratchCloser() {
            if (!path.isEmpty()) QDir(path).removeRecursively();
        }
    } scratchCloser{scratch};
    const QString written = direct ? target : scratch + u'/' + QFileInfo(target).fileName();
    // A data file's writer puts the file in place before the ones beside
    // it: when those fail, the file goes too (nothing was there before),
    // so a retry does not meet a half conversion.
    const QString codePageFile =
        QFileInfo(target).dir().filePath(QFileInfo(target).completeBaseName() + ".cpg");
    const bool codePageFileThere = QFileInfo::exists(codePageFile);
    if (!doc.Files().OnSaveDocument(written)) {
        if (direct) {
            QFile::remove(target);
            if (!codePageFileThere) QFile::remove(codePageFile);
        }
        return 1;
    }
    leftOut += leftOutBy(target);
    // A report written without some pages works out what read them: what
    // that leaves failed is told, as every verb that saves tells it.
    QString recalcFailed;
    if (isReport(target) && doc.GetReport() && doc.GetReport()->RecalcRuns() != recalcsBefore)
        recalcFailed = doc.GetReport()->RecalcFailureText();
    doc.Files().OnCloseDocument();
    int error = 0;
    if (!direct && !MoveFileInto(written, target, &error)) {
        // The file was made whole: what its writer said on the way ("完成")
        // is no part of this failure.
        *finishedWriting = true;
        out->err += IsDiskFullError(error)
                        ? QStringLiteral("qor convert: %1\n").arg(DiskFullText(shownTarget))
                        : QStringLiteral("qor convert: %1 cannot be put in place: %2\n")
                              .arg(shownTarget, FileErrorText(error));
        return 1;
    }
    out->text += QStringLiteral("wrote %1\n").arg(shownTarget);
    for (const QString& line : leftOut)
        out->err += QStringLiteral("qor convert: left out: %1\n").arg(line);
    messages.setLeftOut(leftOut);
    if (!recalcFailed.isEmpty()) out->err += QStringLiteral("qor convert: %1\n").arg(recalcFailed);
    return leftOut.isEmpty() && recalcFailed.isEmpty() ? 0 : 3;
}

}  // namespace

int verbPrint(const QStringList& args, Output* out) {
    QStringList pos;
    QList<int> pages;
    QString pdf;
    int copies = 1;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == u"--pages") {
            if (!ParsePagesOption("print", args, i, &pages, out)) return 2;
            ++i;
        } else if (a == u"--pdf") {
            if (!hasValue || args[i + 1].isEmpty()) {
                out->err += QStringLiteral("qor print: --pdf needs a file name\n");
                return 2;
            }
            pdf = args[++i];
        } else if (a == u"--copies") {
            bool ok = false;
            copies = hasValue ? args[i + 1].toInt(&ok) : 0;
            if (!ok || copies < 1 || copies > 999) {
                out->err += QStringLiteral("qor print: --copies needs a number from 1 to 999\n");
                return 2;
            }
            ++i;
        } else if (a.startsWith(u"--")) {
            out->err += QStringLiteral("qor print: unknown option %1\n").arg(a);
            return 2;
        } else {
            pos << a;
        }
    }
    if (pos.size() != 1) {
        out->err += QStringLiteral("qor print: give one report\n");
        return 2;
    }

    MessagesToStderr messages("print", out);
    TracesKept traces;
    std::unique_ptr<QPdfWriter> writer;
    DefaultPrinter printer;
    // The PDF is printed into a locked temporary beside it and renamed
    // onto its name once whole: a killed print leaves the old file (and a
    // temporary the next write there sweeps), and a link at the name is
    // replaced, never written through.
    std::optional<SafeFileWriter> pdfFile;
    if (!pdf.isEmpty()) {
        pdfFile.emplace(QFileInfo(pdf).absoluteFilePath());
        if (!pdfFile->open()) {
            out->err += QStringLiteral("qor print: cannot write %1: %2\n")
                            .arg(pdf, pdfFile->errorString());
            return 1;
        }
        // The writer opens its file by name: this one names the very
        // temporary made above, whatever happens to names meanwhile. Its
        // page (A4, 10 pt margins, 1200 dpi) is the one a printer printing
        // to a file has.
        writer = std::make_unique<QPdfWriter>(HandlePath(pdfFile->handle()));
    } else if (!printer.Open()) {
        out->err += QStringLiteral("qor print: there is no default printer; give --pdf FILE\n");
        return 1;
    }

    CQorsDoc doc;
    DocCloser closer{doc};
    if (!doc.Files().OnOpenDocument(pos[0], true)) return 1;
    if (!pages.isEmpty() && !keepPages(doc, pages, "print", out)) return 1;
    // Pages print with their values; a report without pages prints its
    // table as format state shows it.
    if (!doc.IsDataState() && doc.GetReport()->GetPageCount() > 0 && !doc.EnterDataState()) {
        out->err += QStringLiteral("qor print: %1 cannot enter data state\n").arg(pos[0]);
        return 1;
    }
    view::PrintJobSettings settings;
    settings.allReportPages = true;
    settings.copies = copies;
    const bool printed = writer ? view::PrintToDevice(doc, *writer, settings)
                                : view::PrintOnDevice(doc, *printer.Device(), settings, nullptr,
                                                      printer.FullPage());
    if (!printed) {
        // The PDF writer keeps its reasons to itself: a full disk under the
        // file is still named, with the file.
        if (pdfFile && DiskFullFor(pdfFile->target(), 0)) {
            out->err += QStringLiteral("qor print: %1\n").arg(DiskFullText(pdf));
            return 1;
        }
        traces.showOn("print", out, messages.told());
        out->err += QStringLiteral("qor print: nothing was printed\n");
        return 1;
    }
    // The PDF writer ends its file when it goes, and keeps a failed write
    // to itself: a file without its end mark is no PDF (a full disk leaves
    // one empty), and goes instead of replacing the old one.
    writer.reset();
    if (pdfFile && !pdfComplete(pdfFile->handle())) {
        out->err += DiskFullFor(pdfFile->target(), 0)
                        ? QStringLiteral("qor print: %1\n").arg(DiskFullText(pdf))
                        : QStringLiteral("qor print: cannot write %1: %2\n")
                              .arg(pdf, FileErrorText(EIO));
        return 1;
    }
    if (pdfFile && !pdfFile->commit()) {
        out->err += IsDiskFullError(pdfFile->error())
                        ? QStringLiteral("qor print: %1\n").arg(DiskFullText(pdf))
                        : QStringLiteral("qor print: cannot write %1: %2\n")
                              .arg(pdf, FileErrorText(pdfFile->error()));
        return 1;
    }
    out->text += pdf.isEmpty()
                     ? QStringLiteral("printed %1 on %2\n").arg(pos[0], printer.Name())
                     : QStringLiteral("wrote %1\n").arg(pdf);
    return 0;
}

}  // namespace qor::app
