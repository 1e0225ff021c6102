#pragma once
// Sending and receiving report files through the mail transport library
// "vtmail8", loaded by name at run time. A transfer window (send or
// receive) is modeless; its library calls run on a worker thread, and the
// questions it asks come back to the window. MailThreadEvent is reset while
// a transfer window is open and set again on every path that closes it,
// a failed start included.

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QLibrary;
class QLabel;
class QListWidget;
class QLineEdit;
class QPushButton;
class QButtonGroup;
class QComboBox;

namespace qor::mail {

// Where the library is looked for: $QOR_MAIL_LIBRARY_DIR when set, else the
// folder of the running program.
QString MailLibraryPath();

// The library's entry points; a missing one stays null.
struct VtMail {
    std::unique_ptr<QLibrary> lib;
    void (*IniSend)() = nullptr;
    void (*SetUser)(const char16_t*) = nullptr;
    void (*AddFile)(const char16_t*) = nullptr;
    int32_t (*SendFile)(int32_t, const char16_t*) = nullptr;
    void (*CloseSend)() = nullptr;
    void (*IniAccept)() = nullptr;
    void (*FreeAccept)() = nullptr;
    void (*CloseAccept)() = nullptr;
    int32_t (*AcceptMode)() = nullptr;
    int32_t (*AcceptPost)() = nullptr;
    int32_t (*AcceptFile)() = nullptr;
    int32_t (*AcceptMail)() = nullptr;
    int32_t (*Accept)(int32_t, char16_t*, int32_t) = nullptr;
    int32_t (*MailLastError)(char16_t*, int32_t) = nullptr;
    void (*Setup)() = nullptr;

    VtMail();
    ~VtMail();
    bool Load();  // false when the library cannot be loaded
    bool HasSendEntries() const;
    bool HasAcceptEntries() const;
    QString LastError() const;  // the transport's reason of its last failure
};

// The name a received file lands under: the last part of the path the
// library answered (split at "/" and "\"); empty for "", ".", ".." and
// names with control characters.
QString SafeTargetName(const QString& sourcePath);

// True while no transfer window is open.
bool MailAvailable();

// Opens the send or receive window over parent. False (the reason shown
// and in *why) when the library is missing or a window is already open.
bool StartSend(QWidget* parent, QString* why = nullptr);
bool StartReceive(QWidget* parent, QString* why = nullptr);
// The send window with these files already listed.
bool StartSend(QWidget* parent, QString* why, const QStringList& files);

// Loads the library and runs its settings dialog (62562 when the library
// is missing). False with the reason in *why when it could not run.
bool RunSetup(QString* why = nullptr);

// Makes MAIL (S, A, P, none) of the command language open the windows.
void InstallMailCommand(QWidget* parent);

class CSendFileDlg : public QDialog {
public:
    CSendFileDlg(QWidget* parent, std::unique_ptr<VtMail> mail);
    ~CSendFileDlg() override;

    void AddFiles(const QStringList& paths);
    void DeleteSelected();
    // Sends every listed file; false with the reason shown when it failed.
    bool Send();

private:
    void updateButtons();
    std::unique_ptr<VtMail> m_mail;
    QListWidget* m_files;
    QButtonGroup* m_method;
    QLineEdit* m_address;
    QPushButton* m_send;
    QPushButton* m_delete;
    bool m_entriesOk = false;
};

class CAcceptFileDlg : public QDialog {
public:
    CAcceptFileDlg(QWidget* parent, std::unique_ptr<VtMail> mail);
    ~CAcceptFileDlg() override;

    void SetSaveFolder(const QString& folder);
    QString SaveFolder() const;
    // Receives every waiting file into the save folder; the count received.
    int Receive();

private:
    std::unique_ptr<VtMail> m_mail;
    QListWidget* m_files;
    QLabel* m_filesHeader;
    QButtonGroup* m_method;
    QLineEdit* m_folder;
    QComboBox* m_source;
    QPushButton* m_receive;
    bool m_entriesOk = false;
};

}  // namespace qor::mail
