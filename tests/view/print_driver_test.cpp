// Printing: printed pages with their repeated titles and margins, copies and
// collation, page ranges, every page of a report, the preview, and real
// PDF output.

#include "view/print_driver.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPageLayout>
#include <QPaintEngine>
#include <QPdfWriter>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTextItem>
#include <algorithm>

#include "charts/ccomitem.h"
#include "document/cqorsdoc.h"
#include "engine/cellformat.h"
#include "engine/creportfile.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "platform/uiservices.h"
#include "tests/common/testsupport.h"
#include "view/print_preview.h"
#include "tests/view/recordingdevice.h"

using namespace qor;
using namespace qor::view;

namespace {

// Records the texts a page draws, at their baseline positions (points).
class TextEngine : public QPaintEngine {
public:
    TextEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState&) override {}
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    Type type() const override { return QPaintEngine::User; }
    void drawTextItem(const QPointF& p, const QTextItem& item) override {
        texts.push_back({p, item.text()});
    }
    struct Text {
        QPointF at;
        QString text;
    };
    std::vector<Text> texts;
    const Text* find(const QString& t) const {
        for (const Text& x : texts)
            if (x.text == t) return &x;
        return nullptr;
    }
    int count(const QString& t) const {
        return int(
            std::count_if(texts.begin(), texts.end(), [&](const Text& x) { return x.text == t; }));
    }
};

using TextDevice = RecordingPaintDevice<TextEngine, 72>;

void ok(uint16_t status, const char* what) { EXPECT_EQ(status, 0) << what; }

// 20 rows of 20 points and 3 columns of 60: "R1".."R20" in the first
// column, "B1".."B20" in the second; rows 1 and 2 (0 and 1 from 0) repeat
// as head titles; margins of 10 points.
struct SmallReport {
    CQorsDoc doc;

    void build(int rows = 20) {
        ASSERT_TRUE(doc.Files().OnNewDocument());
        CReportHandle* r = doc.GetReport();
        uint16_t nr = uint16_t(rows), nc = 3;
        ok(r->AccessTableSize(1, &nr, &nc), "size");
        for (int i = 1; i <= rows; ++i) {
            uint16_t h = 20;
            ok(r->AccessRowColSize(1, 0, i, &h), "height");
            ok(r->SetCellValue({kCellLabel, 0, QString("R%1").arg(i)}, i, 1), "label");
            ok(r->SetCellValue({kCellLabel, 0, QString("B%1").arg(i)}, i, 2), "label");
        }
        for (int c = 1; c <= 3; ++c) {
            uint16_t w = 60;
            ok(r->AccessRowColSize(1, 1, c, &w), "width");
        }
        qor::PageSetupBlock b = doc.PageSetup();
        b.margins = {10, 10, 10, 10};
        b.scale = 1.0f;
        b.titleSwitch = 0;
        b.headFlag = 1;
        b.headFirst = 0;
        b.headLast = 1;
        doc.SetPageSetup(b);
    }
};

const PageRect kPage{0, 0, 300, 200};

TextEngine& record(PrintDriver& d, TextDevice& dev, int m) {
    QPainter p(&dev);
    EXPECT_TRUE(d.PrintPage(p, m));
    return dev.engine;
}

std::vector<int> layoutPages(PrintDriver& d) {
    std::vector<int> out;
    for (int m = 1; m <= d.JobPageCount(); ++m) {
        const auto page = d.ResolveJobPage(m);
        out.push_back(page ? page->layoutPage : -1);
    }
    return out;
}

// Messages told during a test.
struct Told {
    UiServices previous;
    QStringList texts;
    Told() {
        UiServices s;
        s.messageBox = [this](const MessageRequest& r) {
            texts << r.text;
            return MsgAnswer::Ok;
        };
        previous = installUiServices(s);
    }
    ~Told() { installUiServices(previous); }
};

// ---------------------------------------------------------------------------

