#pragma once
// Reports and hand-made exchange files for the tests of the exchange file,
// and a description of a report that two reports can be compared by.

#include <gtest/gtest.h>

#include <QMap>
#include <QString>
#include <QStringList>
#include <memory>

#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/textutil.h"
#include "exchange/ownxml_format.h"
#include "tests/exchange/xmltestutil.h"

namespace oxtest {

inline QString testDir() {
    return qortest::freshDir(
        QStringLiteral("ownxml-") +
        QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()));
}

// A new report of rows x cols, in format state.
inline std::unique_ptr<CReportHandle> newReport(const QString& path, uint16_t rows = 50,
                                                uint16_t cols = 7) {
    auto h = std::make_unique<CReportHandle>(path);
    EXPECT_TRUE(h->IsOpen());
    EXPECT_EQ(h->IsFormatState(), 1);
    if (rows != 50 || cols != 7) {
        EXPECT_EQ(h->AccessTableSize(1, &rows, &cols), 0);
    }
    return h;
}

inline void setFormat(CReportHandle& h, int code, int32_t value, const CellArea& area) {
    EXPECT_EQ(h.AccessAreaFormat(1, code, &value, &area), 0) << "code " << code;
}

inline int32_t formatOf(CReportHandle& h, int code, int row, int col) {
    int32_t v = -1;
    const CellArea a = CellArea::cell(row, col);
    EXPECT_EQ(h.AccessAreaFormat(0, code, &v, &a), 0) << "code " << code;
    return v;
}

// Leaves format state with the given number of pages, page 1 current.
inline void toData(CReportHandle& h, int pages) {
    ASSERT_EQ(h.EnterDataState(), 0);
    if (pages > h.GetPageCount()) {
        ASSERT_EQ(h.AppendRowColPage(pages - h.GetPageCount(), 2), 0);
    }
    ASSERT_EQ(h.SetCurPage(1), 0);
}

inline void setNumber(CReportHandle& h, int page, int row, int col, double v) {
    EXPECT_EQ(h.SetCellValue(CellValue::ofNumber(v), row, col, page), 0);
}
inline void setText(CReportHandle& h, int page, int row, int col, const QString& t) {
    EXPECT_EQ(h.SetCellValue(CellValue::ofText(t), row, col, page), 0);
}
inline void setKeyword(CReportHandle& h, int slot, int page, double v) {
    EXPECT_EQ(h.SetPageKeyword(slot, qor::KeywordValue{1, v, {}}, page), 0);
}
inline void setKeywordText(CReportHandle& h, int slot, int page, const QString& t) {
    EXPECT_EQ(h.SetPageKeyword(slot, qor::KeywordValue{2, 0, t}, page), 0);
}

// Everything the exchange file carries of a report, as text: the table
// size, row heights and column widths, the line bytes, every cell's kind,
// format, label, combined area, formula and keyword, and every page's
// values and keyword values. Cells inside a combined area other than its
// first are left out (the file carries the area by its first cell), and
// an automatic alignment is given as the one the file writes for it.
inline QString describe(CReportHandle& h) {
    QString out;
    CReportFile* f = h.GetReportFile();
    const int rows = f->GetShownRowCount(), cols = f->GetShownColCount();
    out += QStringLiteral("table %1 x %2\n").arg(rows).arg(cols);
    for (int r = 1; r <= rows; ++r) {
        uint16_t size = 0;
        int32_t line = 0;
        h.AccessRowColSize(0, 0, r, &size);
        h.AccessRowColFlag(0, 0, r, &line);
        out += QStringLiteral("row %1: %2 %3\n").arg(r).arg(size).arg(line);
    }
    for (int c = 1; c <= cols; ++c) {
        uint16_t size = 0;
        int32_t line = 0;
        h.AccessRowColSize(0, 1, c, &size);
        h.AccessRowColFlag(0, 1, c, &line);
        out += QStringLiteral("col %1: %2 %3\n").arg(c).arg(size).arg(line);
    }
    for (int slot = 0; slot < 7; ++slot) {
        CellRef at;
        h.AccessKeywordCell(0, slot, &at);
        out += QStringLiteral("keyword %1 at %2,%3\n").arg(slot).arg(at.row).arg(at.col);
    }
    out += QStringLiteral("user keyword %1\n").arg(f->GetUserKeywordName());
    for (int r = 1; r <= rows; ++r) {
        for (int c = 1; c <= cols; ++c) {
            CellArea comb;
            if (h.GetCombinedArea(CellArea::cell(r, c), &comb)) {
                if (comb.first.row != r || comb.first.col != c) continue;
                out += QStringLiteral("%1 combined to %2,%3\n")
                           .arg(FormatCellRef(c - 1, r - 1))
                           .arg(comb.last.row)
                           .arg(comb.last.col);
            }
            QString line = FormatCellRef(c - 1, r - 1) + u':';
            const int kind = formatOf(h, qor::kFmtKind, r, c);
            const bool number = kind == 0 || kind == 1;
            for (int code = 0; code < qor::kFmtCodeCount; ++code) {
                if (code == qor::kFmtUndefined) continue;
                // The number format belongs to number cells alone.
                if (!number && (code == qor::kFmtDecimals || code == qor::kFmtPercent ||
                                code == qor::kFmtThousands || code == qor::kFmtCurrency))
                    continue;
                int32_t v = formatOf(h, code, r, c);
                if (code == qor::kFmtKind && v == 0) v = 1;
                if (code == qor::kFmtHAlign && v == 0) v = number ? 3 : 1;
                if (code == qor::kFmtVAlign && v == 0) v = 3;
                line += QStringLiteral(" %1").arg(v);
            }
            FormulaInfo info;
            if (h.GetCellFormula(CellRef{0, int16_t(r), int16_t(c)}, &info))
                line +=
                    QStringLiteral(" ={%1} from %2,%3").arg(info.text).arg(info.row).arg(info.col);
            for (int p = 1; p <= h.GetPageCount(); ++p) {
                CellValue v;
                h.GetCellValue(&v, r, c, p);
                line += v.kind == kCellNumber ? QStringLiteral(" |%1").arg(v.number, 0, 'g', 17)
                                              : QStringLiteral(" |'%1'").arg(v.text);
            }
            out += line + u'\n';
        }
    }
    for (int p = 1; p <= h.GetPageCount(); ++p) {
        for (int slot = 0; slot < 7; ++slot) {
            CellRef at;
            h.AccessKeywordCell(0, slot, &at);
            if (!at.row) continue;
            qor::KeywordValue v;
            h.GetPageKeyword(slot, &v, p);
            out += QStringLiteral("page %1 keyword %2: %3 %4 '%5'\n")
                       .arg(p)
                       .arg(slot)
                       .arg(v.kind)
                       .arg(v.number, 0, 'g', 17)
                       .arg(v.text);
        }
    }
    return out;
}

