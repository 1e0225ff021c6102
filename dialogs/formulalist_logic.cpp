#include "dialogs/formulalist_logic.h"

#include <QFile>
#include <QFileInfo>

#include "cmdlang/scripts.h"
#include "document/cqorsdoc.h"
#include "engine/messages.h"
#include "engine/unicodetextfile.h"
#include "platform/uiservices.h"

namespace qor {

namespace {
// An audit text is at most 4 K characters; a file far beyond that is not
// read into memory only to be refused on OK.
constexpr qint64 kMaxImportBytes = 16 * 1024 * 1024;
}  // namespace

FormulaList SplitFormulaList(QString text) {
    FormulaList list;
    list.lines.reserve(text.count(QLatin1Char('\n')) + 1);
    qsizetype from = 0;
    while (from < text.size()) {
        const qsizetype cr = text.indexOf(QLatin1Char('\r'), from);
        const qsizetype lf = text.indexOf(QLatin1Char('\n'), from);
        list.lines.append({from, (cr < 0 ? text.size() : cr) - from});
        if (lf < 0) break;
        from = lf + 1;
    }
    list.text = std::move(text);
    return list;
}

QStringList SplitFormulaListText(const QString& text) {
    const FormulaList list = SplitFormulaList(text);
    QStringList lines;
    lines.reserve(list.size());
    for (qsizetype i = 0; i < list.size(); ++i) lines << list.Line(i);
    return lines;
}

FormulaList BuildFormulaList(const CQorsDoc& doc, int type) {
    QString text;
    doc.BuildFormulaListText(type, &text);
    return SplitFormulaList(std::move(text));
}

QString EmptyFormulaListText(int type) {
    if (type < kCellFormulas || type > kRoundingFormulas) type = kCellFormulas;
    return LoadErrorText(str::kNoCellFormulas + type);
}

QString FormulaListFilter(int type) {
    return QtFileFilter(
        LoadErrorText(type == kCellFormulas ? str::kTextOrScriptFilter : str::kTextFileFilter));
}

FormulaListFile FormulaListFileKind(const QString& path) {
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("txt")) return FormulaListFile::Text;
    if (ext == QLatin1String("shl")) return FormulaListFile::Script;
    return FormulaListFile::Refused;
}

QString WithDefaultListExtension(const QString& path, int type) {
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty()) return path;
    return path + (type == kCellFormulas ? QStringLiteral(".shl") : QStringLiteral(".txt"));
}

bool WriteFormulaList(const QString& path, const FormulaList& list, bool script) {
    // The whole list goes out in one write: one conversion and one system
    // call, however many formulas the report has.
    const QString crlf = QStringLiteral("\r\n");
    const QString let = QStringLiteral("let ");
    qsizetype size = 1;
    for (const auto& line : list.lines)
        size += line.second + crlf.size() + (script ? let.size() : 0);
    QString text;
    text.reserve(size);
    text += QChar(0xFEFF);  // the byte-order mark, FF FE once written
    for (const auto& [start, length] : list.lines) {
        if (script) text += let;
        text.append(list.text.constData() + start, length);
        text += crlf;
    }
    CUnicodeTextFile file;
    if (!file.Open(path)) return false;
    if (!file.WriteString(text)) {
        file.Abort();
        return false;
    }
    return file.Close();
}

QString CheckAuditFormulaText(const QString& text) {
    if (text.size() <= kAuditFormulaMaxChars) return QString();
    return LoadErrorText(str::kAuditFormulaCapacity) + LoadErrorText(str::kOverLimitSetAgain);
}

bool ReadAuditImportFile(const QString& path, QString* text, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) *error = f.errorString();
        return false;
    }
    if (f.size() > kMaxImportBytes) {
        if (error) *error = QStringLiteral("larger than 16 MiB");
        return false;
    }
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        if (error) *error = f.errorString();
        return false;
    }
    QString decoded = cmd::DecodeScriptBytes(bytes);
    const qsizetype nul = decoded.indexOf(QChar(0));
    if (nul >= 0) decoded.truncate(nul);
    *text = decoded;
    return true;
}

AuditImport InsertAuditImport(const QString& text, int pos, const QString& imported) {
    pos = qBound(0, pos, int(text.size()));
    return {text.left(pos) + imported + text.mid(pos), pos};
}

}  // namespace qor
