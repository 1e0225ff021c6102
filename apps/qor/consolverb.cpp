// qor consol: the consolidation client's commands without a window.
//   download        run the client's download and refresh the client
//                   reports (every report the command opens here)
//   upload          run the client's upload
//   open PATH       prepare or refresh the client report PATH names, which
//                   ends with its save
//   save REPORT     the report's own save: the checks, then the upload files
// Exit 3: done, but values or files of a download were not taken in as
// sent (left out, rounded, laid over), or upload files were not written;
// each is named on stderr.
#include <QDir>
#include <QFileInfo>
#include <memory>
#include <vector>

#include "apps/qor/verbs.h"
#include "document/cqorsdoc.h"
#include "document/doc_others.h"
#include "fininterface/consolcommands.h"
#include "fininterface/consolexchange.h"
#include "platform/uiservices.h"
#include "reader/cappenvironment.h"

namespace qor::app {

namespace {

// The documents this run opens or makes, found again by their path.
class HeadlessDocuments {
public:
    HeadlessDocuments() {
        CAppEnvironment::DocumentHooks hooks;
        hooks.findOpen = [this](const QString& path) -> CQorsDoc* {
            const QString wanted = QFileInfo(path).canonicalFilePath();
            for (const auto& doc : m_docs)
                if (!wanted.isEmpty() && QFileInfo(doc->GetPathName()).canonicalFilePath() == wanted)
                    return doc.get();
            return nullptr;
        };
        hooks.open = [this](const QString& path) -> CQorsDoc* {
            auto doc = std::make_unique<CQorsDoc>();
            if (!doc->Files().OnOpenDocument(path)) return nullptr;
            m_docs.push_back(std::move(doc));
            return m_docs.back().get();
        };
        hooks.create = [this]() -> CQorsDoc* {
            auto doc = std::make_unique<CQorsDoc>();
            if (!doc->Files().OnNewDocument()) return nullptr;
            m_docs.push_back(std::move(doc));
            return m_docs.back().get();
        };
        CAppEnvironment::Instance().SetDocumentHooks(std::move(hooks));
    }
    ~HeadlessDocuments() {
        for (const auto& doc : m_docs) doc->Files().OnCloseDocument();
        CAppEnvironment::Instance().SetDocumentHooks({});
    }
    HeadlessDocuments(const HeadlessDocuments&) = delete;
    HeadlessDocuments& operator=(const HeadlessDocuments&) = delete;
    QList<CQorsDoc*> all() const {
        QList<CQorsDoc*> docs;
        for (const auto& doc : m_docs) docs << doc.get();
        return docs;
    }

private:
    std::vector<std::unique_ptr<CQorsDoc>> m_docs;
};

// Message boxes become lines on stderr.
class Told {
public:
    explicit Told(Output* out) : m_out(out) {
        UiServices mine = uiServices();
        mine.messageBox = [this](const MessageRequest& m) {
            m_out->err += QStringLiteral("qor consol: %1\n").arg(m.text.trimmed());
            return m.defaultAnswer;
        };
        m_previous = installUiServices(mine);
    }
    ~Told() { installUiServices(m_previous); }
    Told(const Told&) = delete;
    Told& operator=(const Told&) = delete;

private:
    Output* m_out;
    UiServices m_previous;
};

}  // namespace

int verbConsol(const QStringList& args, Output* out) {
    const QString what = args.value(0);
    const bool needsPath = what == u"open" || what == u"save";
    if (!(needsPath || what == u"download" || what == u"upload") ||
        args.size() != (needsPath ? 2 : 1)) {
        out->err += QStringLiteral("qor consol: download | upload | open PATH | save REPORT\n");
        return 2;
    }
    InstallConsolExchange();
    Told told(out);
    HeadlessDocuments docs;
    consol::ConsolCommands commands([&docs] { return docs.all(); });
    if (what == u"download") {
        // The client reports under the client root take in what came down.
        const QString root = QDir(CAppEnvironment::GetInstallDir()).filePath(QStringLiteral("hbbb"));
        for (const QFileInfo& firm : QDir(root).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
            for (const QFileInfo& folder :
                 QDir(firm.filePath()).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
                for (const QFileInfo& rep :
                     QDir(folder.filePath()).entryInfoList({QStringLiteral("*.rep")}, QDir::Files, QDir::Name))
                    CAppEnvironment::Instance().FindOpenDocument(rep.filePath());
        if (!commands.Download()) return 1;
        // Values and items named as not taken in: the run is no clean one.
        return commands.LastTakeIn().notTaken.isEmpty() ? 0 : 3;
    }
    if (what == u"upload") return commands.Upload() ? 0 : 1;
    if (what == u"open") {
        if (!commands.OpenClientFile(args[1])) return 1;
        out->text += QStringLiteral("prepared %1\n").arg(QDir::toNativeSeparators(
            QDir::fromNativeSeparators(args[1]).chopped(3) + QStringLiteral("rep")));
        return commands.LastTakeIn().notTaken.isEmpty() ? 0 : 3;
    }
    CQorsDoc* doc = CAppEnvironment::Instance().FindOpenDocument(args[1]);
    if (!doc) {
        out->err += QStringLiteral("qor consol: cannot open %1\n").arg(args[1]);
        return 1;
    }
    if (!doc->Files().OnSaveDocument()) return 1;
    out->text += QStringLiteral("saved %1\n").arg(QDir::toNativeSeparators(doc->GetPathName()));
    // The report is saved; a page whose upload file was not written has
    // been named, and the run says it was no full success.
    return doc->Files().UploadsWritten() ? 0 : 3;
}

}  // namespace qor::app
