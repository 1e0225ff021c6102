#include "apps/qor/verbs.h"

#include <QFileInfo>
#include <algorithm>

#include "engine/creporthandle.h"
#include "engine/formulaeval.h"
#include "engine/textutil.h"
#include "engine/openreports.h"
#include "engine/status.h"
#include "platform/compoundfile.h"

namespace qor::app {

TracesKept::TracesKept() {
    QLoggingCategory::setFilterRules(QStringLiteral("qor.trace.debug=false"));
    m_previous = setTraceHook([this](const QString& text) {
        const QMutexLocker lock(&m_mutex);  // writers may report from other threads
        m_lines << text.trimmed();
    });
}

TracesKept::~TracesKept() { setTraceHook(m_previous); }

void TracesKept::showOn(const char* verb, Output* out, const QStringList& told) const {
    const QMutexLocker lock(&m_mutex);
    QStringList lines;
    for (const QString& line : m_lines)
        if (!told.contains(line) && !lines.contains(line)) lines << line;
    for (qsizetype i = std::max<qsizetype>(0, lines.size() - 5); i < lines.size(); ++i)
        out->err += QStringLiteral("qor %1: %2\n").arg(QLatin1String(verb), lines[i]);
}

namespace {

QString statusLine(const QString& what, uint16_t status, const QString& detail = {}) {
    return QStringLiteral("qor: %1: %2 (status %3)\n")
        .arg(what, detail.isEmpty() ? StatusText(status) : detail)
        .arg(status);
}

// Reads "--name N" options into the given slots; false on anything else.
struct IntOption {
    const char* name;
    int* value;
    int min;
    int max;
};

bool parseOptions(const QStringList& args, QStringList* positional, QList<IntOption> options,
                  Output* out) {
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (!a.startsWith("--")) {
            positional->append(a);
            continue;
        }
        auto it = std::find_if(options.begin(), options.end(),
                               [&](const IntOption& o) { return a == QLatin1String(o.name); });
        if (it == options.end()) {
            out->err += QStringLiteral("qor: unknown option %1\n").arg(a);
            return false;
        }
        bool ok = false;
        const int v = i + 1 < args.size() ? args[i + 1].toInt(&ok) : 0;
        if (!ok || v < it->min || v > it->max) {
            out->err += QStringLiteral("qor: %1 needs a number from %2 to %3\n")
                            .arg(a)
                            .arg(it->min)
                            .arg(it->max);
            return false;
        }
        *it->value = v;
        ++i;
    }
    return true;
}

}  // namespace

bool ParsePagesOption(const char* verb, const QStringList& args, int at, QList<int>* pages,
                      Output* out, bool givenOrder) {
    const QString given = at + 1 < args.size() ? args[at + 1] : QString();
    QList<int> read;
    bool ok = !given.trimmed().isEmpty();
    for (const QString& item : given.split(u',')) {
        bool number = false;
        const QString t = item.trimmed();
        const int p = t.toInt(&number);
        // Digits only: "+2" or " 2e1" are no page numbers a user means.
        const bool digits =
            std::all_of(t.begin(), t.end(), [](QChar c) { return c.isDigit(); });
        if (!number || p < 1 || !digits) {
            ok = false;
            break;
        }
        read.append(p);
    }
    if (!ok) {
        if (at + 1 >= args.size())
            out->err += QStringLiteral("qor %1: --pages needs page numbers such as 2,5\n")
                            .arg(QLatin1String(verb));
        else
            out->err += QStringLiteral("qor %1: --pages \"%2\": pages are numbered from 1; "
                                       "give them such as 2,5\n")
                            .arg(QLatin1String(verb), given);
        return false;
    }
    if (!givenOrder) {
        std::sort(read.begin(), read.end());
        read.erase(std::unique(read.begin(), read.end()), read.end());
    }
    *pages = read;
    return true;
}