TEST(PrintDriver, EveryPageRepeatsTheHeadRowsInsideTheMargins) {
    SmallReport s;
    s.build();
    if (HasFatalFailure()) return;
    PrintDriver d(s.doc, {});
    // 140 points of body (200 less margins and the 40 of the titles) hold
    // 7 rows: rows 3..9, 10..16, 17..20.
    ASSERT_EQ(d.Begin(kPage), 3);
    const char* firstBody[3] = {"R3", "R10", "R17"};
    const char* lastBody[3] = {"R9", "R16", "R20"};
    for (int m = 1; m <= 3; ++m) {
        SCOPED_TRACE(m);
        TextDevice dev(QSize(300, 200));
        TextEngine& e = record(d, dev, m);
        EXPECT_EQ(e.count("R1"), 1);
        EXPECT_EQ(e.count("R2"), 1);
        const auto* r1 = e.find("R1");
        const auto* r2 = e.find("R2");
        const auto* body = e.find(firstBody[m - 1]);
        ASSERT_TRUE(r1 && r2 && body);
        EXPECT_TRUE(e.find(lastBody[m - 1]));
        // Titles in the first 40 points under the top margin, the body after.
        EXPECT_GT(r1->at.y(), 10);
        EXPECT_LT(r1->at.y(), 30);
        EXPECT_GT(r2->at.y(), 30);
        EXPECT_LT(r2->at.y(), 50);
        EXPECT_GT(body->at.y(), 50);
        EXPECT_LT(body->at.y(), 70);
        for (const auto& t : e.texts) {
            EXPECT_GE(t.at.x(), 10) << t.text.toStdString();
            EXPECT_LE(t.at.x(), 290) << t.text.toStdString();
            EXPECT_LE(t.at.y(), 190) << t.text.toStdString();
        }
        EXPECT_EQ(e.texts.size(), size_t(2 * (2 + (m == 3 ? 4 : 7))));
    }
    // The body's rectangle is the layout's: margins, then the same title
    // reserve the page layout takes off.
    const PageRect reserve = PageLayout(d.Geometry(), d.Setup()).GetPrintReserve();
    EXPECT_EQ(reserve.top, 40);
    EXPECT_EQ(d.OuterRect(), (PageRect{10, 10, 290, 190}));
    EXPECT_EQ(d.InnerRect(), (PageRect{10, 10 + reserve.top, 290, 190}));
    EXPECT_EQ(d.LastBlock(), (PageRange{0, 16, 2, 19}));
    EXPECT_EQ(d.PrintEndY(), 50 + 4 * 20);
    EXPECT_EQ(d.PrintEndX(), 10 + 180);
}

TEST(PrintDriver, TailTitlesFollowTheBodyAndTitleColumnsStartEachRow) {
    SmallReport s;
    s.build();
    if (HasFatalFailure()) return;
    qor::PageSetupBlock b = s.doc.PageSetup();
    b.headFlag = 0;
    b.tailFlag = 1;
    b.tailFirst = b.tailLast = 19;
    s.doc.SetPageSetup(b);
    {
        PrintDriver d(s.doc, {});
        ASSERT_EQ(d.Begin(kPage), 3);  // 19 body rows, 8 a page
        TextDevice dev(QSize(300, 200));
        TextEngine& e = record(d, dev, 1);
        EXPECT_EQ(e.count("R20"), 1);
        EXPECT_GT(e.find("R20")->at.y(), e.find("R8")->at.y());
        EXPECT_EQ(e.count("R9"), 0);
    }
    b.tailFlag = 0;
    b.titleSwitch = 1;
    b.headFlag = 1;
    b.headFirst = b.headLast = 0;
    s.doc.SetPageSetup(b);
    PrintDriver d(s.doc, {});
    ASSERT_EQ(d.Begin(kPage), 3);
    TextDevice dev(QSize(300, 200));
    TextEngine& e = record(d, dev, 2);
    // Column A repeats left of the body's columns B and C.
    ASSERT_TRUE(e.find("R10") && e.find("B10"));  // 9 rows a page
    EXPECT_LT(e.find("R10")->at.x(), 70);
    EXPECT_GT(e.find("B10")->at.x(), 70);
}

TEST(PrintDriver, KeywordsPrintOnceWithTheirOffsetAtThePageSetupScale) {
    SmallReport s;
    s.build();
    if (HasFatalFailure()) return;
    CReportHandle* r = s.doc.GetReport();
    CellRef title{0, 1, 2}, body{0, 5, 3};  // B1 (a title row), C5 (page 1's body)
    ok(r->AccessKeywordCell(1, 0, &title), "keyword 0");
    ok(r->AccessKeywordCell(1, 2, &body), "keyword 2");
    const QString titleText = s.doc.GetKeywordDisplayText(0, false);
    const QString bodyText = s.doc.GetKeywordDisplayText(2, false);
    ASSERT_FALSE(titleText.isEmpty());
    ASSERT_FALSE(bodyText.isEmpty());
    ASSERT_NE(titleText, bodyText);

    auto bodyX = [&](int offset) -> double {
        r->GetReportFile()->SetKeywordOffset(2, offset);
        PrintDriver d(s.doc, {});
        EXPECT_EQ(d.Begin(kPage), 3);
        for (int m = 1; m <= 3; ++m) {
            TextDevice dev(QSize(300, 200));
            TextEngine& e = record(d, dev, m);
            EXPECT_EQ(e.count(titleText), 1) << m;  // with the titles, on every page
            EXPECT_EQ(e.count(bodyText), m == 1 ? 1 : 0) << m;
            if (m == 1 && e.find(bodyText)) return e.find(bodyText)->at.x();
        }
        return -1;
    };
    PageSetupBlock setup;
    ok(r->GetPageSetup(&setup), "page setup");
    setup.scale = 1.5f;
    ok(r->SetPageSetup(setup), "page setup");
    const double at0 = bodyX(0);
    const double at20 = bodyX(20);
    EXPECT_NEAR(at20 - at0, 30.0, 1.0);
}

