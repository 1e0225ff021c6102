#pragma once
// The report template list "qormodel.cfg": one section per industry, one
// key per template (name = path of its report file). An industry without
// templates is a section holding only "default" with an empty value.
//
// The list lives at <data dir>/<language>/qormodel.cfg, since the
// program's folder is not writable for a user. A path starting with "/"
// is absolute, a drive-rooted or double-backslash one is mapped to a
// native path, any other value ("\样表\a.rep") is relative to the list's
// folder. Every write stores resolved paths and replaces the whole file
// through a temporary file, so a failed write leaves the old list whole.

#include <QString>
#include <QStringList>
#include <QVector>

namespace qor {

struct TemplateIndustry {
    QString industry;
    QStringList names;
    QStringList paths;  // resolved, same order as names
    bool operator==(const TemplateIndustry&) const = default;
};

class TemplateListFile {
public:
    // At most this many templates per industry are added by the dialogs; a
    // longer section written by hand is still read whole.
    static constexpr int kMaxTemplates = 100;
    static constexpr int kMaxName = 128;

    // The list at path; an empty path takes the list of the running program.
    explicit TemplateListFile(const QString& path = QString());
    static QString DefaultPath();

    QString Path() const { return m_path; }
    QString Folder() const;
    // The path a stored value stands for.
    QString Resolve(const QString& value) const;

    // The industries in file order; empty when there is no list.
    QStringList Industries() const;
    // One industry's templates (none for a section holding only "default").
    TemplateIndustry Industry(const QString& name) const;
    QVector<TemplateIndustry> ReadAll() const;

    // Replaces the whole list; false with *error set (the old file whole)
    // when a name cannot be stored or the file cannot be written.
    bool WriteAll(const QVector<TemplateIndustry>& list, QString* error) const;

    // Why a name cannot be stored ("" when it can).
    static QString IndustryNameProblem(const QString& name);
    static QString TemplateNameProblem(const QString& name);

private:
    QString m_path;
};

// Two names the list cannot tell apart (its keys ignore case).
bool SameListName(const QString& a, const QString& b);

}  // namespace qor

#include <functional>

namespace qor {

// The name and path a template gets from the template dialog's two edits:
// an empty name is taken from the path's file name; a bare file name lies
// in the list's folder, ".rep" added when it has no extension.
struct TemplateEntry {
    QString name;
    QString path;
};
TemplateEntry TemplateFromEdits(const QString& name, const QString& path, const QString& folder);

// Appends the template files at paths to t: a missing file, a name t
// already lists, a file check fails or one more than the list holds is
// skipped and said in *messages; the others are added. The count added.
int AddTemplateFiles(TemplateIndustry& t, const QStringList& paths,
                     const std::function<bool(const QString&)>& check, QStringList* messages);

}  // namespace qor
