#pragma once
// The main window's consolidation-client commands: 下载或接收 runs the
// client's download and lets every open client report take in what came
// down, 上报 runs the client's upload, and 打开客户端报表… opens (or
// prepares) one report of the client's folders.

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "document/cmdtarget.h"
#include "platform/automation.h"
#include "resources/commandids.h"

class CQorsDoc;

namespace qor {
template <class Target>
class CommandTable;
}

namespace qor::consol {

using qor::cmd_ids::kCmdConsolDownload;
using qor::cmd_ids::kCmdConsolUpload;
using qor::cmd_ids::kCmdOpenClientReport;

class ConsolCommands : public ICommandTarget {
public:
    // openDocuments lists the application's open reports; windowId (may be
    // empty) answers the id of the main window the client's dialogs belong
    // to, asked only when the client is made (0 when there is none).
    ConsolCommands(std::function<QList<CQorsDoc*>()> openDocuments,
                   std::function<qint32()> windowId = {});

    // Makes the client object and hands it the login, the window and the
    // data folder. False (nothing held) when any of it fails.
    bool LoginConsolidationClient();
    // 1 when the client ran, after telling what came down and where it
    // went; 0 after 62570 or 62571. Nothing stays held.
    int Download();
    int Upload();
    // What the open client reports took in after a download.
    struct TakeInSummary {
        int reports = 0;        // client reports that took in
        QStringList periods;    // the periods of the files read, in order
        int changedCells = 0;   // cells whose value the files changed
        QStringList leftOut;    // reports left as they were (unsaved changes kept)
        QStringList notTaken;   // values, items and files not taken in as sent, named
    };
    // Every open client report takes in what the client sent down (the
    // step after a download). A report with unsaved changes is asked about
    // first: saved, its changes dropped, or left out. The number of client
    // reports that took in.
    int TakeInDownloads(TakeInSummary* summary = nullptr);
    // Opens the client report that path names (its last three characters
    // become "rep"), taking in the sample and download files. 1 on
    // success; 0 after a message.
    int OpenClientFile(const QString& path);
    // Asks for a report in the client's folders, there already or named
    // anew, and opens it (a new one is made from the downloaded sample).
    int ChooseAndOpen();
    // What the last Download or OpenClientFile took in.
    const TakeInSummary& LastTakeIn() const { return m_lastTakeIn; }
    // Runs after a download has refreshed the reports (the file manager).
    void SetAfterDownload(std::function<void()> hook) { m_afterDownload = std::move(hook); }

    bool OnUpdateCommand(int id, CommandState& state) override;
    bool OnCommand(int id) override;

private:
    static const CommandTable<ConsolCommands>& commands();
    // Calls the client's method; *result (when given) gets its answer.
    // unavailable names the service in the message of a failed call.
    int runClient(const char* method, int unavailable, QVariant* result = nullptr);

    std::function<QList<CQorsDoc*>()> m_openDocuments;
    std::function<qint32()> m_windowId;
    AutoObject m_client;
    std::function<void()> m_afterDownload;
    TakeInSummary m_lastTakeIn;
};

}  // namespace qor::consol