TEST(PrintDriver, ItemsStayOverTheirCellsAndTitleItemsPrintWithTheTitles) {
    SmallReport s;
    s.build();
    if (HasFatalFailure()) return;
    // Items keep sheet pixels at the view scale: 2.0 here, so their points
    // are half of that.
    auto add = [&](items::Rect rect) {
        std::shared_ptr<CComItem> item = s.doc.Items().CreateComItem(1);
        item->SetRect(rect);
        item->SetBorder(true);
    };
    add({20, 20, 100, 60});    // over row 1 (a title): points 10..30, 10..30
    add({20, 200, 100, 240});  // over row 6 (5 from 0): points y 100..120
    PrintJobSettings settings;
    settings.viewScale = 2.0f;
    PrintDriver d(s.doc, settings);
    ASSERT_EQ(d.Begin(kPage), 3);
    QImage image(300, 200, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        ASSERT_TRUE(d.PrintPage(p, 1));
    }
    auto dark = [&](int x, int y) { return qGray(image.pixel(x, y)) < 128; };
    // Row 6 is the fourth body row, 50 + 3 * 20 = 110 from the top (not
    // 40 further down where the sheet has it), at 10 + 10 from the left;
    // its frame's corners show there.
    EXPECT_TRUE(dark(20, 110));
    EXPECT_TRUE(dark(59, 129));
    EXPECT_FALSE(dark(20, 150));
    // The title item is in the title band at the same place on the page.
    EXPECT_TRUE(dark(20, 20));
    EXPECT_TRUE(dark(59, 39));
}

TEST(PrintDriver, AnItemAloneTakesTheWholePagesItNeeds) {
    SmallReport s;
    s.build();
    if (HasFatalFailure()) return;
    std::shared_ptr<CComItem> item = s.doc.Items().CreateComItem(1);
    item->SetBorder(true);
    PrintJobSettings settings;
    settings.viewScale = 1.0f;
    settings.objectOnly = item.get();
    // The body is 280 x 140 points.
    item->SetRect({50, 50, 330, 190});
    {
        PrintDriver d(s.doc, settings);
        EXPECT_EQ(d.Begin(kPage), 1);  // exactly one page: no empty second one
    }
    item->SetRect({50, 50, 331, 191});
    PrintDriver d(s.doc, settings);
    ASSERT_EQ(d.Begin(kPage), 4);
    // Page 2 shows the item's right end: its last column of points at the
    // body's left edge, nothing of the cells.
    QImage image(300, 200, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        ASSERT_TRUE(d.PrintPage(p, 2));
    }
    EXPECT_LT(qGray(image.pixel(10, 60)), 128);
    EXPECT_EQ(image.pixel(12, 60), qRgb(255, 255, 255));
    TextDevice dev(QSize(300, 200));
    EXPECT_TRUE(record(d, dev, 1).texts.empty());
}

TEST(PrintDriver, CopiesCollatedAndNot) {
    SmallReport s;
    s.build();
    if (HasFatalFailure()) return;
    PrintJobSettings settings;
    settings.copies = 2;
    settings.collate = true;
    {
        PrintDriver d(s.doc, settings);
        ASSERT_EQ(d.Begin(kPage), 6);
        EXPECT_EQ(layoutPages(d), (std::vector<int>{1, 2, 3, 1, 2, 3}));
    }
    settings.collate = false;
    {
        PrintDriver d(s.doc, settings);
        ASSERT_EQ(d.Begin(kPage), 6);
        EXPECT_EQ(layoutPages(d), (std::vector<int>{1, 1, 2, 2, 3, 3}));
    }
    // A preview shows each page once.
    settings.preview = true;
    PrintDriver d(s.doc, settings);
    ASSERT_EQ(d.Begin(kPage), 3);
    EXPECT_EQ(layoutPages(d), (std::vector<int>{1, 2, 3}));
}

TEST(PrintDriver, PageRangePrintsOnlyThosePages) {
    SmallReport s;
    s.build();
    if (HasFatalFailure()) return;
    PrintJobSettings settings;
    settings.pageRange = true;
    settings.fromPage = 2;
    settings.toPage = 3;
    settings.copies = 2;
    {
        PrintDriver d(s.doc, settings);
        ASSERT_EQ(d.Begin(kPage), 4);
        EXPECT_EQ(layoutPages(d), (std::vector<int>{2, 3, 2, 3}));
        TextDevice dev(QSize(300, 200));
        TextEngine& e = record(d, dev, 1);
        EXPECT_TRUE(e.find("R10"));
        EXPECT_FALSE(e.find("R3"));
    }
    // Out-of-range ends are brought inside the layout.
    settings.copies = 1;
    settings.fromPage = 0;
    settings.toPage = 99;
    {
        PrintDriver d(s.doc, settings);
        EXPECT_EQ(d.Begin(kPage), 3);
    }
    settings.fromPage = 5;
    settings.toPage = 2;
    PrintDriver d(s.doc, settings);
    ASSERT_EQ(d.Begin(kPage), 1);
    EXPECT_EQ(layoutPages(d), (std::vector<int>{2}));
}

