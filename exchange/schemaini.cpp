#include "exchange/schemaini.h"

#include <QDir>

#include "engine/paths.h"
#include "platform/inifile.h"

namespace qor {
namespace {

constexpr int kDaoText = 10;

struct TypeWord {
    int daoType;
    const char* word;
};

// The first word of each type is the one written; the others are the
// driver's synonyms, accepted on reading.
constexpr TypeWord kTypeWords[] = {
    {1, "Bit"},     {2, "Byte"},   {3, "Short"},    {4, "Long"},  {5, "Currency"},
    {6, "Single"},  {7, "Double"}, {8, "DateTime"}, {10, "Char"}, {12, "LongChar"},
    {3, "Integer"}, {7, "Float"},  {8, "Date"},     {10, "Text"}, {12, "Memo"},
};

// Folder (with its separator) and file name of a text file; a bare name
// lies in the current directory.
struct Location {
    QString folder;
    QString fileName;
};

Location locate(const QString& path) {
    Location at;
    at.folder = FileNameFromPath(path);
    at.fileName = path.mid(at.folder.size());
    if (at.folder.isEmpty()) {
        at.folder = QDir::currentPath();
        if (!at.folder.endsWith(QLatin1Char('/'))) at.folder += QLatin1Char('/');
    }
    return at;
}

QString columnKey(qsizetype index) { return QStringLiteral("Col%1").arg(index + 1); }

std::optional<SchemaIniColumn> parseColumn(const QString& text) {
    SchemaIniColumn column;
    QString rest;
    const QString t = text.trimmed();
    if (t.startsWith(QLatin1Char('"'))) {
        const qsizetype close = t.indexOf(QLatin1Char('"'), 1);
        if (close < 0) return std::nullopt;
        column.name = t.mid(1, close - 1);
        rest = t.mid(close + 1);
    } else {
        const qsizetype blank = t.indexOf(QLatin1Char(' '));
        column.name = blank < 0 ? t : t.left(blank);
        rest = blank < 0 ? QString() : t.mid(blank + 1);
    }
    if (column.name.isEmpty()) return std::nullopt;
    const QStringList words = rest.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    column.daoType = kDaoText;  // the driver's own default
    if (!words.isEmpty()) {
        bool known = false;
        for (const TypeWord& w : kTypeWords) {
            if (words[0].compare(QLatin1String(w.word), Qt::CaseInsensitive) == 0) {
                column.daoType = w.daoType;
                known = true;
                break;
            }
        }
        if (!known) return std::nullopt;
    }
    for (qsizetype i = 1; i + 1 < words.size(); ++i) {
        if (words[i].compare(QLatin1String("Width"), Qt::CaseInsensitive) != 0) continue;
        bool ok = false;
        const int width = words[i + 1].toInt(&ok);
        if (!ok || width < 0) return std::nullopt;
        column.width = width;
    }
    return column;
}

}  // namespace

QString schemaIniPathFor(const QString& textFilePath) {
    return locate(textFilePath).folder + QStringLiteral("Schema.ini");
}

QString schemaIniTypeName(int daoType) {
    for (const TypeWord& w : kTypeWords)
        if (w.daoType == daoType) return QLatin1String(w.word);
    return schemaIniTypeName(kDaoText);
}

QString schemaIniColumnText(const SchemaIniColumn& column) {
    const QString& name = column.name;
    if (name.trimmed().isEmpty() || name.contains(QLatin1Char('"')) ||
        name.contains(QLatin1Char('\n')) || name.contains(QLatin1Char('\r')))
        return QString();
    QString text = name.contains(QLatin1Char(' ')) || name.contains(QLatin1Char('\t'))
                       ? QLatin1Char('"') + name + QLatin1Char('"')
                       : name;
    const QString type = schemaIniTypeName(column.daoType);
    text += QLatin1Char(' ') + type;
    if (type == QLatin1String("Char") && column.width > 0)
        text += QStringLiteral(" Width %1").arg(column.width);
    return text;
}

bool WriteSchemaIniSection(const QString& path, const SchemaIniTable& table) {
    const Location at = locate(path);
    if (at.fileName.trimmed().isEmpty()) return false;
    QStringList columnTexts;
    for (const SchemaIniColumn& c : table.columns) {
        const QString text = schemaIniColumnText(c);
        if (text.isEmpty()) return false;
        columnTexts.append(text);
    }
    IniFile ini(at.folder + QStringLiteral("Schema.ini"));
    // A section holding more columns than the new layout would otherwise
    // keep the old ones after it.
    ini.removeSection(at.fileName);
    const QString& section = at.fileName;
    bool ok =
        ini.setString(section, QStringLiteral("ColNameHeader"),
                      table.colNameHeader ? QStringLiteral("True") : QStringLiteral("False")) &&
        ini.setString(section, QStringLiteral("Format"), table.format) &&
        ini.setString(section, QStringLiteral("CharacterSet"), table.characterSet);
    for (qsizetype i = 0; ok && i < columnTexts.size(); ++i)
        ok = ini.setString(section, columnKey(i), columnTexts[i]);
    return ok && ini.save();
}

std::optional<SchemaIniTable> ReadSchemaIniSection(const QString& path) {
    const Location at = locate(path);
    if (at.fileName.trimmed().isEmpty()) return std::nullopt;
    const IniFile ini(at.folder + QStringLiteral("Schema.ini"));
    if (!ini.hasSection(at.fileName)) return std::nullopt;
    const QString& section = at.fileName;
    SchemaIniTable table;
    table.format = ini.readString(section, QStringLiteral("Format"), table.format);
    table.colNameHeader =
        ini.readString(section, QStringLiteral("ColNameHeader"), QStringLiteral("True"))
            .compare(QLatin1String("False"), Qt::CaseInsensitive) != 0;
    // "" when the section names none: the reader then looks at the bytes.
    table.characterSet = ini.hasKey(section, QStringLiteral("CharacterSet"))
                             ? ini.readString(section, QStringLiteral("CharacterSet"))
                             : QString();
    table.decimalSymbol = ini.readString(section, QStringLiteral("DecimalSymbol"));
    table.currencySymbol = ini.readString(section, QStringLiteral("CurrencySymbol")).trimmed();
    if (ini.hasKey(section, QStringLiteral("CurrencyNegFormat"))) {
        bool ok = false;
        const int code = ini.readString(section, QStringLiteral("CurrencyNegFormat")).trimmed().toInt(&ok);
        if (ok) table.currencyNegFormat = code;
    }
    table.dateTimeFormat = ini.readString(section, QStringLiteral("DateTimeFormat")).trimmed();
    for (qsizetype i = 0;; ++i) {
        const QString key = columnKey(i);
        if (!ini.hasKey(section, key)) break;
        const std::optional<SchemaIniColumn> column = parseColumn(ini.readString(section, key));
        if (!column) break;
        table.columns.append(*column);
    }
    return table;
}

}  // namespace qor

void RemoveSchemaIniSection(const QString& path) {
    const qor::Location at = qor::locate(path);
    if (at.fileName.isEmpty()) return;
    qor::IniFile ini(at.folder + QStringLiteral("Schema.ini"));
    if (!ini.hasSection(at.fileName)) return;
    ini.removeSection(at.fileName);
    ini.save();  // a failed save leaves the old file in place
}