int verbNew(const QStringList& args, Output* out) {
    int rows = 50, cols = 7, pages = 0;
    QStringList pos;
    if (!parseOptions(args,
                      &pos,
                      {{"--rows", &rows, 1, 9999}, {"--cols", &cols, 1, 255},
                       {"--pages", &pages, 0, 99999}},
                      out))
        return 2;
    if (pos.size() != 1) {
        out->err += QStringLiteral("qor new: give one file name\n");
        return 2;
    }
    const QString path = ReportPathWithExtension(pos.first());
    // A new report never replaces an existing file: that file may be
    // someone's month of work.
    if (QFileInfo::exists(path)) {
        out->err += QStringLiteral("qor new: %1 already exists\n").arg(path);
        return 1;
    }
    // Built in a working copy and written once, whole: a failure leaves
    // no file at the path.
    CReportHandle report(path, CReportHandle::OpenMode::CreateNew);
    if (!report.IsOpen()) {
        out->err += statusLine(path, report.OpenStatus(), report.ErrorText());
        return 1;
    }
    uint16_t r = static_cast<uint16_t>(rows), c = static_cast<uint16_t>(cols);
    uint16_t st = report.AccessTableSize(1, &r, &c);
    if (st == 0 && pages > 0) st = report.AppendRowColPage(pages, 2);
    if (st == 0) st = report.Save();
    if (st != 0) {
        out->err += statusLine(path, st, report.ErrorText());
        return 1;
    }
    out->text += QStringLiteral("created %1: %2 rows, %3 columns, %4 pages\n")
                     .arg(path)
                     .arg(report.GetRowCount())
                     .arg(report.GetColCount())
                     .arg(report.GetPageCount());
    return 0;
}

int verbInfo(const QStringList& args, Output* out) {
    if (args.size() != 1 || args.first().startsWith("--")) {
        out->err += QStringLiteral("qor info: give one file name\n");
        return 2;
    }
    const QString path = args.first();
    if (!QFileInfo::exists(path)) {
        out->err += statusLine(path, code(Status::FileNotFound));
        return 1;
    }
    // The engine would open "<name>.rep" for any other name: a different
    // file, or none, which is not what the user asked about. A file we may
    // not read goes on to the engine, which names the read error.
    if (ReportPathWithExtension(path) != path ||
        (QFileInfo(path).isReadable() &&
         (!QFileInfo(path).isFile() || !CompoundFile::isCompoundFile(path)))) {
        out->err += statusLine(path, code(Status::NotAReport));
        return 1;
    }
    CReportHandle report(path, CReportHandle::OpenMode::OpenExisting,
                         CReportHandle::Access::Read);
    if (!report.IsOpen()) {
        out->err += statusLine(path, report.OpenStatus(), report.ErrorText());
        return 1;
    }
    const CReportFile* file = report.GetReportFile();
    out->text += QStringLiteral("file:    %1\n").arg(report.GetPathName());
    out->text += QStringLiteral("version: %1\n").arg(QString::fromLatin1(file->VersionText()));
    out->text += QStringLiteral("table:   %1 rows, %2 columns\n")
                     .arg(report.GetRowCount())
                     .arg(report.GetColCount());
    out->text += QStringLiteral("pages:   %1\n").arg(report.GetPageCount());
    out->text += QStringLiteral("state:   %1\n")
                     .arg(report.IsFormatState() ? QStringLiteral("format")
                                                 : QStringLiteral("data"));
    const qor::ReportFormat& fmt = file->Format();
    const qor::ReportHeader& hdr = fmt.header;
    static const char* const kVarKinds[] = {"none", "rows", "columns"};
    if (hdr.varKind == 1 || hdr.varKind == 2)
        out->text += QStringLiteral("variable area: %1 from %2, extent %3\n")
                         .arg(QLatin1String(kVarKinds[hdr.varKind]))
                         .arg(hdr.varStart)
                         .arg(hdr.varExtent);
    else
        out->text += QStringLiteral("variable area: none\n");
    const QStringList names = qor::FormulaKeywordNames(file->GetUserKeywordName());
    out->text += QStringLiteral("keywords:\n");
    for (int slot = 0; slot < names.size() && slot < int(hdr.keywords.size()); ++slot) {
        const auto& k = hdr.keywords[size_t(slot)];
        if (k.row == 0 || k.col == 0) continue;
        out->text += QStringLiteral("  %1 at %2\n")
                         .arg(names[slot].isEmpty() ? QStringLiteral("slot %1").arg(slot)
                                                    : names[slot],
                              FormatCellRef(k.col - 1, k.row - 1));
    }
    out->text += QStringLiteral("combined areas: %1\n").arg(fmt.combined.size());
    for (const auto& a : fmt.combined) {
        QString ref;
        FormatAreaRef(a.c1 - 1, a.r1 - 1, a.c2 - 1, a.r2 - 1, &ref);
        out->text += QStringLiteral("  %1\n").arg(ref);
    }
    out->text += QStringLiteral("formulas: %1\n").arg(fmt.formulas.size());
    out->text += QStringLiteral("streams:\n");
    for (const auto& e : file->Entries()) {
        if (e.isStorage)
            out->text += QStringLiteral("  %1/\n").arg(e.path);
        else
            out->text += QStringLiteral("  %1 (%2 bytes)\n").arg(e.path).arg(e.size);
    }
    return 0;
}

}  // namespace qor::app
