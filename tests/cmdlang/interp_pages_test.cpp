// LET on cells and keywords, APPEND FROM, DELETE, SORT, ROUND, CHECK and
// RECALC, each checked by the pages and values it leaves.
#include "engine/cellformat.h"
#include "interp_support.h"

using namespace interp;

namespace {

QVariantList months(CReportHandle* r) {
    QVariantList out;
    for (int p = 1; p <= r->GetPageCount(); ++p) out << InterpTest::keyword(r, p, kMonth);
    return out;
}

// Five pages, months 3, 6, 7, 12, 1 and A1 = the month * 10.
CReportHandle* monthReport(InterpTest& t, CReportHandle* r) {
    const int ms[] = {3, 6, 7, 12, 1};
    for (int p = 1; p <= 5; ++p) {
        InterpTest::setKeyword(r, p, kMonth, ms[p - 1]);
        InterpTest::setKeyword(r, p, kYear, p % 2 ? 2004 : 2003);
        InterpTest::setNumber(r, p, 1, 1, ms[p - 1] * 10);
    }
    (void)t;
    return r;
}

}  // namespace

TEST_F(InterpTest, LetWritesCellsAreasAndKeywords) {
    CReportHandle* r = makeReport("let.rep", 6, 4, 2);
    ci->SetReport(r);
    setNumber(r, 1, 1, 2, 3);
    setNumber(r, 1, 1, 3, 4);
    ok("let A1=B1+C1");
    EXPECT_EQ(number(r, 1, 1, 1), 7);
    // An area: references move with each cell.
    setNumber(r, 1, 2, 2, 10);
    setNumber(r, 1, 3, 2, 20);
    ok("LET A2:A3 = B2*2");
    EXPECT_EQ(number(r, 1, 2, 1), 20);
    EXPECT_EQ(number(r, 1, 3, 1), 40);
    // Cells are computed from the page as it was, then written together.
    ok("LET A2:A3 = A1+A2");
    EXPECT_EQ(number(r, 1, 2, 1), 27);
    EXPECT_EQ(number(r, 1, 3, 1), 60);

    ok("LET 年 = 2004");
    ok("LET 单位名称 = \"北京\" + \"分部\"");
    EXPECT_EQ(keyword(r, 1, kYear), 2004);
    EXPECT_EQ(keyword(r, 1, kName), "北京分部");
    ok("LET D1 = 年 + 1 FOR 单位名称=\"北京分部\"");
    EXPECT_EQ(number(r, 1, 1, 4), 2005);
    ok("LET D1 = 0 FOR 年=1999");  // the For clause leaves the cell alone
    EXPECT_EQ(number(r, 1, 1, 4), 2005);

    // A failing cell writes nothing at all.
    fails("LET B5:C5 = IFF(C1>0, 1/(B5-B5), 1)", CALC_ERR_EVALUATION);
    EXPECT_TRUE(empty(r, 1, 5, 2));
    fails("LET A7 = 1", ::code(Status::OutsideTable));
    ASSERT_EQ(r->SetCurPage(2), 0);
    ok("LET A1 = A1@1 * 2");
    EXPECT_EQ(number(r, 2, 1, 1), 14);
}

TEST_F(InterpTest, LetFollowsWithTheFormulasThatReadTheCell) {
    auto h = std::make_unique<CReportHandle>(dir + "/dep.rep");
    CellArea c1 = CellArea::cell(1, 3);
    ASSERT_EQ(h->SetAreaFormula(&c1, "A1+B1"), 0);
    ASSERT_EQ(h->EnterDataState(), 0);
    ASSERT_EQ(h->AppendRowColPage(1, 2), 0);
    ASSERT_EQ(h->SetCurPage(1), 0);
    ci->SetReport(h.get());
    ok("LET A1 = 2");
    ok("LET B1 = 5");
    EXPECT_EQ(number(h.get(), 1, 1, 3), 7);
}

