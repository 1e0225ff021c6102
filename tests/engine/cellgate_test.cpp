// The gate into a cell: the same hostile values through every engine write.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <cmath>

#include "engine/cellgate.h"
#include "engine/status.h"
#include "tests/engine/cells_fixture.h"

using namespace cellstest;
using qor::kFmtKind;

namespace {

struct Hostile {
    const char* name;
    QString text;
    bool number;       // stored in a number cell (else refused)
    double value;      // the number it is stored as
    bool text32;       // fits a text keyword
    bool text255;      // fits a text cell
};

QList<Hostile> hostileValues() {
    return {
        {"grouped amount", QStringLiteral("12,345.60"), true, 12345.6, true, true},
        {"blanks around", QStringLiteral(" 12 "), true, 12, true, true},
        {"blank inside", QStringLiteral("1 234"), false, 0, true, true},
        {"word", QStringLiteral("abc"), false, 0, true, true},
        {"number then letters", QStringLiteral("12x"), false, 0, true, true},
        {"overflow", QStringLiteral("1e999"), false, 0, true, true},
        {"infinity", QStringLiteral("inf"), false, 0, true, true},
        {"NUL", QStringLiteral("ab") + QChar(u'\0') + QStringLiteral("cd"), false, 0, false, false},
        {"256 characters", QString(256, u'x'), false, 0, false, false},
        {"33 characters", QString(33, u'y'), false, 0, false, true},
    };
}

class CellGateTest : public ::testing::Test {
protected:
    void SetUp() override {
        h = newReport(testDir() + QStringLiteral("/gate.rep"), 4, 4);
        setFormat(*h, kFmtKind, kCellNumber, CellArea::area(1, 1, 4, 1));
        setFormat(*h, kFmtKind, kCellText, CellArea::area(1, 2, 4, 2));
        toData(*h, 2);
    }
    std::unique_ptr<CReportHandle> h;
};

TEST_F(CellGateTest, EveryHostileValueIsStoredByTheRuleOrRefusedByName) {
    for (const Hostile& v : hostileValues()) {
        SCOPED_TRACE(v.name);
        ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(7), 1, 1), 0);
        const uint16_t s = h->SetCellValue(CellValue::ofText(v.text), 1, 1);
        if (v.number) {
            EXPECT_EQ(s, 0);
            EXPECT_DOUBLE_EQ(numberAt(*h, 1, 1), v.value);
        } else {
            EXPECT_EQ(s, qor::kValueRefusedStatus);
            EXPECT_TRUE(StatusText(s).startsWith(QStringLiteral("A1"))) << StatusText(s).toStdString();
            EXPECT_DOUBLE_EQ(numberAt(*h, 1, 1), 7) << "a refused value leaves the cell";
        }
        const uint16_t t = h->SetCellValue(CellValue::ofText(v.text), 1, 2);
        EXPECT_EQ(t == 0, v.text255);
        if (v.text255) {
            EXPECT_EQ(h->GetCellText(1, 2, 0), v.text);
        }

        // Number keyword (year) and text keyword (unit name).
        const uint16_t k = h->SetPageKeyword(2, {2, 0, v.text}, 0);
        EXPECT_EQ(k == 0, v.number);
        qor::KeywordValue got;
        if (v.number) {
            ASSERT_EQ(h->GetPageKeyword(2, &got, 0), 0);
            EXPECT_DOUBLE_EQ(got.number, v.value);
        }
        EXPECT_EQ(h->SetPageKeyword(0, {2, 0, v.text}, 0) == 0, v.text32);
    }
}

