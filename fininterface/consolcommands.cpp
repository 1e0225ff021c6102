#include "fininterface/consolcommands.h"

#include <QDir>
#include <QFileInfo>

#include "document/commandtable.h"
#include "document/cqorsdoc.h"
#include "document/doc_commands.h"
#include "document/doc_others.h"
#include "engine/messages.h"
#include "fininterface/consolexchange.h"
#include "fininterface/consolfiles.h"
#include "platform/uiservices.h"
#include "reader/cappenvironment.h"
#include "reader/consolidationclientstandin.h"

namespace qor::consol {

namespace {

void tell(int id) { messageBox(LoadErrorText(id), QString(), MsgButtons::Ok, MsgIcon::Warning); }

}  // namespace

ConsolCommands::ConsolCommands(std::function<QList<CQorsDoc*>()> openDocuments,
                               std::function<qint32()> windowId)
    : m_openDocuments(std::move(openDocuments)), m_windowId(std::move(windowId)) {}

bool ConsolCommands::LoginConsolidationClient() {
    m_client = AutoObject();
    try {
        AutoObject client = AutoObject::create(QString::fromLatin1(ConsolidationClientStandIn::kProgId));
        for (const char* name : {"objLogin", "ParentHWnd", "QORPath"})
            if (!client.hasMember(QLatin1String(name))) return false;
        QObject* login = CAppEnvironment::Instance().GetLoginObject();
        client.setProperty(QStringLiteral("objLogin"), QVariant::fromValue(login));
        client.setProperty(QStringLiteral("ParentHWnd"), m_windowId ? m_windowId() : qint32(0));
        QString dataDir = CAppEnvironment::GetInstallDir();
        if (dataDir.isEmpty()) dataDir = QStringLiteral("C:\\QORTEMP");
        client.setProperty(QStringLiteral("QORPath"), dataDir);
        m_client = std::move(client);
        return true;
    } catch (const AutoError& e) {
        TraceMessage(e.text());
        return false;
    }
}

int ConsolCommands::runClient(const char* method, int unavailable, QVariant* result) {
    if (m_client.isNull() && !LoginConsolidationClient()) {
        tell(str::kConsolidationLoginFailed);
        return 0;
    }
    if (!m_client.hasMember(QLatin1String(method))) {
        m_client = AutoObject();
        tell(str::kConsolidationLoginFailed);
        return 0;
    }
    try {
        const QVariant answer = m_client.invoke(QLatin1String(method));
        if (result) *result = answer;
    } catch (const std::exception& e) {
        m_client = AutoObject();
        TraceMessage(QString::fromUtf8(e.what()));
        tell(unavailable);
        return 0;
    }
    return 1;
}

int ConsolCommands::Download() {
    QVariant files;
    if (!runClient("ShowDownload", str::kConsolidationDownloadUnavailable, &files)) return 0;
    if (m_afterDownload) m_afterDownload();
    TakeInSummary taken;
    TakeInDownloads(&taken);
    m_client = AutoObject();
    // The user hears what came down and where it lies: a download that
    // finished without a word looks like one that never ran.
    const QString folder = QDir::toNativeSeparators(
        ClientRootDir(QDir::fromNativeSeparators(CAppEnvironment::GetInstallDir())));
    bool counted = false;
    const int count = files.toInt(&counted);
    QString text = !counted    ? LoadErrorText(str::kDownloadReceivedUncounted).arg(folder)
                   : count > 0 ? LoadErrorText(str::kDownloadReceived).arg(count).arg(folder)
                               : LoadErrorText(str::kDownloadNothing);
    if (taken.reports > 0 && (!counted || count > 0)) {
        // Which periods were read and how much they changed: the clerk can
        // tell a real update from a repeat of the last download.
        text += u'\n';
        text += taken.periods.isEmpty()
                    ? LoadErrorText(str::kDownloadNothingNew).arg(taken.reports)
                    : LoadErrorText(str::kDownloadTakenInPeriods)
                          .arg(taken.reports)
                          .arg(taken.periods.join(LoadErrorText(str::kListSeparator)))
                          .arg(taken.changedCells);
    }
    if (!taken.notTaken.isEmpty())
        text += u'\n' + LoadErrorText(str::kDownloadValuesNotTaken).arg(taken.notTaken.join(u'\n'));
    m_lastTakeIn = taken;
    if (!taken.leftOut.isEmpty())
        text += u'\n' + LoadErrorText(str::kDownloadNotTakenIn).arg(taken.leftOut.join(LoadErrorText(str::kListSeparator)));
    messageBox(text, QString(), MsgButtons::Ok, MsgIcon::Information);
    return 1;
}

namespace {

// Before the take-in saves a client report over the clerk's unsaved
// entries, and before an upload sends what the report last saved, the
// clerk decides: keep them (saved first), drop them (the file as last saved
// is opened again), or leave it this time.
bool settleUnsavedEntries(CQorsDoc& doc, const QString& path, int question = str::kDownloadUnsavedAsk) {
    if (!doc.IsModified()) return true;
    const MsgAnswer answer =
        messageBox(LoadErrorText(question).arg(QDir::toNativeSeparators(path)),
                   QString(), MsgButtons::YesNoCancel, MsgIcon::Question, MsgAnswer::Cancel);
    if (answer == MsgAnswer::Yes) return doc.Files().OnSaveDocument(path);
    if (answer != MsgAnswer::No) return false;
    doc.Files().OnCloseDocument();
    return doc.Files().OnOpenDocument(path);
}

}  // namespace

int ConsolCommands::TakeInDownloads(TakeInSummary* summary) {
    TakeInSummary local;
    TakeInSummary& sum = summary ? *summary : local;
    const QList<CQorsDoc*> docs = m_openDocuments ? m_openDocuments() : QList<CQorsDoc*>();
    for (CQorsDoc* doc : docs) {
        if (!doc || doc->Files().GetClientMarker() != kConsolClientMarker) continue;
        const QString path = doc->GetPathName();
        if (path.isEmpty()) continue;
        if (!settleUnsavedEntries(*doc, path)) {
            sum.leftOut << QFileInfo(path).fileName();
            continue;
        }
        ++sum.reports;
        CConsolExchange exchange;
        CQorsDoc* target = nullptr;
        if (exchange.OpenDownloadedSample(path, &target) && target &&
            target->Files().PrepareClientSamples(path, exchange.NewReport(), exchange.FormatChanged())) {
            if (IConsolExchange* own = target->Files().GetConsolExchange()) {
                const DownloadTakeIn in = own->LastTakeIn();
                sum.periods << in.periods;
                sum.changedCells += in.changedCells;
                sum.notTaken << in.notTaken;
            }
        }
    }
    sum.periods.removeDuplicates();
    return sum.reports;
}

int ConsolCommands::Upload() {
    // The upload files are written when a client report is saved: entries
    // on screen and not saved would not be sent.
    const QList<CQorsDoc*> docs = m_openDocuments ? m_openDocuments() : QList<CQorsDoc*>();
    for (CQorsDoc* doc : docs) {
        if (!doc || doc->Files().GetClientMarker() != kConsolClientMarker) continue;
        const QString path = doc->GetPathName();
        if (!path.isEmpty() && !settleUnsavedEntries(*doc, path, str::kUploadUnsavedAsk)) return 0;
    }
    QVariant files;
    const int ok = runClient("ShowUpload", str::kConsolidationUploadUnavailable, &files);
    m_client = AutoObject();
    if (!ok) return 0;
    // An upload that said nothing could not be told from one that never ran.
    const QString folder = QDir::toNativeSeparators(
        ClientRootDir(QDir::fromNativeSeparators(CAppEnvironment::GetInstallDir())));
    bool counted = false;
    const int count = files.toInt(&counted);
    messageBox(!counted    ? LoadErrorText(str::kUploadSentUncounted).arg(folder)
               : count > 0 ? LoadErrorText(str::kUploadSent).arg(count).arg(folder)
                           : LoadErrorText(str::kUploadNothing),
               QString(), MsgButtons::Ok, MsgIcon::Information);
    return 1;
}

int ConsolCommands::OpenClientFile(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    if (name.size() < 4) {
        messageBox(LoadErrorText(str::kNotConsolClientFile) + QDir::toNativeSeparators(path));
        return 0;
    }
    // The files the client sends down and up, and its samples, lie in
    // folders of their own and name no report.
    const QString folder = ReportFolderName(path);
    for (const QString& own : {QStringLiteral("download"), QStringLiteral("upload"), SampleFolderName()}) {
        if (folder.compare(own, Qt::CaseInsensitive) == 0) {
            messageBox(LoadErrorText(str::kClientFileNotReport).arg(QDir::toNativeSeparators(path)),
                       QString(), MsgButtons::Ok, MsgIcon::Warning);
            return 0;
        }
    }
    const QString report = QDir::fromNativeSeparators(path).chopped(3) + QStringLiteral("rep");
    m_lastTakeIn = {};
    CConsolExchange exchange;
    CQorsDoc* doc = nullptr;
    if (!exchange.OpenDownloadedSample(report, &doc) || !doc) return 0;
    const int prepared =
        doc->Files().PrepareClientSamples(report, exchange.NewReport(), exchange.FormatChanged());
    if (IConsolExchange* own = doc->Files().GetConsolExchange()) {
        const DownloadTakeIn in = own->LastTakeIn();
        m_lastTakeIn.reports = 1;
        m_lastTakeIn.periods = in.periods;
        m_lastTakeIn.changedCells = in.changedCells;
        m_lastTakeIn.notTaken = in.notTaken;
        // The window shows what it took in; what it could not is said.
        if (prepared && !in.notTaken.isEmpty())
            messageBox(LoadErrorText(str::kDownloadValuesNotTaken).arg(in.notTaken.join(u'\n')),
                       QString(), MsgButtons::Ok, MsgIcon::Warning);
    }
    return prepared;
}

int ConsolCommands::ChooseAndOpen() {
    FilePrompt prompt;
    prompt.caption = LoadErrorText(str::kOpenClientReportCaption);
    prompt.directory = ClientRootDir(QDir::fromNativeSeparators(CAppEnvironment::GetInstallDir()));
    // A report of the client's folders, there already or named anew: a new
    // one is made from the sample the download brought. Only reports are
    // listed: the other files there (samples, downloads, uploads) name no
    // report of their own.
    prompt.filter = LoadErrorText(str::kClientReportFilter);
    prompt.mayBeNew = true;
    const std::optional<QString> path = chooseFile(prompt);
    if (!path || path->isEmpty()) return 0;
    return OpenClientFile(*path);
}

const CommandTable<ConsolCommands>& ConsolCommands::commands() {
    // Always on: the client says itself when it is missing.
    static const CommandTable<ConsolCommands> table(
        {
            {kCmdConsolDownload, nullptr, [](ConsolCommands& c, int) { c.Download(); }, nullptr},
            {kCmdConsolUpload, nullptr, [](ConsolCommands& c, int) { c.Upload(); }, nullptr},
            {kCmdOpenClientReport, nullptr, [](ConsolCommands& c, int) { c.ChooseAndOpen(); },
             nullptr},
        },
        doccmd::ReasonNotBuilt());
    return table;
}

bool ConsolCommands::OnUpdateCommand(int id, CommandState& state) {
    return commands().Update(*this, id, state);
}

bool ConsolCommands::OnCommand(int id) { return commands().Run(*this, id); }

}  // namespace qor::consol
