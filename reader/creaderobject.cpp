#include "reader/creaderobject.h"

#include <cmath>
#include <initializer_list>
#include <limits>

#include "engine/messages.h"

std::atomic<int> CReaderObject::s_live{0};

namespace {


// A text argument; numbers are written the way a cell shows them.
QString toText(const QVariant& v) {
    if (!v.isValid() || v.isNull()) return QString();
    if (qor::IsNumericVariant(v)) return QString::number(v.toDouble(), 'g', 15);
    return v.toString();
}

}  // namespace

CReaderObject::CReaderObject(QObject* parent) : QObject(parent) { ++s_live; }

CReaderObject::~CReaderObject() { --s_live; }

bool CReaderObject::toInt(const QVariant& v, const char* name, int* out, QString* error) {
    double d = 0;
    bool ok = false;
    if (!v.isValid() || v.isNull()) {
        *error = LoadErrorText(qor::str::kBadArgumentValue).arg(QLatin1String(name), QString());
        return false;
    }
    if (qor::IsNumericVariant(v)) {
        d = v.toDouble();
        ok = true;
    } else if (v.metaType().id() == QMetaType::QString ||
               v.metaType().id() == QMetaType::QByteArray) {
        d = v.toString().trimmed().toDouble(&ok);
    }
    if (!ok || !std::isfinite(d) || d != std::floor(d) ||
        d < double(std::numeric_limits<int>::min()) ||
        d > double(std::numeric_limits<int>::max())) {
        *error = LoadErrorText(qor::str::kBadArgumentValue).arg(QLatin1String(name), toText(v));
        return false;
    }
    *out = int(d);
    return true;
}

bool CReaderObject::ints(std::initializer_list<IntArg> args, QVariantMap* failed) {
    QString error;
    for (const IntArg& a : args) {
        if (!toInt(a.value, a.name, a.out, &error)) {
            *failed = answer(ReaderResult::failure(error));
            return false;
        }
    }
    return true;
}

QVariantMap CReaderObject::answer(const ReaderResult& given, const QVariant& value,
                                  bool hasValue) {
    ReaderResult r = given;
    // The cell formats are read when first used: a call that found them
    // damaged may have answered from defaults.
    if (const QString why = m_reader.FormatFailure(); r.ok && !why.isEmpty())
        r = ReaderResult::failure(why);
    QVariantMap m;
    m.insert(QStringLiteral("ok"), r.ok);
    m.insert(QStringLiteral("error"), r.error);
    if ((r.ok || r.formulaFailed) && hasValue) m.insert(QStringLiteral("value"), value);
    if (r.formulaFailed) m.insert(QStringLiteral("formulaFailed"), true);
    if (!r.ok) m_lastError = r.error;
    return m;
}

QVariantMap CReaderObject::OpenRep8File(const QVariant& sFileName, const QVariant& sLangId) {
    return answer(m_reader.OpenRep8File(toText(sFileName), toText(sLangId)));
}

QVariantMap CReaderObject::GetPages() {
    int pages = 0;
    const ReaderResult r = m_reader.GetPages(&pages);
    return answer(r, pages, true);
}

QVariantMap CReaderObject::SetCurPage(const QVariant& page) {
    int p = 0;
    if (QVariantMap bad; !ints({{page, "page", &p}}, &bad)) return bad;
    return answer(m_reader.SetCurPage(p));
}

QVariantMap CReaderObject::GetCurPage() {
    int page = 0;
    const ReaderResult r = m_reader.GetCurPage(&page);
    return answer(r, page, true);
}

QVariantMap CReaderObject::GetCellDataMatrix(const QVariant& iRow, const QVariant& iCol) {
    int row = 0, col = 0;
    if (QVariantMap bad; !ints({{iRow, "iRow", &row}, {iCol, "iCol", &col}}, &bad)) return bad;
    QVariant value;
    const ReaderResult r = m_reader.GetCellDataMatrix(row, col, &value);
    return answer(r, value, true);
}

QVariantMap CReaderObject::BeginDesign() { return answer(m_reader.BeginDesign()); }

QVariantMap CReaderObject::BeginData() { return answer(m_reader.BeginData()); }

QVariantMap CReaderObject::IsFormatState() {
    bool format = false;
    const ReaderResult r = m_reader.IsFormatState(&format);
    return answer(r, format, true);
}

QVariantMap CReaderObject::SetCurCell(const QVariant& row, const QVariant& col) {
    int r = 0, c = 0;
    if (QVariantMap bad; !ints({{row, "row", &r}, {col, "col", &c}}, &bad)) return bad;
    return answer(m_reader.SetCurCell(r, c));
}

QVariantMap CReaderObject::GetData() {
    QVariant value;
    const ReaderResult r = m_reader.GetData(&value);
    return answer(r, value, true);
}

QVariantMap CReaderObject::SetData(const QVariant& value) {
    return answer(m_reader.SetData(value));
}

QVariantMap CReaderObject::GetCellFormat(const QVariant& code) {
    int c = 0;
    if (QVariantMap bad; !ints({{code, "code", &c}}, &bad)) return bad;
    int value = 0;
    const ReaderResult r = m_reader.GetCellFormat(c, &value);
    return answer(r, value, true);
}

QVariantMap CReaderObject::SetCellFormat(const QVariant& code, const QVariant& value) {
    int c = 0, v = 0;
    if (QVariantMap bad; !ints({{code, "code", &c}, {value, "value", &v}}, &bad)) return bad;
    return answer(m_reader.SetCellFormat(c, v));
}

