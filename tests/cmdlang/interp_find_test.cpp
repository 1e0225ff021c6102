// FIND, GFIND and CONTINUE over a report of five pages with keywords and a
// variable area, with the document following the matches.
#include "engine/messages.h"
#include "interp_support.h"

using namespace interp;

namespace {

class FindTest : public InterpTest {
protected:
    void SetUp() override {
        InterpTest::SetUp();
        // Rows 1-2 fixed, row 3 the variable area (columns A..C), row 4 fixed.
        r = makeReport("find.rep", 4, 3, 5, 1, 3);
        const char* names[] = {"北京", "上海", "北京", "广州", "上海"};
        const int years[] = {2003, 2004, 2004, 2004, 2004};
        const int months[] = {5, 6, 7, 3, 12};
        for (int p = 1; p <= 5; ++p) {
            setKeyword(r, p, kName, QString::fromUtf8(names[p - 1]));
            setKeyword(r, p, kYear, years[p - 1]);
            setKeyword(r, p, kMonth, months[p - 1]);
        }
        // Variable lines: page 1 has B = 50, 150; page 2 has 20; page 3 has
        // 300, 10, 120.
        const std::vector<std::vector<double>> lines = {{50, 150}, {20}, {300, 10, 120}, {}, {}};
        for (int p = 1; p <= 5; ++p) {
            ASSERT_EQ(r->SetCurPage(p), 0);
            int n = std::max<int>(1, int(lines[size_t(p - 1)].size()));
            ASSERT_EQ(r->AccessVarCount(1, &n), 0);
            for (size_t i = 0; i < lines[size_t(p - 1)].size(); ++i) {
                setNumber(r, p, 3 + int(i), 1, double(i + 1));
                setNumber(r, p, 3 + int(i), 2, lines[size_t(p - 1)][i]);
            }
        }
        ASSERT_EQ(r->SetCurPage(1), 0);
        ci->SetReport(r);
        ci->SetDocument(fakeDocument());
        qor::cmd::CalcDocumentHooks hooks;
        hooks.showPage = [this](CQorsDoc* d, int page) {
            EXPECT_EQ(d, fakeDocument());
            shown << QStringLiteral("page %1").arg(page);
        };
        hooks.showCell = [this](CQorsDoc*, int page, int row, int col) {
            shown << QStringLiteral("page %1 %2,%3").arg(page).arg(row).arg(col);
        };
        ci->SetDocumentHooks(hooks);
    }

    int current() const { return r->GetCurPage(); }

    CReportHandle* r = nullptr;
    QStringList shown;
};

}  // namespace

TEST_F(FindTest, FindAndContinueVisitEachMatchOnce) {
    ok("FIND FOR 年=2004 AND 月>=6");
    EXPECT_EQ(current(), 2);
    ok("let &found = SNUMBER()");
    EXPECT_EQ(variable("&found"), 3);
    ok("CONTINUE");
    EXPECT_EQ(current(), 3);
    ok("CONTINUE");
    EXPECT_EQ(current(), 5);
    fails("CONTINUE", CALC_ERR_NOT_FOUND);
    EXPECT_EQ(ci->LastErrorText(), LoadErrorText(qor::str::kNoRecordFound));
    EXPECT_EQ(current(), 5);
    EXPECT_EQ(shown, (QStringList{"page 2", "page 3", "page 5"}));

    // Lower-case words as the older dialogs write them.
    ok("find for 年=2004 and 月<6");
    EXPECT_EQ(current(), 4);
}

TEST_F(FindTest, FindStartsAfterTheCurrentPageAndWrapsOnce) {
    ASSERT_EQ(r->SetCurPage(4), 0);
    ok("FIND FOR 单位名称=\"北京\"");
    EXPECT_EQ(current(), 1);
    ok("CONTINUE");
    EXPECT_EQ(current(), 3);
    fails("CONTINUE", CALC_ERR_NOT_FOUND);

    // The current page itself comes last.
    ASSERT_EQ(r->SetCurPage(5), 0);
    ok("FIND FOR 单位名称=\"广州\" OR 月=12");
    EXPECT_EQ(current(), 4);
    ok("CONTINUE");
    EXPECT_EQ(current(), 5);
    fails("CONTINUE", CALC_ERR_NOT_FOUND);

    // No match: the page stays, SNUMBER is 0.
    fails("FIND FOR 年=1999", CALC_ERR_NOT_FOUND);
    EXPECT_EQ(current(), 5);
    ok("let &found = SNUMBER()");
    EXPECT_EQ(variable("&found"), 0);
    fails("FIND FOR 年=\"x\" + 1/0", CALC_ERR_EVALUATION);
}