TEST_F(InterpTest, AppendFromCopiesThePagesThatPass) {
    // The source is a closed file; the same shape is required.
    {
        auto src = std::make_unique<CReportHandle>(dir + "/x.rep");
        uint16_t rows = 4, cols = 3;
        ASSERT_EQ(src->AccessTableSize(1, &rows, &cols), 0);
        int kind = 1, start = 2, extent = 2;
        ASSERT_EQ(src->AccessVarArea(1, &kind, &start, &extent), 0);
        ASSERT_EQ(src->EnterDataState(), 0);
        ASSERT_EQ(src->AppendRowColPage(5, 2), 0);
        monthReport(*this, src.get());
        ASSERT_EQ(src->SetCurPage(3), 0);
        int n = 2;
        ASSERT_EQ(src->AccessVarCount(1, &n), 0);
        setNumber(src.get(), 3, 3, 2, 77);  // line 2, column B
        ASSERT_EQ(src->Save(), 0);
    }
    CReportHandle* r = makeReport("dest.rep", 4, 3, 1, 1, 2);
    setKeyword(r, 1, kMonth, 9);
    ci->SetReport(r);
    ok("APPEND FROM \"x.rep\" FOR 月>=6\r\n");
    ASSERT_EQ(r->GetPageCount(), 4);
    EXPECT_EQ(r->GetCurPage(), 1);
    EXPECT_EQ(months(r), (QVariantList{9, 6, 7, 12}));
    EXPECT_EQ(number(r, 3, 1, 1), 70);
    EXPECT_EQ(keyword(r, 3, kYear), 2004);
    ASSERT_EQ(r->SetCurPage(3), 0);
    int used = 0;
    ASSERT_EQ(r->AccessVarCount(0, &used), 0);
    EXPECT_EQ(used, 2);
    EXPECT_EQ(number(r, 3, 3, 2), 77);

    CReportHandle* narrow = makeReport("narrow.rep", 4, 2, 1, 1, 2);
    ASSERT_EQ(narrow->Save(), 0);
    fails("APPEND FROM \"narrow.rep\"", CALC_ERR_SHAPE_MISMATCH);
    fails("APPEND FROM \"missing.rep\"", ::code(Status::FileNotFound));
    fails("APPEND FROM \"x.rep\" FOR 月>=", CALC_ERR_SYNTAX);
    EXPECT_EQ(r->GetPageCount(), 4);
}

TEST_F(InterpTest, DeleteByListAllAndCondition) {
    CReportHandle* r = monthReport(*this, makeReport("del.rep", 3, 2, 5));
    ci->SetReport(r);
    fails("DELETE 1,8,14", ::code(Status::PageOutOfRange));
    EXPECT_EQ(r->GetPageCount(), 5);
    ok("DELETE 2,4");
    EXPECT_EQ(months(r), (QVariantList{3, 7, 1}));
    ok("DELETE FOR 月>=3 AND 年=2004");
    EXPECT_EQ(months(r), (QVariantList{1}));
    ok("DELETE ALL");
    EXPECT_EQ(r->GetPageCount(), 0);
    EXPECT_EQ(r->GetCurPage(), 0);
    fails("LET A1 = 1", CALC_ERR_NO_PAGE);
}

TEST_F(InterpTest, SortPagesOrLines) {
    CReportHandle* r = monthReport(*this, makeReport("sort.rep", 4, 2, 5, 1, 3));
    ci->SetReport(r);
    ok("SORT BY 年 DESC, 月");
    EXPECT_EQ(months(r), (QVariantList{1, 3, 7, 6, 12}));
    ok("SORT PAGES BY A1 DESC");
    EXPECT_EQ(months(r), (QVariantList{12, 7, 6, 3, 1}));

    ASSERT_EQ(r->SetCurPage(2), 0);
    int n = 3;
    ASSERT_EQ(r->AccessVarCount(1, &n), 0);
    const double b[] = {5, 9, 1};
    for (int i = 0; i < 3; ++i) {
        setNumber(r, 2, 3 + i, 1, i + 1);
        setNumber(r, 2, 3 + i, 2, b[i]);
    }
    ok("SORT BY V_B DESC");
    EXPECT_EQ(number(r, 2, 3, 1), 2);
    EXPECT_EQ(number(r, 2, 4, 1), 1);
    EXPECT_EQ(number(r, 2, 5, 1), 3);

    fails("SORT BY V_B, 月", CALC_ERR_BAD_ARGUMENT);
    fails("SORT PAGES BY A3", CALC_ERR_BAD_ARGUMENT);  // the variable area's row
    fails("SORT BY 利润", CALC_ERR_BAD_ARGUMENT);
    fails("SORT VAR BY V_1", CALC_ERR_BAD_ARGUMENT);
    EXPECT_EQ(months(r), (QVariantList{12, 7, 6, 3, 1}));
}

