// A report edited in every way a user can edit one reopens identical, and
// an independent reader sees the header where the layout puts it.
#include <gtest/gtest.h>

#include <QFile>
#include <QTextStream>
#include <QtEndian>

#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/reportlayout.h"
#include "tests/common/testsupport.h"

namespace {

// Everything a caller can read back, as text, so two reports compare in
// one assertion and a difference shows where it is.
QString dump(CReportHandle& h) {
    QString out;
    QTextStream s(&out);
    uint16_t rows = 0, cols = 0;
    h.AccessTableSize(0, &rows, &cols);
    s << "size " << rows << "x" << cols << " pages " << h.GetPageCount() << "\n";
    int kind = 0, start = 0, extent = 0;
    h.AccessVarArea(0, &kind, &start, &extent);
    s << "var " << kind << " " << start << " " << extent << "\n";
    for (int slot = 0; slot < 8; ++slot) {
        CellRef ref;
        h.AccessKeywordCell(0, slot, &ref);
        s << "kwcell " << slot << " " << ref.row << "," << ref.col << "\n";
    }
    s << "userkw " << h.GetReportFile()->GetUserKeywordName() << "\n";
    for (int r = 1; r <= rows; ++r) {
        s << "row " << r;
        uint16_t size = 0;
        int32_t flag = 0;
        h.AccessRowColSize(0, 0, r, &size);
        h.AccessRowColFlag(0, 0, r, &flag);
        s << " h" << size << " f" << flag;
        for (int c = 1; c <= cols; ++c) {
            s << " [";
            for (int code = 0; code < qor::kFmtCodeCount; ++code) {
                if (code == qor::kFmtUndefined) continue;
                int32_t v = 0;
                CellArea a = CellArea::cell(r, c);
                h.AccessAreaFormat(0, code, &v, &a);
                s << v << (code + 1 < qor::kFmtCodeCount ? "," : "");
            }
            s << " code" << h.GetReportFile()->GetCombineCode(r, c);
            FormulaInfo f;
            if (h.GetCellFormula(CellRef{0, int16_t(r), int16_t(c)}, &f)) s << " =" << f.text;
            s << "]";
        }
        s << "\n";
    }
    for (int c = 1; c <= cols; ++c) {
        uint16_t size = 0;
        int32_t flag = 0;
        h.AccessRowColSize(0, 1, c, &size);
        h.AccessRowColFlag(0, 1, c, &flag);
        s << "col " << c << " w" << size << " f" << flag << "\n";
    }
    for (const auto& l : h.GetReportFile()->GetAreaLines())
        s << "line " << l.style << " " << l.r1 << "," << l.c1 << " " << l.direction << " " << l.r2
          << "," << l.c2 << "\n";
    s << "audit " << h.GetAuditFormulas() << "\n";
    const auto rs = h.GetRoundingSettings();
    s << "round " << rs.tableName << "|" << rs.range << "|" << rs.digits << "|" << rs.formula
      << "\n";
    qor::PageSetupBlock ps;
    h.GetPageSetup(&ps);
    s << "setup " << ps.margins[0] << " " << ps.margins[3] << " " << ps.scale << " "
      << ps.headFirst << "\n";
    std::array<uint32_t, 4> view{};
    s << "view " << h.GetSavedViewState(&view) << " " << view[0] << " " << view[3] << "\n";
    s << "calc " << h.GetCalcFlag() << "\n";
    if (h.IsFormatState()) h.EnterDataState(0);
    for (int p = 1; p <= h.GetPageCount(); ++p) {
        h.SetCurPage(p);
        int used = 0;
        h.AccessVarCount(0, &used);
        s << "page " << p << " used " << used << "\n";
        for (int slot = 0; slot < 7; ++slot) {
            qor::KeywordValue kv;
            h.GetPageKeyword(slot, &kv, p);
            s << " kw" << slot << " " << kv.kind << " " << kv.number << " " << kv.text;
        }
        CellArea check;
        if (h.GetCheckLineArea(p, &check))
            s << " check " << check.first.row << "," << check.first.col << ":" << check.last.row
              << "," << check.last.col;
        s << "\n";
        const uint16_t shownRows = h.GetReportFile()->GetShownRowCount();
        for (int r = 1; r <= shownRows; ++r)
            for (int c = 1; c <= cols; ++c) {
                const QString t = h.GetCellText(r, c, p);
                if (!t.isEmpty()) s << " " << r << "," << c << "=" << t;
            }
        s << "\n";
    }
    return out;
}

void buildEverything(CReportHandle& h) {
    uint16_t rows = 12, cols = 6;
    ASSERT_EQ(h.AccessTableSize(1, &rows, &cols), 0);
    int kind = 1, start = 8, extent = 5;
    ASSERT_EQ(h.AccessVarArea(1, &kind, &start, &extent), 0);

    CellArea title = CellArea::area(1, 1, 1, 4);
    ASSERT_EQ(h.CombineCells(&title), 0);
    ASSERT_EQ(h.SetCellValue(CellValue{kCellLabel, 0, "资产负债表"}, 1, 1), 0);
    ASSERT_EQ(h.SetCellValue(CellValue{kCellLabel, 0, "货币资金"}, 3, 1), 0);
    int32_t v = 2;
    CellArea head = CellArea::area(2, 1, 2, 6);
    ASSERT_EQ(h.AccessAreaFormat(1, qor::kFmtHAlign, &v, &head), 0);
    v = 1;
    ASSERT_EQ(h.AccessAreaFormat(1, qor::kFmtFontStyle, &v, &head), 0);
    v = 4;
    CellArea money = CellArea::area(3, 2, 6, 3);
    ASSERT_EQ(h.AccessAreaFormat(1, qor::kFmtDecimals, &v, &money), 0);
    v = 1;
    ASSERT_EQ(h.AccessAreaFormat(1, qor::kFmtThousands, &v, &money), 0);
    v = 12;
    ASSERT_EQ(h.AccessAreaFormat(1, qor::kFmtBackground, &v, &money), 0);
    v = 2;
    CellArea textCol = CellArea::area(3, 5, 6, 5);
    ASSERT_EQ(h.AccessAreaFormat(1, qor::kFmtKind, &v, &textCol), 0);
    CellArea frame = CellArea::area(2, 1, 6, 6);
    ASSERT_EQ(h.DrawAreaLines(&frame, 3, 6), 0);
    CellArea diag = CellArea::area(2, 1, 2, 1);
    ASSERT_EQ(h.DrawAreaLines(&diag, 4, 1), 0);
    uint16_t height = 30, width = 90;
    ASSERT_EQ(h.AccessRowColSize(1, 0, 2, &height), 0);
    ASSERT_EQ(h.AccessRowColSize(1, 1, 1, &width), 0);

    CellArea sum = CellArea::area(7, 2, 7, 3);
    ASSERT_EQ(h.SetAreaFormula(&sum, "B3+B4+B5+B6"), 0);
    ASSERT_EQ(h.SetAuditFormulas("B7=B3+B4+B5+B6\r\n"), 0);
    qor::RoundingSettings rs;
    rs.tableName = "资产负债表";
    rs.range = "B3:C7";
    rs.digits = 2;
    rs.formula = "B7=B3+B4+B5+B6";
    ASSERT_EQ(h.SetRoundingSettings(rs), 0);

    CellRef unitCell{0, 1, 5};
    ASSERT_EQ(h.AccessKeywordCell(1, 0, &unitCell), 0);
    CellRef yearCell{0, 1, 6};
    ASSERT_EQ(h.AccessKeywordCell(1, 2, &yearCell), 0);
    ASSERT_TRUE(h.GetReportFile()->SetUserKeywordName("部门"));

    qor::PageSetupBlock ps;
    ps.margins = {36, 40, 36, 44};
    ps.scale = 0.8f;
    ps.headFlag = 1;
    ps.headFirst = 0;
    ps.headLast = 1;
    ASSERT_EQ(h.SetPageSetup(ps), 0);
    h.SetSavedViewState({20 | (60u << 16), 0xC0C0C0, 1, 0x3F800000});

    ASSERT_EQ(h.EnterDataState(0), 0);
    ASSERT_EQ(h.AppendRowColPage(3, 2), 0);
    for (int p = 1; p <= 3; ++p) {
        ASSERT_EQ(h.SetCurPage(p), 0);
        for (int r = 3; r <= 6; ++r)
            ASSERT_EQ(h.SetCellValue(CellValue::ofNumber(p * 1000 + r + 0.125), r, 2), 0);
        ASSERT_EQ(h.SetCellValue(CellValue::ofText(QString("备注%1").arg(p)), 3, 5), 0);
        qor::KeywordValue unit{2, 0, QString("单位%1").arg(p)};
        ASSERT_EQ(h.SetPageKeyword(0, unit, p), 0);
        qor::KeywordValue year{1, 2025.0 + p, {}};
        ASSERT_EQ(h.SetPageKeyword(2, year, p), 0);
        int used = p + 1;
        ASSERT_EQ(h.AccessVarCount(1, &used), 0);
        for (int line = 0; line < used; ++line)
            ASSERT_EQ(h.SetCellValue(CellValue::ofNumber(line + 0.5), 8 + line, 4), 0);
    }
    CellArea check = CellArea::area(3, 2, 4, 2);
    ASSERT_EQ(h.SetCheckLineArea(2, &check), 0);
}

TEST(ReportRoundTrip, EveryKindOfEditReopensIdentical) {
    const QString dir = qortest::freshDir("roundtrip");
    const QString path = dir + "/everything.rep";
    QString before;
    {
        CReportHandle h(path);
        ASSERT_TRUE(h.IsOpen());
        buildEverything(h);
        if (HasFatalFailure()) return;
        ASSERT_EQ(h.Save(), 0);
        before = dump(h);
    }
    QString after;
    {
        CReportHandle h(path, CReportHandle::OpenMode::OpenExisting);
        ASSERT_TRUE(h.IsOpen()) << h.OpenStatus();
        after = dump(h);
        // A second save of the unchanged report changes nothing either.
        ASSERT_EQ(h.Save(), 0);
    }
    EXPECT_EQ(before, after);
    CReportHandle again(path, CReportHandle::OpenMode::OpenExisting);
    EXPECT_EQ(dump(again), before);
    EXPECT_TRUE(before.contains("资产负债表"));
    EXPECT_TRUE(before.contains("=B3+B4+B5+B6"));
    // The dump really holds page data (not a string of refusals).
    EXPECT_TRUE(before.contains("page 3 used 4")) << qPrintable(before);
    EXPECT_TRUE(before.contains("3,5=备注2")) << qPrintable(before);
    EXPECT_TRUE(before.contains("kw0 2 0 单位3")) << qPrintable(before);
    EXPECT_TRUE(before.contains("check 3,2:4,2")) << qPrintable(before);
}

TEST(ReportRoundTrip, IndependentReaderSeesTheDocumentedHeader) {
    if (!qortest::needProgram("gsf")) GTEST_SKIP() << "gsf not installed";
    const QString dir = qortest::freshDir("roundtrip-gsf");
    const QString path = dir + "/header.rep";
    {
        CReportHandle h(path);
        uint16_t rows = 321, cols = 45;
        ASSERT_EQ(h.AccessTableSize(1, &rows, &cols), 0);
        ASSERT_EQ(h.EnterDataState(0), 0);
        ASSERT_EQ(h.AppendRowColPage(7, 2), 0);
        ASSERT_EQ(h.Save(), 0);
    }
    auto cat = qortest::run("gsf", {"cat", path, "QOR~REP"});
    ASSERT_EQ(cat.exitCode, 0) << cat.err.constData();
    const QByteArray b = cat.out;
    ASSERT_GE(b.size(), qor::kMinRepStreamSize);
    auto u16 = [&](int off) { return qFromLittleEndian<quint16>(b.constData() + off); };
    auto u32 = [&](int off) { return qFromLittleEndian<quint32>(b.constData() + off); };
    EXPECT_EQ(b.left(8), QByteArray("QOR8.61\0", 8));
    EXPECT_EQ(u16(8), 1816);
    EXPECT_EQ(u16(16), 321);
    EXPECT_EQ(u16(18), 45);
    EXPECT_EQ(u32(28), 7u);
    // Saved in data state: the format-state flag is clear, the in-use byte
    // is clear and the checksum covers the header without the mark.
    EXPECT_EQ(u32(12) & qor::kFlagFormatState, 0u);
    EXPECT_EQ(quint8(b[qor::kMarkerOffset]), 0);
    QByteArray forCrc = b.left(qor::kHeaderCrcOffset);
    forCrc.replace(qor::kMarkerOffset, qor::kMarkerLength, QByteArray(qor::kMarkerLength, '\0'));
    EXPECT_EQ(u32(qor::kHeaderCrcOffset), qor::crc32(forCrc.constData(), size_t(forCrc.size())));
}

}  // namespace