TEST(PrintDriver, APageTooSmallPrintsNothingAndSaysWhy) {
    SmallReport s;
    s.build();
    if (HasFatalFailure()) return;
    Told told;
    PrintDriver d(s.doc, {});
    EXPECT_FALSE(d.Begin({0, 0, 100, 75}).has_value());  // 15 points of body
    ASSERT_EQ(told.texts.size(), 1);
    EXPECT_EQ(told.texts[0], LoadErrorText(qor::str::kCannotPrintPaper));
    EXPECT_EQ(d.JobPageCount(), 0);
}

TEST(PrintDriver, ScreenOnlyTextsAndOverlayPrinting) {
    SmallReport s;
    s.build();
    if (HasFatalFailure()) return;
    CellArea f = CellArea::area(3, 3, 3, 3);
    ok(s.doc.GetReport()->SetAreaFormula(&f, "1+2"), "formula");
    {
        PrintDriver d(s.doc, {});
        ASSERT_EQ(d.Begin(kPage), 3);
        TextDevice dev(QSize(300, 200));
        TextEngine& e = record(d, dev, 1);
        EXPECT_EQ(e.count("公式单元"), 0);
        EXPECT_EQ(e.count("R3"), 1);
    }
    ASSERT_TRUE(s.doc.EnterDataState());
    ok(s.doc.GetReport()->SetCellValue(CellValue::ofNumber(7), 4, 3), "number");
    PrintJobSettings settings;
    settings.dataOnly = true;
    PrintDriver d(s.doc, settings);
    ASSERT_EQ(d.Begin(kPage), 3);
    TextDevice dev(QSize(300, 200));
    TextEngine& e = record(d, dev, 1);
    EXPECT_EQ(e.count("R1"), 0);  // table texts stay on the pre-printed form
    EXPECT_EQ(e.count("R3"), 0);
    // The data does print.
    EXPECT_TRUE(std::any_of(e.texts.begin(), e.texts.end(),
                            [](const auto& t) { return t.text.startsWith("7"); }));
}

TEST(PrintDriver, EveryReportPageInTurnAndTheCurrentPageComesBack) {
    SmallReport s;
    s.build(12);
    if (HasFatalFailure()) return;
    CReportHandle* r = s.doc.GetReport();
    int kind = 1, start = 5, extent = 20;
    ok(r->AccessVarArea(1, &kind, &start, &extent), "variable area");
    ASSERT_TRUE(s.doc.EnterDataState());
    ok(r->AppendRowColPage(1, 2), "second page");
    ASSERT_TRUE(s.doc.SetCurrentPage(2));
    int used = 12;  // page 2 shows 11 more lines of the area than page 1
    ok(r->AccessVarCount(1, &used), "lines used");
    ASSERT_TRUE(s.doc.SetCurrentPage(1));

    std::vector<int> single;
    for (int p = 1; p <= 2; ++p) {
        ASSERT_TRUE(s.doc.SetCurrentPage(p));
        PrintDriver d(s.doc, {});
        single.push_back(d.Begin(kPage).value_or(-1));
    }
    ASSERT_LT(single[0], single[1]);
    ASSERT_TRUE(s.doc.SetCurrentPage(2));

    PrintJobSettings settings;
    settings.allReportPages = true;
    settings.copies = 2;
    {
        PrintDriver d(s.doc, settings);
        const int perCopy = single[0] + single[1];
        ASSERT_EQ(d.Begin(kPage), 2 * perCopy);
        EXPECT_EQ(r->GetCurPage(), 2);
        std::vector<PrintDriver::JobPage> expected;
        for (int p = 1; p <= 2; ++p)
            for (int k = 1; k <= single[p - 1]; ++k) expected.push_back({p, k});
        for (int m = 1; m <= 2 * perCopy; ++m) {
            const auto got = d.ResolveJobPage(m);
            ASSERT_TRUE(got) << m;
            EXPECT_EQ(*got, expected[(m - 1) % perCopy]) << m;
        }
        TextDevice dev(QSize(300, 200));
        record(d, dev, 1);
        EXPECT_EQ(r->GetCurPage(), 1);
    }
    EXPECT_EQ(r->GetCurPage(), 2);
}

