// The consolidation client's upload files: a daily report of 365 pages
// with 200 aliases written as one upload file per page, after libxml2
// building and saving the same 365 documents in the same run
// ("vs_libxml2", aim at most 3). Both sides save the way every save here
// must: into a temporary file, flushed to disk, renamed into place; the
// CPU ratio ("cpu_vs_libxml2") leaves the disk out. Then the take-in of a
// download file whose every item is an alias of the sample, at three
// sample sizes: it may grow no faster than the aliases.
#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>
#include <cstdio>
#include <memory>

#include "document/cqorsdoc.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/reportlayout.h"
#include "fininterface/consolcommands.h"
#include "fininterface/consolexchange.h"
#include "platform/registry.h"
#include "platform/uiservices.h"
#include "reader/cappenvironment.h"

namespace {

constexpr int kPages = 365;
constexpr int kAliasRows = 20, kAliasCols = 10;  // 200 aliases

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double cpuSeconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

double value(int page, int row, int col) { return page * 1000.5 + row * 10 + col; }

struct Fixture {
    QTemporaryDir dir;
    QString report;
    CQorsDoc doc;
    double reference = 0, referenceCpu = 0;

    Fixture() {
        // The client's folders and settings stay inside the run's folder.
        qputenv("QOR_HOME", QFile::encodeName(dir.path()));
        qputenv("QOR_REGISTRY", QFile::encodeName(dir.path() + "/registry.ini"));
        const qor::TraceHook quiet = qor::setTraceHook([](const QString&) {});
        const QString data = QDir::fromNativeSeparators(CAppEnvironment::GetInstallDir());
        report = data + "/hbbb/Firm(001)/Daily/Cash.rep";
        QDir().mkpath(data + "/hbbb/Firm(001)/Daily");
        QDir().mkpath(data + "/hbbb/样表");
        QString aliases;
        for (int r = 1; r <= kAliasRows; ++r)
            for (int c = 1; c <= kAliasCols; ++c)
                aliases += QStringLiteral("<SName>A%1_%2</SName><CellCoor>Cash!%3%1</CellCoor>")
                               .arg(QString::number(r), QString::number(c), QString(QChar('A' + c - 1)));
        QFile sample(data + "/hbbb/样表/Daily.xml");
        if (sample.open(QIODevice::WriteOnly))
            sample.write(QStringLiteral(
                             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                             "<ReportData SampleID=\"D1\" SampleName=\"Daily\"><Period><Y/></Period>"
                             "<Workbook xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">"
                             "<Worksheet ss:Name=\"Cash\"><Table ss:ExpandedColumnCount=\"10\" "
                             "ss:ExpandedRowCount=\"20\"/></Worksheet></Workbook>"
                             "<SampleAlias>%1</SampleAlias></ReportData>\n")
                             .arg(aliases)
                             .toUtf8());
        sample.close();
        {
            CReportHandle h(report);
            uint16_t r = kAliasRows, c = kAliasCols;
            h.AccessTableSize(1, &r, &c);
            h.EnterDataState();
            h.AppendRowColPage(kPages, 2);
            for (int p = 1; p <= kPages; ++p) {
                h.SetPageKeyword(2, qor::KeywordValue{1, double(1700 + p), {}}, p);
                for (int row = 1; row <= kAliasRows; ++row)
                    for (int col = 1; col <= kAliasCols; ++col)
                        h.SetCellValue(CellValue::ofNumber(value(p, row, col)), row, col, p);
            }
            h.Save();
        }
        doc.Files().OnOpenDocument(report);
        qor::setTraceHook(quiet);
    }
    ~Fixture() { doc.Files().OnCloseDocument(); }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_Libxml2UploadDocuments(benchmark::State& state) {
    Fixture& f = fixture();
    const QByteArray out = QFile::encodeName(f.dir.path() + "/ref");
    QDir().mkpath(f.dir.path() + "/ref");
    double seconds = 0, cpu = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = cpuSeconds();
        for (int p = 1; p <= kPages; ++p) {
            xmlDocPtr doc = xmlNewDoc(BAD_CAST "1.0");
            xmlNodePtr root = xmlNewNode(nullptr, BAD_CAST "ReportData");
            xmlDocSetRootElement(doc, root);
            xmlNewTextChild(root, nullptr, BAD_CAST "SampleID", BAD_CAST "D1");
            xmlNewTextChild(root, nullptr, BAD_CAST "SampleName", BAD_CAST "Daily");
            xmlNodePtr surface = xmlNewChild(root, nullptr, BAD_CAST "Surface", nullptr);
            const QByteArray period = QByteArray::number(1700 + p) + "-01-01";
            for (const char* tag : {"SurfaceID", "sType", "TypeValue", "SDealFirmCode",
                                    "ReportFirmCode", "ReportNote", "ReportFirmName", "Version",
                                    "STimeStamp"})
                xmlNewTextChild(surface, nullptr, BAD_CAST tag,
                                BAD_CAST(qstrcmp(tag, "TypeValue") ? "" : period.constData()));
            xmlNodePtr values = xmlNewChild(root, nullptr, BAD_CAST "Cash", nullptr);
            for (int r = 1; r <= kAliasRows; ++r)
                for (int c = 1; c <= kAliasCols; ++c) {
                    const QByteArray name = "A" + QByteArray::number(r) + "_" + QByteArray::number(c);
                    const QByteArray text = QByteArray::number(value(p, r, c), 'f', 6);
                    xmlNewTextChild(values, nullptr, BAD_CAST name.constData(),
                                    BAD_CAST text.constData());
                }
            const QByteArray file = out + "/" + period + ".xml";
            const QByteArray temp = file + ".tmp";
            xmlSaveFormatFileEnc(temp.constData(), doc, "GB2312", 1);
            xmlFreeDoc(doc);
            const int fd = ::open(temp.constData(), O_RDONLY);
            if (fd >= 0) {
                ::fsync(fd);
                ::close(fd);
            }
            std::rename(temp.constData(), file.constData());
        }
        seconds += secondsSince(start);
        cpu += cpuSeconds() - cpuStart;
    }
    f.reference = seconds / double(state.iterations());
    f.referenceCpu = cpu / double(state.iterations());
}
BENCHMARK(BM_Libxml2UploadDocuments)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_WriteUploadFiles(benchmark::State& state) {
    Fixture& f = fixture();
    const qor::TraceHook quiet = qor::setTraceHook([](const QString&) {});
    double seconds = 0, cpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QDir(QFileInfo(f.report).path() + "/upload").removeRecursively();
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = cpuSeconds();
        CConsolExchange exchange;
        exchange.WriteUploadFiles(f.doc, f.report);
        seconds += secondsSince(start);
        cpu += cpuSeconds() - cpuStart;
    }
    qor::setTraceHook(quiet);
    if (f.reference > 0) state.counters["vs_libxml2"] = seconds / double(state.iterations()) / f.reference;
    if (f.referenceCpu > 0)
        state.counters["cpu_vs_libxml2"] = cpu / double(state.iterations()) / f.referenceCpu;
}
BENCHMARK(BM_WriteUploadFiles)->Unit(benchmark::kMillisecond)->Iterations(1);