QVariantMap CReaderObject::SetRowHeight(const QVariant& row, const QVariant& height) {
    int r = 0, h = 0;
    if (QVariantMap bad; !ints({{row, "row", &r}, {height, "height", &h}}, &bad)) return bad;
    return answer(m_reader.SetRowHeight(r, h));
}

QVariantMap CReaderObject::SetColWidth(const QVariant& col, const QVariant& width) {
    int c = 0, w = 0;
    if (QVariantMap bad; !ints({{col, "col", &c}, {width, "width", &w}}, &bad)) return bad;
    return answer(m_reader.SetColWidth(c, w));
}

QVariantMap CReaderObject::CombineCells(const QVariant& row1, const QVariant& col1,
                                        const QVariant& row2, const QVariant& col2) {
    int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
    if (QVariantMap bad;
        !ints({{row1, "row1", &r1}, {col1, "col1", &c1}, {row2, "row2", &r2}, {col2, "col2", &c2}},
              &bad))
        return bad;
    return answer(m_reader.CombineCells(r1, c1, r2, c2));
}

QVariantMap CReaderObject::GetTableSize() {
    int rows = 0, cols = 0;
    const ReaderResult r = m_reader.GetTableSize(&rows, &cols);
    return answer(r, QVariantList{rows, cols}, true);
}

QVariantMap CReaderObject::SetTableSize(const QVariant& rows, const QVariant& cols) {
    int r = 0, c = 0;
    if (QVariantMap bad; !ints({{rows, "rows", &r}, {cols, "cols", &c}}, &bad)) return bad;
    return answer(m_reader.SetTableSize(r, c));
}

QVariantMap CReaderObject::AppendPages(const QVariant& count) {
    int n = 0;
    if (QVariantMap bad; !ints({{count, "count", &n}}, &bad)) return bad;
    return answer(m_reader.AppendPages(n));
}

QVariantMap CReaderObject::DeletePages(const QVariant& pos, const QVariant& count) {
    int p = 0, n = 0;
    if (QVariantMap bad; !ints({{pos, "pos", &p}, {count, "count", &n}}, &bad)) return bad;
    return answer(m_reader.DeletePages(p, n));
}

QVariantMap CReaderObject::AppendRows(const QVariant& count) {
    int n = 0;
    if (QVariantMap bad; !ints({{count, "count", &n}}, &bad)) return bad;
    return answer(m_reader.AppendRows(n));
}

QVariantMap CReaderObject::DeleteRows(const QVariant& pos, const QVariant& count) {
    int p = 0, n = 0;
    if (QVariantMap bad; !ints({{pos, "pos", &p}, {count, "count", &n}}, &bad)) return bad;
    return answer(m_reader.DeleteRows(p, n));
}

QVariantMap CReaderObject::GetKeyword(const QVariant& slot) {
    int s = 0;
    if (QVariantMap bad; !ints({{slot, "slot", &s}}, &bad)) return bad;
    QVariant value;
    const ReaderResult r = m_reader.GetKeyword(s, &value);
    return answer(r, value, true);
}

QVariantMap CReaderObject::SetKeyword(const QVariant& slot, const QVariant& value) {
    int s = 0;
    if (QVariantMap bad; !ints({{slot, "slot", &s}}, &bad)) return bad;
    return answer(m_reader.SetKeyword(s, value));
}

QVariantMap CReaderObject::GetKeywordCell(const QVariant& slot) {
    int s = 0;
    if (QVariantMap bad; !ints({{slot, "slot", &s}}, &bad)) return bad;
    int row = 0, col = 0;
    const ReaderResult r = m_reader.GetKeywordCell(s, &row, &col);
    return answer(r, QVariantList{row, col}, true);
}

QVariantMap CReaderObject::SetKeywordCell(const QVariant& slot, const QVariant& row,
                                          const QVariant& col) {
    int s = 0, r = 0, c = 0;
    if (QVariantMap bad; !ints({{slot, "slot", &s}, {row, "row", &r}, {col, "col", &c}}, &bad))
        return bad;
    return answer(m_reader.SetKeywordCell(s, r, c));
}

QVariantMap CReaderObject::GetFormula() {
    QString text;
    const ReaderResult r = m_reader.GetFormula(&text);
    return answer(r, text, true);
}

QVariantMap CReaderObject::SetFormula(const QVariant& text) {
    return answer(m_reader.SetFormula(toText(text)));
}

QVariantMap CReaderObject::Recalc() { return answer(m_reader.Recalc()); }

QVariantMap CReaderObject::GetLastError() {
    return answer(ReaderResult::success(), m_lastError, true);
}

QVariantMap CReaderObject::Save() { return answer(m_reader.Save()); }

QVariantMap CReaderObject::CloseFile() { return answer(m_reader.CloseFile()); }

QVariantMap CReaderObject::InsertRows(const QVariant& pos, const QVariant& count) {
    int p = 0, n = 0;
    if (QVariantMap bad; !ints({{pos, "pos", &p}, {count, "count", &n}}, &bad)) return bad;
    return answer(m_reader.InsertRows(p, n));
}

QVariantMap CReaderObject::SetVarArea(const QVariant& kind, const QVariant& start,
                                      const QVariant& extent) {
    int k = 0, s = 0, e = 0;
    if (QVariantMap bad;
        !ints({{kind, "kind", &k}, {start, "start", &s}, {extent, "extent", &e}}, &bad))
        return bad;
    return answer(m_reader.SetVarArea(k, s, e));
}

QVariantMap CReaderObject::GetVarLines() {
    int lines = 0;
    const ReaderResult r = m_reader.GetVarLines(&lines);
    return answer(r, lines, true);
}
