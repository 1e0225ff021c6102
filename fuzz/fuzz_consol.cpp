// The consolidation client's files: a sample workbook and a download file
// (two parts of the input) taken into a new client report, which is then
// saved with its checks and its page upload files.

#include <QDir>
#include <QString>
#include <cstdint>
#include <memory>

#include "document/cqorsdoc.h"
#include "fininterface/consolexchange.h"
#include "fuzz/fuzzsupport.h"
#include "platform/uiservices.h"
#include "reader/cappenvironment.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    static const bool ready = [] {
        qorfuzz::scratchDir();
        qor::InstallConsolExchange();
        return true;
    }();
    (void)ready;
    const std::vector<QByteArray> parts =
        qorfuzz::splitParts(reinterpret_cast<const char*>(data), size);
    const QString root = QDir::fromNativeSeparators(CAppEnvironment::GetInstallDir()) + "/hbbb";
    const QString folder = root + "/Firm(01)/Monthly";
    QDir(folder).removeRecursively();
    QDir().mkpath(root + "/样表");
    QDir().mkpath(folder + "/download");
    qorfuzz::writeFile(root + "/样表/Monthly.xml", parts[0]);
    if (parts.size() > 1) qorfuzz::writeFile(folder + "/download/2004-03-01.xml", parts[1]);
    if (parts.size() > 2) qorfuzz::writeFile(folder + "/download/2004-04-01.xml", parts[2]);

    std::unique_ptr<CQorsDoc> doc;
    CAppEnvironment::DocumentHooks hooks;
    hooks.findOpen = [&doc](const QString&) { return doc.get(); };
    hooks.open = [&doc](const QString& path) -> CQorsDoc* {
        doc = std::make_unique<CQorsDoc>();
        return doc->Files().OnOpenDocument(path) ? doc.get() : nullptr;
    };
    hooks.create = [&doc]() -> CQorsDoc* {
        doc = std::make_unique<CQorsDoc>();
        return doc->Files().OnNewDocument() ? doc.get() : nullptr;
    };
    CAppEnvironment::Instance().SetDocumentHooks(hooks);
    const QString report = folder + "/Balance.rep";
    CConsolExchange exchange;
    CQorsDoc* target = nullptr;
    if (exchange.OpenDownloadedSample(report, &target) && target &&
        target->Files().PrepareClientSamples(report, exchange.NewReport(), exchange.FormatChanged()))
        target->Files().OnSaveDocument();
    if (doc) doc->Files().OnCloseDocument();
    CAppEnvironment::Instance().SetDocumentHooks({});
    return 0;
}