TEST(PrintDriver, PagesRenderedToAnImageKeepTheMarginsWhite) {
    SmallReport s;
    s.build();
    if (HasFatalFailure()) return;
    // Row 3 on silver, so the body's first row shows where it starts.
    int32_t silver = kColourSilver;
    CellArea a = CellArea::area(3, 1, 3, 3);
    ok(s.doc.GetReport()->AccessAreaFormat(1, kFmtBackground, &silver, &a), "background");
    PrintDriver d(s.doc, {});
    ASSERT_EQ(d.Begin(kPage), 3);
    QImage image(300, 200, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        ASSERT_TRUE(d.PrintPage(p, 1));
    }
    auto blankRows = [&](int y0, int y1, int x0, int x1) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if (image.pixel(x, y) != qRgb(255, 255, 255)) return false;
        return true;
    };
    EXPECT_TRUE(blankRows(0, 10, 0, 300));     // top margin
    EXPECT_TRUE(blankRows(0, 200, 0, 9));      // left margin
    EXPECT_TRUE(blankRows(191, 200, 0, 300));  // bottom margin
    EXPECT_TRUE(blankRows(0, 200, 191, 300));  // right of the three columns
    EXPECT_FALSE(blankRows(10, 50, 10, 190));  // the titles
    EXPECT_TRUE(blankRows(50, 70, 10, 190) == false);
    EXPECT_EQ(image.pixel(15, 55), image.pixel(185, 69));  // silver over the whole row
    EXPECT_NE(image.pixel(15, 55), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(15, 75), qRgb(255, 255, 255));
}

// ---------------------------------------------------------------------------
// Printers

int pdfPageCount(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QByteArray data = f.readAll();
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?![s\\w])"));
    return int(QString::fromLatin1(data).count(page));
}

std::unique_ptr<QPrinter> pdfPrinter(const QString& path) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(path);
    // A small paper: 300 x 200 points with no paper margins.
    printer->setPageSize(QPageSize(QSizeF(300, 200), QPageSize::Point, "small"));
    printer->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    printer->setPageOrientation(QPageLayout::Portrait);
    return printer;
}

TEST(PrintToPdf, PagesTitlesAndRange) {
    SmallReport s;
    s.build();
    if (HasFatalFailure()) return;
    const QString dir = qortest::processTempDir();
    const QString all = dir + "/print-all.pdf";
    auto printer = pdfPrinter(all);
    ASSERT_EQ(printer->pageLayout().paintRectPoints().size(), QSize(300, 200));
    ASSERT_TRUE(PrintToPrinter(s.doc, *printer, SettingsFromPrinter(*printer)));
    EXPECT_EQ(pdfPageCount(all), 3);

    const QString range = dir + "/print-range.pdf";
    printer = pdfPrinter(range);
    printer->setPrintRange(QPrinter::PageRange);
    printer->setFromTo(2, 2);
    printer->setCopyCount(2);
    printer->setCollateCopies(true);
    ASSERT_TRUE(PrintToPrinter(s.doc, *printer, SettingsFromPrinter(*printer)));
    EXPECT_EQ(pdfPageCount(range), 2);   // page 2, twice
    EXPECT_EQ(printer->copyCount(), 2);  // the printer's choice is left as it was

    // The text itself, where a PDF reader is at hand.
    const QString reader = QStringLiteral("/usr/bin/pdftotext");
    if (!QFile::exists(reader)) return;
    QProcess p;
    p.start(reader, {"-layout", all, "-"});
    ASSERT_TRUE(p.waitForFinished(30000));
    const QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split('\f');
    ASSERT_GE(pages.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(pages[i].contains("R1")) << i;
        EXPECT_TRUE(pages[i].contains("R2")) << i;
    }
    EXPECT_TRUE(pages[1].contains("R10"));
    EXPECT_FALSE(pages[1].contains("R3 "));
}

// A paged device that is no printer (the command line's PDF writer) gets the
// same pages as a printer of the same paper: the job switches it to paint
// from the paper's corner and puts its layout back afterwards.
TEST(PrintToPdf, AWriterGetsThePagesAPrinterGets) {
    SmallReport s;
    s.build();
    if (HasFatalFailure()) return;
    const QString dir = qortest::processTempDir();
    const QMarginsF margins(20, 15, 20, 15);
    auto printer = pdfPrinter(dir + "/by-printer.pdf");
    printer->setPageMargins(margins, QPageLayout::Point);
    ASSERT_TRUE(PrintToPrinter(s.doc, *printer, SettingsFromPrinter(*printer)));
    {
        QPdfWriter writer(dir + "/by-writer.pdf");
        writer.setPageLayout(printer->pageLayout());
        const QPageLayout before = writer.pageLayout();
        ASSERT_TRUE(PrintToDevice(s.doc, writer, {}));
        EXPECT_EQ(writer.pageLayout().mode(), QPageLayout::StandardMode);
        EXPECT_TRUE(writer.pageLayout().isEquivalentTo(before));
    }
    EXPECT_EQ(pdfPageCount(dir + "/by-writer.pdf"), pdfPageCount(dir + "/by-printer.pdf"));
    const QString reader = QStringLiteral("/usr/bin/pdftotext");
    if (!QFile::exists(reader)) return;
    // Every word with its box on the page: where the text stands, not only
    // what it says.
    auto text = [&](const QString& pdf) {
        QProcess p;
        p.start(reader, {"-bbox", pdf, "-"});
        EXPECT_TRUE(p.waitForFinished(30000));
        // The head names the second each file was made in, which two
        // files written apart may not share.
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        return out.mid(out.indexOf(QLatin1String("<body>")));
    };
    const QString byPrinter = text(dir + "/by-printer.pdf");
    EXPECT_TRUE(byPrinter.contains("R1"));
    EXPECT_EQ(text(dir + "/by-writer.pdf"), byPrinter);
}

