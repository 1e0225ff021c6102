#pragma once
// The list of named command scripts a user keeps and runs by name. It lives
// in the application's profile, section "ShlFilesName": "Sum" entries,
// "Name%d" and "Path%d" numbered densely from 0 in list order.
//
// Every change is written as a whole list: when the profile refuses a value
// (a line break in a name, an unwritable file) what was already written is
// put back, so the profile never holds half a change.

#include <QString>
#include <QVector>
#include <functional>

namespace qor {

// Reads and writes one profile value; a null value removes the key. The
// write answers false when the value could not be stored.
struct ProfileAccess {
    std::function<QString(const QString& section, const QString& key)> read;
    std::function<bool(const QString& section, const QString& key, const QString& value)> write;
};

// The application profile of the running program.
ProfileAccess ApplicationProfile();

struct BatchScript {
    QString name;
    QString path;
    bool operator==(const BatchScript&) const = default;
};

// What a failed command script tells the user, in the system's language:
// each script and line the failure was reached through ("name, line n: "
// as the command language reports it), then what failed, told by the
// failure's code (the detail stays in the log of formulas and commands).
QString BatchFailureText(int code, const QString& reported);

class BatchScriptList {
public:
    explicit BatchScriptList(ProfileAccess profile) : m_profile(std::move(profile)) {}

    // The entries as stored; a missing section or a "Sum" that is not a
    // positive number is an empty list.
    QVector<BatchScript> Load() const;
    // The index of an entry named name other than except; -1 when none.
    static int FindName(const QVector<BatchScript>& list, const QString& name, int except = -1);
    // The name a script file is listed under: its file name without the
    // extension (either kind of slash ends the folder part).
    static QString NameOfPath(const QString& path);

    // Appends an entry; a name already listed is refused with the quoted
    // name and "名称重复!". False with *error set when nothing was changed.
    bool Add(const BatchScript& entry, QString* error);
    // Removes entry index, moving the later ones up; the keys left over at
    // the end are removed.
    bool Remove(int index, QString* error);
    // Replaces entry index by the edited one, which moves to the end of the
    // list when it differs; an unchanged entry stays where it is.
    bool Modify(int index, const BatchScript& edited, QString* error);

private:
    bool store(const QVector<BatchScript>& list, const QVector<BatchScript>& before, QString* error);
    bool writeAll(const QVector<BatchScript>& list, int oldCount);

    ProfileAccess m_profile;
};

// The text shown for a name that is already listed.
QString DuplicateNameText(const QString& name);

}  // namespace qor
