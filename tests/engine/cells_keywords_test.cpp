// Keyword cells, the user keyword, and the keyword values of each page.

#include "engine/status.h"
#include "engine/cellgate.h"
#include "tests/engine/cells_fixture.h"

using namespace cellstest;
using namespace qor;

namespace {

KeywordValue keywordOf(CReportHandle& h, int slot, int page) {
    KeywordValue v;
    EXPECT_EQ(h.GetPageKeyword(slot, &v, page), 0);
    return v;
}

CellRef keywordCell(CReportHandle& h, int slot) {
    CellRef c{9, 9, 9};
    EXPECT_EQ(h.AccessKeywordCell(0, slot, &c), 0);
    return c;
}

}  // namespace

TEST(Keywords, CellsArePlacedCheckedAndFollowTheVariableArea) {
    auto h = newReport(testDir() + "/kw", 10, 5);
    int kind = 1, start = 4, extent = 3;
    ASSERT_EQ(h->AccessVarArea(1, &kind, &start, &extent), 0);
    CellArea comb = CellArea::area(1, 3, 2, 4);
    ASSERT_EQ(h->CombineCells(&comb), 0);
    CReportFile* f = h->GetReportFile();

    const uint16_t bad = code(Status::KeywordPlacementInvalid);
    CellRef c{0, 6, 2};
    ASSERT_EQ(h->AccessKeywordCell(1, 2, &c), 0);  // year below the area
    c = {0, 1, 3};
    ASSERT_EQ(h->AccessKeywordCell(1, 0, &c), 0);  // first cell of a combined area
    c = {0, 2, 4};
    EXPECT_EQ(h->AccessKeywordCell(1, 1, &c), bad);  // inside it
    c = {0, 4, 1};
    EXPECT_EQ(h->AccessKeywordCell(1, 1, &c), bad);  // the variable row
    c = {0, 11, 1};
    EXPECT_EQ(h->AccessKeywordCell(1, 1, &c), bad);  // outside
    c = {0, 6, 2};
    EXPECT_EQ(h->AccessKeywordCell(1, 1, &c), bad);  // taken by the year
    EXPECT_EQ(h->AccessKeywordCell(0, 8, &c), code(Status::Refused));
    EXPECT_EQ(h->AccessKeywordCell(2, 1, &c), code(Status::Refused));
    f->SetKeywordPos(7, 7, 1, 0);  // slot 7 is never placed this way
    EXPECT_EQ(keywordCell(*h, 7), (CellRef{0, 0, 0}));
    f->SetKeywordPos(6, 8, 5, -120);
    EXPECT_EQ(f->GetKeywordOffset(6), -120);
    EXPECT_TRUE(kFmtKeywordCell.get(f->Format().cellFormat(8, 5)));

    toData(*h, 2);
    int three = 3;
    ASSERT_EQ(h->AccessVarCount(1, &three), 0);
    // Shown below the three lines: two rows further down.
    EXPECT_EQ(keywordCell(*h, 2), (CellRef{0, 8, 2}));
    EXPECT_EQ(keywordCell(*h, 0), (CellRef{0, 1, 3}));
    int slot = -1;
    EXPECT_EQ(f->FindKeywordAt(8, 2, &slot), 1);
    EXPECT_EQ(slot, 2);
    EXPECT_EQ(f->FindKeywordAt(6, 2, &slot), 0);
    EXPECT_EQ(f->FindKeywordAt(10, 5, &slot), 1);
    EXPECT_EQ(slot, 6);

    // Placing in data state maps through the lines too; row 0 removes.
    c = {0, 12, 1};
    ASSERT_EQ(h->AccessKeywordCell(1, 3, &c), 0);
    EXPECT_EQ(f->Format().header.keywords[3].row, 10);
    c = {0, 0, 0};
    ASSERT_EQ(h->AccessKeywordCell(1, 6, &c), 0);
    EXPECT_EQ(keywordCell(*h, 6), (CellRef{0, 0, 0}));
    EXPECT_FALSE(kFmtKeywordCell.get(f->Format().cellFormat(8, 5)));

    h = reopen(std::move(h));
    EXPECT_EQ(keywordCell(*h, 2), (CellRef{0, 6, 2}));  // no page current: one line
    EXPECT_EQ(keywordCell(*h, 3), (CellRef{0, 10, 1}));
    EXPECT_EQ(h->GetReportFile()->GetKeywordOffset(6), -120);
}