// What a user searches a printed report for comes back from its text layer
// exactly: Chinese words (some of whose characters have look-alike radicals
// elsewhere in Unicode), digits beside letters, and formula texts.
TEST(PrintToPdf, TheTextLayerGivesBackWhatWasPrinted) {
    const QString reader = QStringLiteral("/usr/bin/pdftotext");
    if (!qortest::needReader(QFile::exists(reader), reader)) GTEST_SKIP() << "no pdftotext";
    CQorsDoc doc;
    ASSERT_TRUE(doc.Files().OnNewDocument());
    CReportHandle* r = doc.GetReport();
    uint16_t nr = 6, nc = 2;
    ok(r->AccessTableSize(1, &nr, &nc), "size");
    const QStringList texts{QStringLiteral("收入"), QStringLiteral("项目"), QStringLiteral("月份"),
                            QStringLiteral("显示"), QStringLiteral("=B5*2"),
                            QStringLiteral("Total 0123456789")};
    for (int i = 0; i < texts.size(); ++i)
        ok(r->SetCellValue({kCellLabel, 0, texts[i]}, i + 1, 1), "label");
    for (int c = 1; c <= 2; ++c) {
        uint16_t w = 120;
        ok(r->AccessRowColSize(1, 1, c, &w), "width");
    }
    qor::PageSetupBlock b = doc.PageSetup();
    b.margins = {10, 10, 10, 10};
    b.scale = 1.0f;
    doc.SetPageSetup(b);
    // Other fonts of the font table print the same way.
    int32_t hei = 2;
    CellArea second = CellArea::area(4, 1, 6, 1);
    ok(r->AccessAreaFormat(1, kFmtFont, &hei, &second), "font");

    const QString path = qortest::processTempDir() + "/text-layer.pdf";
    auto printer = pdfPrinter(path);
    ASSERT_TRUE(PrintToPrinter(doc, *printer, SettingsFromPrinter(*printer)));
    QProcess p;
    p.start(reader, {path, "-"});
    ASSERT_TRUE(p.waitForFinished(30000));
    const QString text = QString::fromUtf8(p.readAllStandardOutput());
    for (const QString& t : texts) EXPECT_TRUE(text.contains(t)) << t.toStdString() << "\n" << text.toStdString();
    // Nothing comes back as a radical or compatibility form.
    for (QChar c : text) EXPECT_FALSE(c.unicode() >= 0x2E80 && c.unicode() < 0x2FE0) << int(c.unicode());
}

TEST(PrintPreview, ShowsEveryPageOnceWhateverTheCopies) {
    SmallReport s;
    s.build();
    if (HasFatalFailure()) return;
    auto printer = pdfPrinter(qortest::processTempDir() + "/preview-unused.pdf");
    printer->setCopyCount(3);
    QPrintPreviewWidget widget(printer.get());
    PrintJobSettings settings;
    settings.copies = 3;
    CPrintPreview preview(s.doc, settings);
    preview.Attach(&widget);
    widget.updatePreview();
    EXPECT_EQ(preview.PageCount(), 3);
    EXPECT_EQ(widget.pageCount(), 3);
}