TEST_F(InterpTest, RoundBalancesTheDetails) {
    auto h = std::make_unique<CReportHandle>(dir + "/round.rep");
    uint16_t rows = 6, cols = 2;
    ASSERT_EQ(h->AccessTableSize(1, &rows, &cols), 0);
    int32_t decimals = 2;
    CellArea col = CellArea::area(1, 1, 6, 1);
    ASSERT_EQ(h->AccessAreaFormat(1, qor::kFmtDecimals, &decimals, &col), 0);
    // Thousands: A4 = A1+A2+A3, A6 = A4+A5.
    ASSERT_EQ(h->SetRoundingSettings({QString(), "A1:A6", 3, "A4=A1+A2+A3\r\nA6=A4+A5"}), 0);
    ASSERT_EQ(h->EnterDataState(), 0);
    ASSERT_EQ(h->AppendRowColPage(1, 2), 0);
    ASSERT_EQ(h->SetCurPage(1), 0);
    const double values[] = {1004, 2004, 3004, 6012, 5004, 11016};
    for (int i = 0; i < 6; ++i) setNumber(h.get(), 1, i + 1, 1, values[i]);
    setKeyword(h.get(), 1, kYear, 2004);
    ci->SetReport(h.get());

    ok("ROUND TO \"round1000\"");
    EXPECT_EQ(number(h.get(), 1, 1, 1), 1004);  // this report untouched
    CReportHandle out(dir + "/round1000.rep", CReportHandle::OpenMode::OpenExisting);
    ASSERT_TRUE(out.IsOpen());
    ASSERT_FALSE(out.IsFormatState());
    EXPECT_EQ(keyword(&out, 1, kYear), 2004);
    // 1.00 + 2.00 + 3.00 must make 6.01: the largest detail takes 0.01;
    // 6.01 + 5.00 must make 11.02: the detail A5, not the subtotal A4.
    const double rounded[] = {1.00, 2.00, 3.01, 6.01, 5.01, 11.02};
    for (int i = 0; i < 6; ++i) EXPECT_DOUBLE_EQ(number(&out, 1, i + 1, 1), rounded[i]) << i;

    ok("ROUND");  // in place
    for (int i = 0; i < 6; ++i) EXPECT_DOUBLE_EQ(number(h.get(), 1, i + 1, 1), rounded[i]) << i;

    CReportHandle* bare = makeReport("bare.rep", 3, 3, 1);
    ci->SetReport(bare);
    fails("ROUND", CALC_ERR_NO_SETTINGS);
}

