#pragma once
// Profile (INI) files with the semantics the system's configuration files
// rely on: sections and keys are found without regard to case, the first
// of duplicate keys wins, values are trimmed, ';' starts a comment line.
// One pair of matching quotes around a value is dropped on reading, and
// sections of the same name read as one. Lines without '=' and keys before
// the first section are ignored.
// Files are read as UTF-16LE (with BOM), UTF-8 (with or without BOM) or
// GB18030, and written back in the encoding they were read in (new files:
// UTF-16LE with BOM). Saving goes through a temporary file and edits
// lines in place: comments, order and the bytes of untouched lines stay.

#include <QString>
#include <QStringList>
#include <initializer_list>
#include <memory>

namespace qor {

class IniFile {
public:
    enum class Encoding { Utf16Le, Utf8, Gb18030 };

    explicit IniFile(const QString& path);
    ~IniFile();
    IniFile(IniFile&&) noexcept;
    IniFile& operator=(IniFile&&) noexcept;

    QString path() const;
    bool exists() const;
    Encoding encoding() const;
    void setEncoding(Encoding e);

    // Re-reads the file (the constructor reads it once).
    bool reload();

    QString readString(const QString& section, const QString& key,
                       const QString& defaultValue = QString()) const;
    // Several keys of one section, the section looked up once; a missing
    // key reads as empty.
    QStringList readStrings(const QString& section, std::initializer_list<QStringView> keys) const;
    // The same without copies: out[i] views the value of keys[i] (empty when
    // missing) in the file's own text, valid until the file is changed,
    // reloaded or destroyed.
    void readViews(QStringView section, std::initializer_list<QStringView> keys,
                   QStringView* out) const;
    // Leading integer of the value, as the profile API reads it; the
    // default when the key is missing or holds no number.
    int readInt(const QString& section, const QString& key, int defaultValue = 0) const;
    QStringList sections() const;
    QStringList keys(const QString& section) const;
    bool hasSection(const QString& section) const;
    bool hasKey(const QString& section, const QString& key) const;

    // Changes are kept in memory until save(); writeString with the
    // profile API's immediacy is writeString + save. A value with blanks at
    // either end or enclosed in quotes is written quoted so it reads back
    // unchanged. Refused (false, nothing changed) when the text would not
    // read back as written: a line break anywhere, or a key holding '=' or
    // starting with ';' or '['.
    bool setString(const QString& section, const QString& key, const QString& value);
    void removeKey(const QString& section, const QString& key);
    void removeSection(const QString& section);
    // ownerOnly: the file is left readable by its owner alone (mode 0600),
    // whatever mode it had, for files that hold passwords.
    bool save(bool ownerOnly = false);

    // One-shot helpers matching the profile calls.
    static QString getProfileString(const QString& path, const QString& section, const QString& key,
                                    const QString& defaultValue = QString());
    static int getProfileInt(const QString& path, const QString& section, const QString& key,
                             int defaultValue = 0);
    static bool writeProfileString(const QString& path, const QString& section, const QString& key,
                                   const QString& value);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace qor