TEST_F(CellGateTest, NumbersThatAreNotFiniteAreRefusedEverywhere) {
    for (double bad : {INFINITY, -INFINITY, NAN}) {
        EXPECT_EQ(h->SetCellValue(CellValue::ofNumber(bad), 1, 1), qor::kValueRefusedStatus);
        EXPECT_EQ(h->SetCellValue(CellValue::ofNumber(bad), 1, 2), qor::kValueRefusedStatus);
        EXPECT_EQ(h->SetPageKeyword(2, {1, bad, {}}, 0), qor::kValueRefusedStatus);
    }
    // A number into a text cell keeps every digit a double holds.
    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(1234567.89), 1, 2), 0);
    EXPECT_EQ(h->GetCellText(1, 2, 0), QStringLiteral("1234567.89"));
}

TEST_F(CellGateTest, ALabelPastItsLengthOrWithANulIsRefusedNotCut) {
    ASSERT_EQ(h->EnterFormatState(), 0);
    EXPECT_EQ(h->SetCellValue(CellValue{kCellLabel, 0, QString(256, u'z')}, 3, 3),
              qor::kValueRefusedStatus);
    EXPECT_EQ(h->SetCellValue(CellValue{kCellLabel, 0, QStringLiteral("a") + QChar(u'\0')}, 3, 3),
              qor::kValueRefusedStatus);
    EXPECT_EQ(h->SetCellValue(CellValue{kCellLabel, 0, QString(255, u'z')}, 3, 3), 0);
}

// A cell made numeric reads the same kind of value on every page, so a
// total over pages adds numbers only; a text the rule does not read stops
// the change and is named with its page.
TEST_F(CellGateTest, AChangeOfKindConvertsEveryPageOrNamesTheText) {
    const CellArea b1 = CellArea::cell(1, 2);
    ASSERT_EQ(h->SetCellValue(CellValue::ofText(QStringLiteral("1,234.56")), 1, 2, 1), 0);
    ASSERT_EQ(h->SetCellValue(CellValue::ofText(QStringLiteral("80,000.50")), 1, 2, 2), 0);
    int32_t number = kCellNumber;
    ASSERT_EQ(h->AccessAreaFormat(1, kFmtKind, &number, &b1), 0);
    EXPECT_DOUBLE_EQ(numberAt(*h, 1, 2, 1), 1234.56);
    EXPECT_DOUBLE_EQ(numberAt(*h, 1, 2, 2), 80000.5);

    int32_t text = kCellText;
    ASSERT_EQ(h->AccessAreaFormat(1, kFmtKind, &text, &b1), 0);
    EXPECT_EQ(h->GetCellText(1, 2, 2), QStringLiteral("80000.5"));
    ASSERT_EQ(h->SetCellValue(CellValue::ofText(QStringLiteral("12abc")), 1, 2, 2), 0);
    const uint16_t s = h->AccessAreaFormat(1, kFmtKind, &number, &b1);
    EXPECT_EQ(s, qor::kValueRefusedStatus);
    EXPECT_TRUE(StatusText(s).contains(QStringLiteral("12abc")));
    EXPECT_TRUE(StatusText(s).contains(QStringLiteral("B1")));
    // Nothing changed: the cell is still a text cell on both pages.
    int32_t kind = 0;
    ASSERT_EQ(h->AccessAreaFormat(0, kFmtKind, &kind, &b1), 0);
    EXPECT_EQ(kind, kCellText);
    EXPECT_EQ(h->GetCellText(1, 2, 1), QStringLiteral("1234.56"));

    // Saved and opened again, the converted values stay.
    h = reopen(std::move(h));
    EXPECT_EQ(h->GetCellText(1, 2, 2), QStringLiteral("12abc"));
}