// A new client report of aliases/10 rows by 10 columns made from its
// sample and one download file naming every alias.
void BM_TakeInAliases(benchmark::State& state) {
    const int aliases = int(state.range(0));
    const int rows = aliases / 10;
    const qor::TraceHook quiet = qor::setTraceHook([](const QString&) {});
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        // The client's folders and settings stay inside the run's folder.
        qputenv("QOR_HOME", QFile::encodeName(dir.path()));
        qputenv("QOR_REGISTRY", QFile::encodeName(dir.path() + "/registry.ini"));
        qor::Registry::writeString(CAppEnvironment::kInstallKey, "CurrentInstPath", dir.path());
        const QString data = QDir::fromNativeSeparators(CAppEnvironment::GetInstallDir());
        const QString report = data + "/hbbb/Firm(002)/Monthly/Sheet.rep";
        QString names, items;
        for (int r = 1; r <= rows; ++r)
            for (int c = 1; c <= 10; ++c) {
                names += QStringLiteral("<SName>I%1_%2</SName><CellCoor>Sheet!%3%1</CellCoor>\n")
                             .arg(QString::number(r), QString::number(c), QString(QChar('A' + c - 1)));
                items += QStringLiteral("<I%1_%2>%3</I%1_%2>").arg(r).arg(c).arg(r * 10 + c);
            }
        QString months = QStringLiteral("<Period>");
        for (int i = 0; i < 12; ++i) months += QStringLiteral("<M/>");
        months += QStringLiteral("</Period>");
        const auto write = [](const QString& path, const QString& text) {
            QDir().mkpath(QFileInfo(path).path());
            QFile f(path);
            if (f.open(QIODevice::WriteOnly)) f.write(text.toUtf8());
        };
        write(data + "/hbbb/样表/Monthly.xml",
              QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                             "<ReportData SampleID=\"M1\" SampleName=\"Sheet\">%1"
                             "<Workbook xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">"
                             "<Worksheet ss:Name=\"Sheet\"><Table ss:ExpandedColumnCount=\"10\" "
                             "ss:ExpandedRowCount=\"%2\"/></Worksheet></Workbook>"
                             "<SampleAlias>%3</SampleAlias></ReportData>\n")
                  .arg(months)
                  .arg(rows)
                  .arg(names));
        write(data + "/hbbb/Firm(002)/Monthly/download/2004-03-01.xml",
              QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ReportData>"
                             "<SampleData1>%1</SampleData1></ReportData>\n")
                  .arg(items));
        std::vector<std::unique_ptr<CQorsDoc>> docs;
        QStringList told;
        CAppEnvironment::DocumentHooks hooks;
        hooks.findOpen = [](const QString&) -> CQorsDoc* { return nullptr; };
        hooks.create = [&docs]() -> CQorsDoc* {
            auto d = std::make_unique<CQorsDoc>();
            if (!d->Files().OnNewDocument()) return nullptr;
            docs.push_back(std::move(d));
            return docs.back().get();
        };
        CAppEnvironment::Instance().SetDocumentHooks(hooks);
        qor::InstallConsolExchange();
        qor::UiServices ui = qor::uiServices();
        ui.messageBox = [&told](const qor::MessageRequest& m) {
            told << m.text;
            return m.defaultAnswer;
        };
        const qor::UiServices previous = qor::installUiServices(ui);
        state.ResumeTiming();

        qor::consol::ConsolCommands commands([&docs] {
            QList<CQorsDoc*> out;
            for (auto& d : docs) out << d.get();
            return out;
        });
        const bool opened = commands.OpenClientFile(report);

        state.PauseTiming();
        CellValue v;
        const bool filled = opened && !docs.empty() &&
                            !docs.back()->GetReport()->GetCellValue(&v, rows, 10, 1) &&
                            v.number == rows * 10 + 10;
        for (auto& d : docs) d->Files().OnCloseDocument();
        CAppEnvironment::Instance().SetDocumentHooks({});
        qor::installUiServices(previous);
        state.ResumeTiming();
        if (!filled) {
            const std::string why =
                ("the take-in did not fill the last alias's cell: " + told.join(' ')).toStdString();
            state.SkipWithError(why.c_str());
            break;
        }
    }
    qor::setTraceHook(quiet);
}
BENCHMARK(BM_TakeInAliases)->Arg(1500)->Arg(3000)->Arg(6000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
