#pragma once
// The application object: what the whole program shares and that needs no
// window. The window layers keep their own frame and view pointers.
//
// Settings ("profile") live in an INI file, by default the application
// profile qor::applicationProfilePath(); an absent key answers the
// caller's default, so a fresh installation behaves as the program's
// defaults say.

#include <QSize>
#include <QString>
#include <memory>
#include <vector>

#include "platform/uiservices.h"
#include "reader/cadoconnection.h"
#include "reader/cnamedeflist.h"

// An account set of the host system: its id, its year and, once a formula
// has read from it, its database connection.
struct CAccountSet {
    QString m_strId;
    int m_nYear = 0;
    std::unique_ptr<CAdoConnection> m_pConnection;
};

class CReaderApp {
public:
    // An empty path takes the application profile.
    explicit CReaderApp(const QString& profilePath = QString());
    ~CReaderApp();
    CReaderApp(const CReaderApp&) = delete;
    CReaderApp& operator=(const CReaderApp&) = delete;

    // The most recently made application object still alive; null when
    // there is none.
    static CReaderApp* Current();

    // --- settings -----------------------------------------------------
    int GetProfileInt(const QString& section, const QString& key, int defaultValue) const;
    QString GetProfileString(const QString& section, const QString& key,
                             const QString& defaultValue = QString()) const;
    // Written at once. A null value removes the key, a null key the whole
    // section. False when the file cannot be written or the text would not
    // read back as written (a line break, a key holding '=').
    bool WriteProfileString(const QString& section, const QString& key, const QString& value);
    bool WriteProfileInt(const QString& section, const QString& key, int value);

    // --- account sets -------------------------------------------------
    int GetAccountSetCount() const { return int(m_accountSets.size()); }
    const CAccountSet& GetAccountSet(int index) const { return m_accountSets.at(size_t(index)); }
    void AddAccountSet(const QString& id, int year);
    void RemoveAllAccountSets() { m_accountSets.clear(); }
    // The connection of the first account set whose id and year, written
    // "%s_%d", equal key; opened on first use on
    // AccountDatabaseName(loginDbName, key) and kept. Null when no account
    // set matches. Throws CAdoException when the database cannot be opened.
    CAdoConnection* GetAccountConnection(const QString& key, const QString& loginDbName);
    // The database of an account set: the login database's name up to and
    // including the character after "VTDATA", followed by the key; the key
    // alone when the login name holds no "VTDATA".
    static QString AccountDatabaseName(const QString& loginDbName, const QString& key);

    // Table and field definitions the read-database dialog collects.
    CNameDefList m_tableDefs;
    CNameDefList m_fieldDefs;

    // --- printing -----------------------------------------------------
    // Base header height and width of a screen of these logical dots per
    // inch: trunc(x * 0.164) and trunc(y * 0.32).
    static QSize BaseHeaderMetrics(double logPixelsX, double logPixelsY);
    QSize m_baseHeader;
    bool m_bPrinting = false;
    int m_nPreviewPages = 1;
    // The choice of the last print dialog, reused by direct printing.
    qor::PrintRequest m_lastPrint;

    // --- state shared by the commands -----------------------------------
    bool m_bBusy = false;
    QString m_strPendingBatch;
    QString m_strIndustryName;  // of the account set
    QString m_strTemplateDir;
    QString m_strLibraryRoot;    // holds the "Library" folder of formula libraries
    QString m_strInterfacePath;  // data-interface file preset into its dialog
    // The program directory (help files, tips); the executable's folder.
    QString ProgramDirectory;

    // The help function: there is no help viewer; the request is logged.
    void WinHelp(quint32 context, quint32 command) const;

private:
    QString m_profilePath;
    std::vector<CAccountSet> m_accountSets;
};

// The language folder below the program directory ("zh-CN", "zh-TW",
// "en-US" or empty); one for the process.
QString LanguageCode();
void SetLanguageCode(const QString& code);
