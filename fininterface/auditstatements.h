#pragma once
// The audit-office interface files: the statement list "shenjishu.xml"
// (which statements exist, their field lists and the report mapped to each)
// and one mapping file per statement telling where each field of each copy
// of the table lies in the report. Both live in the configuration folder.
// Whatever writes the statement text files reads these two files; this
// system writes no statement file itself.

#include <QString>
#include <QStringList>
#include <cstdint>

class CReportHandle;

class CAuditStatementList {
public:
    // Reads the definition file at once. A missing, unreadable or
    // other-version file is replaced by the built-in list; an existing
    // file is first kept aside under a new name so its report paths can
    // be recovered.
    CAuditStatementList();
    virtual ~CAuditStatementList();

    // kind 0: every statement; otherwise those whose unit type is kind.
    int GetCount(int kind = 0) const;
    QString GetListName(int index, int kind = 0) const;
    QString GetFilePath(int index, int kind = 0) const;
    QString GetFileName(int index) const;
    QString GetFormat(int index) const;
    QString FindFileName(const QString& listName) const;
    // Index of the first statement with that list name; -1 when none.
    int Find(const QString& listName) const;
    void SetFilePath(const QString& listName, const QString& path);
    // Writes the whole list (through a temporary file); false when it
    // could not be written.
    bool Save();

    // Where the definition file lies.
    static QString DefinitionPath();
    // The mapping file of a statement file name: the base name only,
    // lower-cased, a final ".txt" (any case) replaced by ".config", else
    // ".config" appended; always inside the configuration folder.
    static QString MappingPath(const QString& fileName);
    // The field name of one line of a field definition: the text before
    // the first comma (the whole line without one), CR and LF removed.
    static QString FieldName(const QString& line);
    // The lines of a field definition (split at LF).
    static QStringList FormatLines(const QString& format);

private:
    int indexOf(int index, int kind) const;
    void fillBuiltIn();

    QStringList m_names;
    QStringList m_files;
    QStringList m_formats;
    QStringList m_paths;
    QStringList m_units;
};

// The field list and mapping of one statement for one report.
class CAuditIfaceDef {
public:
    CAuditIfaceDef();
    virtual ~CAuditIfaceDef();

    // Rebuilds the entries: every field of the definition once per group.
    void ParseFormat(int groupCount);
    // Fills the definition from the statement list and the statement's
    // mapping file. False when the statement is unknown; a mapping that
    // does not follow the field list shows "OpenDefInterfaceXML error"
    // and keeps the cells read before the mismatch.
    bool LoadMapping(const QString& listName);
    // Locates every field in the report's own layout (in memory only).
    bool BuildMapping(CReportHandle* report, const QString& listName);
    // The stored mapping when there is one that fits the report's table
    // (same number of copies), else one located anew; in memory only.
    bool LoadOrBuild(CReportHandle* report, const QString& listName);
    // Writes the mapping file, replacing any file there; false on failure.
    bool SaveMapping();

    QString GetCell(int group, const QString& name) const;
    void SetCell(int group, const QString& name, const QString& text);
    int GetGroupCount() const { return m_nGroupCount; }

    int EntryCount() const { return int(m_names.size()); }
    QString EntryName(int i) const { return m_names.value(i); }
    QString EntryCell(int i) const { return m_cells.value(i); }
    QString EntryGroup(int i) const { return m_groups.value(i); }
    const QString& Format() const { return m_strFormat; }
    const QString& MappingPath() const { return m_strMappingPath; }
    void SetFormat(const QString& format) { m_strFormat = format; }

private:
    int find(int group, const QString& name) const;

    QStringList m_names;
    QStringList m_cells;
    QStringList m_groups;
    QString m_strFormat;
    QString m_strFileName;
    QString m_strMappingPath;
    int32_t m_nGroupCount = 0;
    CReportHandle* m_pReport = nullptr;
};