TEST_F(FindTest, GFindFindsLinesFromTheCurrentPageOn) {
    ok("GFIND FOR ;V_B>100");
    EXPECT_EQ(current(), 1);
    EXPECT_EQ(ci->FoundRow(), 4);  // line 2 of the area starting at row 3
    EXPECT_EQ(ci->FoundCol(), 2);
    ok("CONTINUE");
    EXPECT_EQ(current(), 3);
    EXPECT_EQ(ci->FoundRow(), 3);
    ok("CONTINUE");
    EXPECT_EQ(ci->FoundRow(), 5);
    fails("CONTINUE", CALC_ERR_NOT_FOUND);
    EXPECT_EQ(shown, (QStringList{"page 1 4,2", "page 3 3,2", "page 3 5,2"}));

    // A page condition first; the match on the current page comes first.
    ASSERT_EQ(r->SetCurPage(3), 0);
    ok("GFIND FOR 年=2004 AND 单位名称=\"北京\"; V_B<100 AND V_A>1");
    EXPECT_EQ(current(), 3);
    EXPECT_EQ(ci->FoundRow(), 4);
    EXPECT_EQ(ci->FoundCol(), 2);
    fails("CONTINUE", CALC_ERR_NOT_FOUND);
    fails("GFIND FOR ;V_B>1000", CALC_ERR_NOT_FOUND);
}

TEST_F(FindTest, ContinueNeedsASearchOfThisReport) {
    fails("CONTINUE", CALC_ERR_NO_SEARCH);
    ok("FIND FOR 月=6");
    CReportHandle* other = makeReport("other.rep", 3, 3, 2);
    ci->SetReport(other);
    fails("CONTINUE", CALC_ERR_NO_SEARCH);
    fails("GFIND FOR ;V_A>1", CALC_ERR_NO_VAR_AREA);
}

// A condition on the page number looks at no page but the one it names, and
// matches, fails and orders exactly as a condition read on every page does.
TEST_F(FindTest, FindOnThePageNumberReadsNoOtherPage) {
    const QString path = dir + "/many.rep";
    {
        CReportHandle h(path);
        ASSERT_EQ(h.EnterDataState(), 0);
        ASSERT_EQ(h.AppendRowColPage(30, 2), 0);
        for (int p = 1; p <= 30; ++p) setNumber(&h, p, 1, 1, p * 10);
        ASSERT_EQ(h.Save(), 0);
    }
    CReportHandle h(path, CReportHandle::OpenMode::OpenExisting);
    ASSERT_TRUE(h.IsOpen());
    ASSERT_EQ(h.SetCurPage(1), 0);
    ci->SetReport(&h);
    CReportFile* file = h.GetReportFile();
    auto loaded = [&] {
        QList<int> pages;
        for (int p = 1; p <= 30; ++p)
            if (file->IsPageLoaded(p)) pages << p;
        return pages;
    };

    ok("FIND FOR MRECNO()=17");
    EXPECT_EQ(h.GetCurPage(), 17);
    ok("FIND FOR 3 * 4 = MRECNO()");
    EXPECT_EQ(h.GetCurPage(), 12);
    ok("LET &n = 25");
    ok("FIND FOR MRECNO()=&n");
    EXPECT_EQ(h.GetCurPage(), 25);
    EXPECT_EQ(loaded(), (QList<int>{1, 12, 17, 25}));

    // No such page, or no whole number: nothing is found.
    fails("FIND FOR MRECNO()=31", CALC_ERR_NOT_FOUND);
    fails("FIND FOR MRECNO()=2.5", CALC_ERR_NOT_FOUND);
    fails("FIND FOR MRECNO()=0", CALC_ERR_NOT_FOUND);
    EXPECT_EQ(h.GetCurPage(), 25);
    // A text or a failing value is read on every page as before.
    ok("FIND FOR MRECNO()=\"4\"");
    EXPECT_EQ(h.GetCurPage(), 4);
    fails("FIND FOR MRECNO()=1/0", CALC_ERR_EVALUATION);
    // A condition on the cells reads the pages.
    ok("FIND FOR A1=50");
    EXPECT_EQ(h.GetCurPage(), 5);
    EXPECT_GT(loaded().size(), 4);
    // Commands over the matching pages take the same way.
    ok("DELETE FOR MRECNO()=&n - 1");
    EXPECT_EQ(h.GetPageCount(), 29);
    EXPECT_EQ(number(&h, 24, 1, 1), 250);
    EXPECT_EQ(number(&h, 23, 1, 1), 230);
    ci->SetReport(r);
}