TEST_F(CellGateTest, APageTakenFromAnotherReportConformsToTheCellKinds) {
    CReportFile* f = h->GetReportFile();
    std::shared_ptr<CSheetPage> p = f->Page(2);
    ASSERT_TRUE(p);
    p->SetText(1, 1, QStringLiteral("12,345.60"));  // a text slot in a number cell
    p->SetNumber(1, 2, 5);                          // a number slot in a text cell
    p.reset();
    ASSERT_EQ(qor::ConformPageValues(*h, 2, true), 0);
    EXPECT_DOUBLE_EQ(numberAt(*h, 1, 1, 2), 12345.6);
    EXPECT_EQ(h->GetCellText(1, 2, 2), QStringLiteral("5"));
    p = f->Page(2);
    p->SetText(2, 1, QStringLiteral("1e999"));
    p.reset();
    EXPECT_EQ(qor::ConformPageValues(*h, 2, false), qor::kValueRefusedStatus);
    EXPECT_TRUE(StatusText(qor::kValueRefusedStatus).contains(QStringLiteral("A2")));
}

// Files outside `known` that call method (or, with asPattern, hold a match
// of the pattern).
QStringList callersOutside(const QString& method, const QStringList& known, bool asPattern = false);

// Every write into a cell goes through SetCellValue; a new caller must be
// looked at (does it pass the status on?) and added here.
TEST(CellGateCallers, NoNewCallerOfTheCellWriteOutsideTheKnownList) {
    const QStringList known = {
        "bench/", "fuzz/", "tests/",  // made-up data
        "cmdlang/calcenvironment.cpp", "dialogs/pivot_logic.cpp",
        "document/doc_clipboard.cpp", "document/doc_editing.cpp",
        "document/doc_textexchange.cpp", "engine/creporthandle.h",
        "engine/creporthandle_cells.cpp", "exchange/datafilechain.cpp",
        "exchange/excelimport.cpp", "exchange/ownxml_import.cpp",
        "exchange/spreadsheetxml.cpp", "fininterface/consolfiles.cpp", "reader/creader.cpp",
    };
    EXPECT_EQ(callersOutside(QStringLiteral("SetCellValue"), known), QStringList{});
    // The keyword write, the same way.
    const QStringList keywordKnown = {
        "bench/", "fuzz/", "tests/", "cmdlang/commands_let.cpp", "document/cmd_keywords.cpp",
        "document/doc_textexchange.cpp", "engine/creporthandle.h",
        "engine/creporthandle_cells.cpp", "exchange/ownxml_import.cpp",
        "fininterface/consolexchange.cpp", "reader/creader.cpp",
    };
    EXPECT_EQ(callersOutside(QStringLiteral("SetPageKeyword"), keywordKnown), QStringList{});
}

// A page's slots, keywords and lines are the engine's to store: whoever
// else wrote them would pass no gate (a text in a number keyword, a
// number past its cell's decimals, more lines than the area holds).
TEST(CellGateCallers, NothingOutsideTheEngineStoresAPagesCellsKeywordsOrLines) {
    const QStringList engine = {"bench/", "fuzz/", "tests/", "engine/"};
    for (const char* store : {R"(MutableFixed\(\))", R"(MutableVarLines\(\))", R"(->SetKeyword\()",
                              R"(SetVarLines\()", R"(->SetSlot\()", R"(->SetNumber\()",
                              R"(->ClearCell\()"})
        EXPECT_EQ(callersOutside(QString::fromLatin1(store), engine, true), QStringList{}) << store;
}

}  // namespace

namespace {

QStringList callersOutside(const QString& method, const QStringList& known, bool asPattern) {
    const QDir root(QStringLiteral(QOR_TEST_SOURCE_DIR));
    const QRegularExpression call(asPattern ? method : method + QStringLiteral("\\s*\\("));
    QStringList unknown;
    QDirIterator it(root.path(), {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString rel = root.relativeFilePath(it.next());
        if (rel.startsWith(u"build") || rel.contains(u"/build/")) continue;
        bool listed = false;
        for (const QString& k : known) listed = listed || rel.startsWith(k);
        if (listed) continue;
        QFile file(it.filePath());
        if (!file.open(QIODevice::ReadOnly)) continue;
        if (call.match(QString::fromUtf8(file.readAll())).hasMatch()) unknown << rel;
    }
    return unknown;
}

}  // namespace