TEST(Keywords, UserKeywordNameAndType) {
    auto h = newReport(testDir() + "/user", 5, 5);
    CReportFile* f = h->GetReportFile();
    EXPECT_TRUE(f->SetUserKeywordName(QStringLiteral("部门一二三四五六七八九十一二")));  // 14
    EXPECT_FALSE(f->SetUserKeywordName(QString(15, QChar('x'))));
    EXPECT_FALSE(f->SetUserKeywordName(QString(30, QChar('x'))));
    f->SetUserKeywordType(0);
    h = reopen(std::move(h));
    EXPECT_EQ(h->GetReportFile()->GetUserKeywordName(),
              QStringLiteral("部门一二三四五六七八九十一二"));
    EXPECT_EQ(h->GetReportFile()->GetUserKeywordType(), 0);
}

TEST(Keywords, PageValuesTakeTheirSlotsKindsOnEveryPage) {
    auto h = newReport(testDir() + "/values", 5, 5);
    h->GetReportFile()->SetUserKeywordType(1);
    toData(*h, 3);
    ASSERT_EQ(h->SetPageKeyword(0, {2, 0, QStringLiteral("总公司")}, 0), 0);
    ASSERT_EQ(h->SetPageKeyword(1, {1, 1001, {}}, 0), 0);
    ASSERT_EQ(h->SetPageKeyword(2, {2, 0, QStringLiteral("2024")}, 3), 0);
    ASSERT_EQ(h->SetPageKeyword(4, {1, 7, {}}, 2), 0);
    ASSERT_EQ(h->SetPageKeyword(6, {2, 0, QStringLiteral("12")}, 2), 0);
    // A text keyword keeps 32 characters: a longer text is refused, not cut.
    EXPECT_EQ(h->SetPageKeyword(0, {2, 0, QString(40, QChar('n'))}, 2), qor::kValueRefusedStatus);
    ASSERT_EQ(h->SetPageKeyword(0, {2, 0, QString(32, QChar('n'))}, 2), 0);
    EXPECT_EQ(h->SetPageKeyword(7, {1, 1, {}}, 1), code(Status::Refused));
    EXPECT_EQ(h->SetPageKeyword(0, {1, 1, {}}, 4), code(Status::PageOutOfRange));
    EXPECT_EQ(h->SetPageKeyword(0, {3, 1, {}}, 1), code(Status::Refused));

    h = reopen(std::move(h));
    EXPECT_EQ(keywordOf(*h, 0, 1), (KeywordValue{2, 0, QStringLiteral("总公司")}));
    EXPECT_EQ(keywordOf(*h, 1, 1), (KeywordValue{2, 0, QStringLiteral("1001")}));
    EXPECT_EQ(keywordOf(*h, 2, 3), (KeywordValue{1, 2024, {}}));
    EXPECT_EQ(keywordOf(*h, 4, 2), (KeywordValue{1, 7, {}}));
    EXPECT_EQ(keywordOf(*h, 6, 2), (KeywordValue{1, 12, {}}));
    EXPECT_EQ(keywordOf(*h, 0, 2).text, QString(32, QChar('n')));
    EXPECT_EQ(keywordOf(*h, 2, 1), KeywordValue{});
    // Unsetting, and the character user keyword.
    ASSERT_EQ(h->SetPageKeyword(4, {}, 2), 0);
    EXPECT_EQ(keywordOf(*h, 4, 2), KeywordValue{});
    ASSERT_EQ(h->EnterFormatState(), 0);
    h->GetReportFile()->SetUserKeywordType(0);
    ASSERT_EQ(h->SetPageKeyword(6, {1, 3.5, {}}, 1), 0);  // pages keep values in format state
    EXPECT_EQ(keywordOf(*h, 6, 1), (KeywordValue{2, 0, QStringLiteral("3.5")}));
    KeywordValue v;
    EXPECT_EQ(h->GetPageKeyword(6, &v, 0), code(Status::Refused));
}