// One hand-made cell element: every child the writer writes, with the
// texts a plain number cell gets, changed by `set` and without `omit`.
struct CellXml {
    int r1 = 1, c1 = 1, r2 = 1, c2 = 1;
    QStringList values = {QString(), QString()};  // cell_value texts
    QStringList keywordValues;                    // written with a keyword_name in set
    QMap<QString, QString> set;
    QStringList omit;

    CellXml(int row, int col) : r1(row), c1(col), r2(row), c2(col) {}

    QString toXml() const {
        const QMap<QString, QString> defaults = {
            {"height", "18"},
            {"width", "64"},
            {"start_row", QString::number(r1)},
            {"start_col", QString::number(c1)},
            {"end_row", QString::number(r2)},
            {"end_col", QString::number(c2)},
            {"data_type", "14"},
            {"decimal_digits", "2"},
            {"has_comma", "false"},
            {"currency_symbol", "0"},
            {"has_percent", "false"},
            {"multi_line", "0"},
            {"font_name_index", LoadErrorText(qor::str::kFontName0)},
            {"font_style", "NORMAL"},
            {"font_size", "12"},
            {"horizontal_alignment", "right"},
            {"vertical_alignment", "bottom"},
            {"right_line_type", "0"},
            {"bottom_line_type", "0"},
            {"top_line_type", "0"},
            {"left_line_type", "0"},
            {"background_color", "#FFFFFF"},
            {"foreground_color", "#000000"},
            {"fill_type", "6"},
        };
        QString x = QStringLiteral("<cell_property>");
        auto element = [&](const QString& tag, const QString& text) {
            x += text.isEmpty() ? QStringLiteral("<%1/>").arg(tag)
                                : QStringLiteral("<%1>%2</%1>").arg(tag, text);
        };
        for (QStringView tagView : qor::ownxml::kCellChildTags) {
            const QString tag = tagView.toString();
            if (omit.contains(tag)) continue;
            if (tag == u"cell_value") {
                for (const QString& v : values) element(tag, v);
            } else if (tag == u"keyword_value") {
                if (set.contains("keyword_name"))
                    for (const QString& v : keywordValues) element(tag, v);
            } else if (set.contains(tag)) {
                element(tag, set.value(tag));
            } else if (defaults.contains(tag)) {
                element(tag, defaults.value(tag));
            }
        }
        return x + QStringLiteral("</cell_property>");
    }
};

// A UTF-8 exchange file holding the cells (root attributes as given).
inline QString writeExchangeFile(const QString& path, const QList<CellXml>& cells,
                                 const QString& rootAttributes = QStringLiteral(
                                     "export_type=\"qor_report\" format=\"1\" data=\"1\" "
                                     "formula=\"1\" repname=\"t\"")) {
    QString x = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<iqor_export %1>")
                    .arg(rootAttributes);
    for (const CellXml& c : cells) x += c.toXml();
    x += QStringLiteral("</iqor_export>\n");
    EXPECT_TRUE(xmltest::writeAll(path, x.toUtf8()));
    return path;
}

// Runs a python3 script with xml.etree on an exchange file (decoded from
// code page 936 first: expat reads no multi-byte encodings itself); the
// script finds the root in `root`.
inline qortest::ProcessResult etree(const QString& file, const QString& script) {
    const QString prelude = QStringLiteral(
        "import sys,re\n"
        "import xml.etree.ElementTree as ET\n"
        "raw=open(sys.argv[1],'rb').read()\n"
        "text=raw.decode('gb18030')\n"
        "root=ET.fromstring(re.sub(r'^<\\?xml[^>]*\\?>','',text))\n");
    return qortest::python(prelude + script, {file});
}

}  // namespace oxtest
