#pragma once
// The local stand-in for the consolidation client of the host system. The
// real client talks to the consolidation server; this one exchanges files
// with a folder that plays the server:
//   ShowDownload: <server>/hbbb/...  ->  <QORPath>/hbbb/... (sample
//                 workbooks, download files; upload folders left out)
//   ShowUpload:   <QORPath>/hbbb/*/*/upload/*.xml  ->  the same under
//                 <server>/hbbb
// Sub-folders are kept, existing files replaced. The server folder is the
// ServerFolder property, preset from the Registry value "ServerFolder"
// under kSettingsKey.

#include <QObject>
#include <QPointer>
#include <QString>

namespace qor {

class ConsolidationClientStandIn : public QObject {
    Q_OBJECT
    Q_PROPERTY(QObject* objLogin READ login WRITE setLogin)
    Q_PROPERTY(qint32 ParentHWnd READ parentWindow WRITE setParentWindow)
    Q_PROPERTY(QString QORPath READ qorPath WRITE setQorPath)
    Q_PROPERTY(QString ServerFolder READ serverFolder WRITE setServerFolder)

public:
    static const char* const kClsid;
    static const char* const kProgId;  // "VTHBOffLine.clsHB"
    static const QString kSettingsKey;

    explicit ConsolidationClientStandIn(QObject* parent = nullptr);

    QObject* login() const { return m_login; }
    void setLogin(QObject* login) { m_login = login; }
    qint32 parentWindow() const { return m_parentWindow; }
    void setParentWindow(qint32 handle) { m_parentWindow = handle; }
    QString qorPath() const { return m_qorPath; }
    void setQorPath(const QString& path) { m_qorPath = path; }
    QString serverFolder() const { return m_serverFolder; }
    void setServerFolder(const QString& path) { m_serverFolder = path; }

    // Both answer the number of files copied; a missing source folder
    // copies nothing. Throws AutoError when a folder is not set or a file
    // cannot be copied (files copied before stay).
    Q_INVOKABLE int ShowDownload();
    Q_INVOKABLE int ShowUpload();

private:
    QString localFolder(const char* sub) const;
    QString remoteFolder(const char* sub) const;

    QPointer<QObject> m_login;
    qint32 m_parentWindow = 0;
    QString m_qorPath;
    QString m_serverFolder;
};

}  // namespace qor