TEST(PrintPreview, EveryUsedLineOfTheVariableAreaOnItsPage) {
    const QString reader = QStringLiteral("/usr/bin/pdftotext");
    if (!qortest::needReader(QFile::exists(reader), reader)) GTEST_SKIP() << "no pdftotext";
    // Row 2 is the area (up to 5 lines): three lines on page 1, two on 2.
    CQorsDoc doc;
    ASSERT_TRUE(doc.Files().OnNewDocument());
    CReportHandle* r = doc.GetReport();
    uint16_t nr = 3, nc = 2;
    ok(r->AccessTableSize(1, &nr, &nc), "size");
    ok(r->SetCellValue({kCellLabel, 0, QStringLiteral("项目")}, 1, 1), "label");
    ok(r->SetCellValue({kCellLabel, 0, QStringLiteral("表尾")}, 3, 1), "label");
    int32_t number = kCellNumber;
    const CellArea amounts = CellArea::cell(2, 2);
    ok(r->AccessAreaFormat(1, kFmtKind, &number, &amounts), "kind");
    int kind = 1, start = 2, extent = 5;
    ok(r->AccessVarArea(1, &kind, &start, &extent), "variable area");
    ASSERT_TRUE(doc.EnterDataState());
    ok(r->AppendRowColPage(1, 2), "second page");
    const QList<QList<double>> lines = {{101, 202, 303}, {404, 505}};
    for (int p = 1; p <= 2; ++p) {
        ASSERT_TRUE(doc.SetCurrentPage(p));
        int used = int(lines[p - 1].size());
        ok(r->AccessVarCount(1, &used), "lines used");
        for (int i = 0; i < used; ++i)
            ok(r->SetCellValue(CellValue::ofNumber(lines[p - 1][i]), 2 + i, 2, p), "amount");
    }
    ASSERT_TRUE(doc.SetCurrentPage(1));

    const QString path = qortest::processTempDir() + "/preview-lines.pdf";
    auto printer = pdfPrinter(path);
    PrintJobSettings settings;
    settings.allReportPages = true;
    settings.preview = true;
    CPrintPreview preview(doc, settings);
    QPrintPreviewWidget widget(printer.get());
    preview.Attach(&widget);
    widget.updatePreview();
    EXPECT_EQ(widget.pageCount(), 2);
    // What the preview draws, drawn into a file the text layer is read from.
    preview.PaintRequested(printer.get());
    ASSERT_EQ(preview.PageCount(), 2);
    for (int p = 1; p <= 2; ++p) {
        QProcess t;
        t.start(reader, {"-f", QString::number(p), "-l", QString::number(p), path, "-"});
        ASSERT_TRUE(t.waitForFinished(30000));
        const QString text = QString::fromUtf8(t.readAllStandardOutput());
        QStringList want{QStringLiteral("项目")};
        for (double v : lines[p - 1]) want << QString::number(v, 'f', 2);
        want << QStringLiteral("表尾");
        QStringList got;
        for (const QString& w : text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
            got << w;
        EXPECT_EQ(got, want) << "page " << p << ":\n" << text.toStdString();
    }
}

}  // namespace

