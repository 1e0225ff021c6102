#pragma once
// The application services of the host system: automation components
// listed by class id under the AppService keys of the Registry (each value
// of those keys names one service: its text is the CLSID or ProgID, or,
// when empty, the value's name is). Each service offers numbered items
// (functions) with a name and a descriptive second name; formulas call
// them by name.
//
// A service component answers, by name:
//   srvName, srvNumber, srvHelp               properties
//   srvDescript(), srvItemCount(), srvItemName(index, which)
//   srvItemForm(name), srvItemDesc(name), srvConference(name)
//   SetLogin(login), SetDate(year, month, day)
//   CallService(name, arguments, result)

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <vector>

#include "platform/automation.h"

// One function of a service, copied by value.
struct CServiceFuncItem {
    QString m_strName;
    QString m_strSecondName;
    int m_nService = -1;  // the owning service's number; -1: none
    int m_nValue = 0;

    bool IsEmpty() const { return m_nService < 0; }
};

// An entry of the service list, read by count and index.
struct CServiceRef {
    QString m_strName;
    int m_nNumber = 0;
    int m_nItemCount = 0;
    int m_nHelp = 0;
};

class CAppServiceList {
public:
    // Where the services are listed.
    static const QString kServiceKey;     // "Software\Vantix\QX\V8.610\AppService"
    static const QString kErpServiceKey;  // "Software\Vantix\VtErp-M\8.0\AppService"

    CAppServiceList();
    ~CAppServiceList();
    CAppServiceList(const CAppServiceList&) = delete;
    CAppServiceList& operator=(const CAppServiceList&) = delete;

    // Creates every listed service (again). A service that cannot be made
    // or read is left out and its reason kept in LoadProblems(). Answers
    // the number of services.
    int Load();
    QStringList LoadProblems() const { return m_problems; }

    // The entries; a service's number is its index here. Services are in
    // the order of their srvNumber.
    int GetCount() const { return int(m_services.size()); }
    CServiceRef GetEntry(int index) const;
    // The service component itself (not owned by the caller); null for a
    // bad number.
    QObject* GetService(int service) const;

    // The item of a function name, found without regard to case; an empty
    // item (service -1) when no service has it. When two services name the
    // same function, the one listed first answers.
    CServiceFuncItem FindItem(const QString& name) const;

    QString GetItemConference(const CServiceFuncItem& item) const;
    QString GetItemDescription(const CServiceFuncItem& item) const;
    QString GetItemForm(const CServiceFuncItem& item) const;
    // The first (which 0) or second (which 1) names of a service's items in
    // item order; leaveOutEqual drops the items whose two names are equal.
    // The answer is the list's own array, refilled by every call.
    const QStringList& GetItemNames(int service, int which, int leaveOutEqual);
    QString GetServiceDescription(int service) const;

    // The date the services work with; a part below 1 is today's.
    void SetServiceDate(int year, int month, int day);
    QDate GetServiceDate() const { return m_date; }
    // Hands the host login object to every service; the number that took
    // it.
    int SetLogin(QObject* login);

    // Runs a function; the answer in *value, or false with the reason in
    // *error.
    bool CallItem(const CServiceFuncItem& item, const QString& arguments, QVariant* value,
                  QString* error) const;

private:
    struct Service;
    struct NameEntry {
        QString key;  // lower-cased name
        CServiceFuncItem item;
    };
    Service* ServiceOf(int service) const;
    QString AskItem(const CServiceFuncItem& item, const char* method) const;

    std::vector<std::unique_ptr<Service>> m_services;
    QList<NameEntry> m_sortedNames;
    QStringList m_names;
    QStringList m_problems;
    QDate m_date;
};