TEST_F(InterpTest, CheckReportsEachFailedRelationWithItsMessage) {
    auto h = std::make_unique<CReportHandle>(dir + "/audit.rep");
    ASSERT_EQ(h->SetAuditFormulas("A3=A1+A2 MESS \"A3应等于A1+A2\"\r\n"
                                  "A4>A3       MESS \"A4<=A3！\"\r\n"
                                  "A4<100\r\n"),
              0);
    ASSERT_EQ(h->EnterDataState(), 0);
    ASSERT_EQ(h->AppendRowColPage(2, 2), 0);
    const double good[] = {1, 2, 3, 5}, bad[] = {1, 2, 4, 300};
    for (int i = 0; i < 4; ++i) {
        setNumber(h.get(), 1, i + 1, 1, good[i]);
        setNumber(h.get(), 2, i + 1, 1, bad[i]);
    }
    ASSERT_EQ(h->SetCurPage(1), 0);
    ci->SetReport(h.get());
    ok("CHECK");

    ASSERT_EQ(h->SetCurPage(2), 0);
    messages.clear();
    fails("CHECK", CALC_ERR_CHECK_FAILED);
    EXPECT_EQ(ci->LastErrorText(), QStringLiteral("A3应等于A1+A2\nA4<100"));
    EXPECT_EQ(messages, QStringList{ci->LastErrorText()});
    EXPECT_TRUE(ReadErrorLogText().contains("A3应等于A1+A2"));

    ASSERT_EQ(h->SetCurPage(1), 0);
    fails("CHECK ALL", CALC_ERR_CHECK_FAILED);
    EXPECT_EQ(ci->LastErrorText(), QStringLiteral("第2页：A3应等于A1+A2\n第2页：A4<100"));
    EXPECT_EQ(h->GetCurPage(), 1);

    CReportHandle* bare = makeReport("noaudit.rep", 3, 3, 1);
    ci->SetReport(bare);
    fails("CHECK", CALC_ERR_NO_SETTINGS);
}

TEST_F(InterpTest, RecalcComputesThePageOrAll) {
    auto h = std::make_unique<CReportHandle>(dir + "/recalc.rep");
    CellArea c1 = CellArea::cell(1, 3);
    ASSERT_EQ(h->SetAreaFormula(&c1, "A1*B1"), 0);
    ASSERT_EQ(h->EnterDataState(), 0);
    ASSERT_EQ(h->AppendRowColPage(2, 2), 0);
    for (int p = 1; p <= 2; ++p) {
        setNumber(h.get(), p, 1, 1, p);
        setNumber(h.get(), p, 1, 2, 10);
    }
    ASSERT_EQ(h->SetCurPage(1), 0);
    ci->SetReport(h.get());
    ok("RECALC");
    EXPECT_EQ(number(h.get(), 1, 1, 3), 10);
    // Page 2 changed too: its values are worked out before they are read,
    // whichever page RECALC named.
    EXPECT_EQ(number(h.get(), 2, 1, 3), 20);
    ok("RECALC ALL");
    EXPECT_EQ(number(h.get(), 2, 1, 3), 20);
}

TEST_F(InterpTest, ReadsOtherReportsByPageAndByRelation) {
    {
        CReportHandle other(dir + "/other.rep");
        ASSERT_EQ(other.EnterDataState(), 0);
        ASSERT_EQ(other.AppendRowColPage(3, 2), 0);
        const char* names[] = {"上海", "北京", "广州"};
        for (int p = 1; p <= 3; ++p) {
            setKeyword(&other, p, kName, QString::fromUtf8(names[p - 1]));
            setNumber(&other, p, 1, 1, p * 100);
        }
        ASSERT_EQ(other.Save(), 0);
    }
    CReportHandle* r = makeReport("this.rep", 3, 4, 2);
    setKeyword(r, 1, kName, QStringLiteral("北京"));
    setKeyword(r, 2, kName, QStringLiteral("广州"));
    ci->SetReport(r);
    ok("LET B1 = \"other.rep\"->A1");  // the page of the same number
    EXPECT_EQ(number(r, 1, 1, 2), 100);
    ok("LET C1 = \"other.rep\"->A1@3");
    EXPECT_EQ(number(r, 1, 1, 3), 300);
    const QString related =
        "LET D1 = \"other.rep\"->A1 RELATION 单位名称 WITH \"other.rep\"->单位名称";
    ok(related);
    EXPECT_EQ(number(r, 1, 1, 4), 200);
    ASSERT_EQ(r->SetCurPage(2), 0);
    ok(related);
    EXPECT_EQ(number(r, 2, 1, 4), 300);
    fails("LET A1 = \"nowhere.rep\"->A1", CALC_ERR_EVALUATION);
    EXPECT_TRUE(ci->LastErrorText().contains("nowhere.rep")) << ci->LastErrorText().toStdString();
    fails("LET A1 = \"other.rep\"->A1@9", CALC_ERR_EVALUATION);
}