// Where the sheet may print: the report's margins where it has them (only
// what the printer cannot reach added), the page setup's where it has none,
// and never the paper's edge.
TEST(PrintArea, MarginsOfTheReportThePageSetupOrTheDefault) {
    const QPageSize a4(QPageSize::A4);  // 595 x 842 points
    PageSetup report;
    // No margins anywhere: the default keeps ink off the edge.
    QPageLayout bare(a4, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    EXPECT_EQ(PrintableAreaFor(bare, report),
              (PageRect{kDefaultPageMargin, kDefaultPageMargin, 595 - kDefaultPageMargin,
                        842 - kDefaultPageMargin}));
    // The page setup's margins (millimetres) where the report has none.
    QPageLayout setup(a4, QPageLayout::Landscape, QMarginsF(20, 10, 5, 15),
                      QPageLayout::Millimeter);
    EXPECT_EQ(PrintableAreaFor(setup, report), (PageRect{57, 28, 842 - 14, 595 - 43}));
    // A side the report sets keeps the report's margin alone (the layout
    // takes it off): here all the paper is the printable area.
    report.marginLeft = 36;
    report.marginBottom = 50;
    const PageRect mixed = PrintableAreaFor(setup, report);
    EXPECT_EQ(mixed.left, 0);
    EXPECT_EQ(mixed.bottom, 595);
    EXPECT_EQ(mixed.top, 28);
    // A printer that cannot reach the paper's edge: the report's margin is
    // made up to its reach, no more.
    QPageLayout printer(a4, QPageLayout::Portrait, QMarginsF(20, 20, 20, 20), QPageLayout::Point,
                        QMarginsF(12, 12, 12, 48));
    const PageRect reach = PrintableAreaFor(printer, report);
    EXPECT_EQ(reach.left, 0);          // 36 is beyond 12
    EXPECT_EQ(reach.bottom, 842 - 0);  // 50 is beyond 48
    report.marginLeft = 5;
    EXPECT_EQ(PrintableAreaFor(printer, report).left, 7);  // 5 + 7 = the printer's 12
}

// The print dialog's answer travels as a request and back onto a printer
// without losing the choice of every report page, a range, copies or
// collation; the job settings read it from the printer.
TEST(PrintArea, RequestPrinterAndJobSettingsAgree) {
    const QString pdf = qortest::processTempDir() + "/request.pdf";
    qor::PrintRequest r;
    r.flags = kPdSelection | kPdCollate;
    r.copies = 3;
    r.outputFile = pdf;
    auto printer = PrinterForRequest(r);
    EXPECT_EQ(printer->outputFormat(), QPrinter::PdfFormat);
    EXPECT_EQ(printer->outputFileName(), pdf);
    PrintJobSettings js = SettingsFromPrinter(*printer);
    EXPECT_TRUE(js.allReportPages);
    EXPECT_FALSE(js.pageRange);
    EXPECT_EQ(js.copies, 3);
    EXPECT_TRUE(js.collate);
    qor::PrintRequest back = RequestFromPrinter(*printer, r);
    EXPECT_TRUE(back.flags & kPdSelection);
    EXPECT_TRUE(back.flags & kPdPrintToFile);
    EXPECT_EQ(back.outputFile, pdf);

    r.flags = 0;
    r.allPages = false;
    r.fromPage = 2;
    r.toPage = 4;
    r.copies = 1;
    printer = PrinterForRequest(r);
    js = SettingsFromPrinter(*printer);
    EXPECT_FALSE(js.allReportPages);
    EXPECT_TRUE(js.pageRange);
    EXPECT_EQ(js.fromPage, 2);
    EXPECT_EQ(js.toPage, 4);
    EXPECT_FALSE(js.collate);
    back = RequestFromPrinter(*printer, r);
    EXPECT_TRUE(back.flags & kPdPageNums);
    EXPECT_FALSE(back.allPages);
    EXPECT_EQ(back.fromPage, 2);
    EXPECT_EQ(back.toPage, 4);

    // The page setup chosen last goes with every printer made afterwards.
    const QPageLayout landscape(QPageSize(QPageSize::A5), QPageLayout::Landscape,
                                QMarginsF(30, 30, 30, 30), QPageLayout::Point);
    SetPageSetupDefaults(landscape);
    printer = PrinterForRequest({});
    EXPECT_EQ(printer->pageLayout().orientation(), QPageLayout::Landscape);
    EXPECT_EQ(printer->pageLayout().pageSize().id(), QPageSize::A5);
    ClearPageSetupDefaults();
    EXPECT_NE(PrinterForRequest({})->pageLayout().pageSize().id(), QPageSize::A5);
}

TEST(PrintDriver, TheProposedPdfIsAFileNamedAfterTheReport) {
    using qor::view::SuggestedPdfPath;
    const QString home = QStringLiteral("/home/clerk");
    const QString work = QStringLiteral("/home/clerk/.local/share/qor/work");
    // Before the report has a file: 无标题.pdf in home, never home alone.
    EXPECT_EQ(SuggestedPdfPath({}, {}, home, work), home + QStringLiteral("/无标题.pdf"));
    // A saved report: beside it, under its own name, wherever the last
    // print went.
    EXPECT_EQ(SuggestedPdfPath(QStringLiteral("/data/月报.rep"), {}, home, work),
              QStringLiteral("/data/月报.pdf"));
    EXPECT_EQ(SuggestedPdfPath(QStringLiteral("/data/月报.rep"), QStringLiteral("/out/季报.pdf"),
                               home, work),
              QStringLiteral("/data/月报.pdf"));
    EXPECT_EQ(SuggestedPdfPath(QStringLiteral("/data/a.b.rep"), {}, home, work),
              QStringLiteral("/data/a.b.pdf"));
    // Not saved yet: the folder of the last print, never another report's
    // file there.
    const QString folder = qortest::freshDir(QStringLiteral("pdf-folder"));
    EXPECT_EQ(SuggestedPdfPath({}, folder, home, work), folder + QStringLiteral("/无标题.pdf"));
    EXPECT_EQ(SuggestedPdfPath({}, QStringLiteral("/out/季报.pdf"), home, work),
              QStringLiteral("/out/无标题.pdf"));
    // A working copy (an embedded report) is no file of the user's: nothing
    // is proposed in the work folder, whatever printed there before.
    EXPECT_EQ(SuggestedPdfPath(work + QStringLiteral("/object-77-1.rep"), {}, home, work),
              home + QStringLiteral("/无标题.pdf"));
    EXPECT_EQ(SuggestedPdfPath(work + QStringLiteral("/object-77-1.rep"),
                               QStringLiteral("/out/季报.pdf"), home, work),
              QStringLiteral("/out/无标题.pdf"));
    EXPECT_EQ(SuggestedPdfPath(work + QStringLiteral("/object-77-1.rep"),
                               work + QStringLiteral("/object-77-1.pdf"), home, work),
              home + QStringLiteral("/无标题.pdf"));
    // A folder that only begins like the work folder is another folder.
    EXPECT_EQ(SuggestedPdfPath(work + QStringLiteral("s/月报.rep"), {}, home, work),
              work + QStringLiteral("s/月报.pdf"));
}
