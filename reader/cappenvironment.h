#pragma once
// The host environment: the login to the host system, its application
// services, the settings, and the entries through which headless code
// reaches what the upper layers provide (documents, the command language,
// the print dialog). The upper layers fill those entries at start-up;
// until then each answers with a clear failure.

#include <QDate>
#include <QString>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/automation.h"
#include "platform/uiservices.h"

class CAppServiceList;
class CQorsDoc;
class CReaderApp;

namespace qor {

// An event that stays signalled until reset, as the platform's
// manual-reset events do.
class ManualResetEvent {
public:
    explicit ManualResetEvent(bool signalled) : m_signalled(signalled) {}
    void Set();
    void Reset();
    bool IsSet() const;
    // Waits without a time limit; at once when signalled or closed.
    void Wait();
    // False when the time ran out.
    bool WaitFor(int milliseconds);
    // After closing every wait returns at once.
    void Close();

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_signalled;
    bool m_closed = false;
};

}  // namespace qor

// Signalled while no mail thread runs; a mail thread resets it when it
// starts and sets it when it ends. One for the process.
qor::ManualResetEvent& MailThreadEvent();

class CAppEnvironment {
public:
    // The login component's ProgIDs, tried in this order.
    static const char* const kLoginProgIds[3];
    static const QString kInstallKey;  // "Software\Vantix\QX\V8.610\Install"

    explicit CAppEnvironment(CReaderApp& app);
    ~CAppEnvironment();
    CAppEnvironment(const CAppEnvironment&) = delete;
    CAppEnvironment& operator=(const CAppEnvironment&) = delete;

    // The most recently made environment still alive, else one made for the
    // process on first use (with its own application object).
    static CAppEnvironment& Instance();
    // The most recently made environment still alive; null when none.
    static CAppEnvironment* Current();

    CReaderApp& App() { return m_app; }

    // --- login --------------------------------------------------------
    // Creates the login component when there is none yet, asks it to log
    // in and reads the login values. False when no login component can be
    // made or it refuses.
    bool Login();
    // Logs in when not yet logged in, then loads the application services
    // once and hands them the login and its date. Later calls return at
    // once. Never null; the list is empty when no service can be made.
    CAppServiceList* EnsureLoggedIn();
    bool IsLoggedIn() const { return m_loggedIn; }
    // The login component; null until Login made one.
    QObject* GetLoginObject() const { return m_login.object(); }
    // Null until EnsureLoggedIn.
    CAppServiceList* GetServiceList() const { return m_services.get(); }

    // Properties of the login component; the component is made and asked
    // to log in first when there is none. Empty / null on failure.
    QString GetLoginDbName();
    QString GetLoginSysPassword();
    QObject* GetLoginSystemDb();

    // The login values as Login read them.
    QString GetAccountSetId() const { return m_accountSetId; }
    QString GetLoginYear() const { return m_year; }
    QString GetUserId() const { return m_userId; }
    QString GetUserPassword() const { return m_userPassword; }
    QDate GetLoginDate() const { return m_loginDate; }

    // --- documents ----------------------------------------------------
    struct DocumentHooks {
        // The document that has the report open (activated), or null.
        std::function<CQorsDoc*(const QString& path)> findOpen;
        // Opens the report as a new document; null when it cannot.
        std::function<CQorsDoc*(const QString& path)> open;
        // A new, empty document from the application's template.
        std::function<CQorsDoc*()> create;
    };
    void SetDocumentHooks(DocumentHooks hooks) { m_documents = std::move(hooks); }
    // The document showing the report: the one that has it open, else the
    // report opened as a new document. When the table of open reports is
    // full, 62625 is shown and null answered; null also when no document
    // layer is installed or the report cannot be opened.
    CQorsDoc* FindOpenDocument(const QString& path);
    // The application's new-report entry; null without a document layer.
    CQorsDoc* NewDocument();
    // 62625 "打开文件个数超过限制！", with the busy flag set while it shows.
    void ShowTooManyFilesMessage();

    // --- command language -----------------------------------------------
    // Runs a ".shl" file in batch run mode and restores the run mode; the
    // reason in *error on failure.
    using BatchRunner = std::function<bool(const QString& path, QString* error)>;
    void SetBatchRunner(BatchRunner runner) { m_batchRunner = std::move(runner); }
    // Refuses a file that cannot be opened or is empty, and fails while no
    // command language is installed.
    bool RunBatchFile(const QString& path, QString* error = nullptr);

    // --- printing -----------------------------------------------------
    // Runs the print dialog on the request; 1 (OK, request updated and kept
    // as the application's last print settings) or 2 (cancelled).
    int DoPrintDialog(qor::PrintRequest& request);
    // The print dialog in printer-setup mode (flags 0x14000C).
    int OnFilePrintSetup();

    // --- settings (the application object's profile) ----------------------
    int GetProfileInt(const QString& section, const QString& key, int defaultValue);
    QString GetProfileString(const QString& section, const QString& key,
                             const QString& defaultValue = QString());
    bool WriteProfileString(const QString& section, const QString& key, const QString& value);
    bool WriteProfileInt(const QString& section, const QString& key, int value);

    // The tip of the day: the dialog the desktop installs runs at start-up
    // unless "Tip"/"StartUp" is non-zero. True when it was run.
    void SetTipDialog(std::function<void()> dialog) { m_tipDialog = std::move(dialog); }
    bool ShowTipAtStartup();

    // --- folders --------------------------------------------------------
    // The install path of the host (kInstallKey, "CurrentInstPath") with
    // "qor" below it; else the data directory's stand-in for "C:\QORTEMP".
    // Made when missing.
    static QString GetInstallDir();
    static QString GetConfigDir();
    static QString GetImportPath();

private:
    void ReadLoginValues();
    QVariant LoginProperty(const char* name);

    CReaderApp& m_app;
    qor::AutoObject m_login;
    bool m_loggedIn = false;
    QString m_accountSetId;
    QString m_year;
    QString m_userId;
    QString m_userPassword;
    QDate m_loginDate;
    std::unique_ptr<CAppServiceList> m_services;
    DocumentHooks m_documents;
    BatchRunner m_batchRunner;
    std::function<void()> m_tipDialog;
};
