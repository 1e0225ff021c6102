// Printing as a person meets it on a machine without a printer: Ctrl+P
// shows the print dialog, which always offers a PDF file and the choice of
// every page of the report; the pages printed are the pages chosen, inside
// margins, with every cell text and chart label in the file's text layer.
// The print setup shows the page setup and keeps what was set there.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include "charts/cgraphitem.h"
#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "frame_fixture.h"
#include "frames/widgetui.h"
#include "resources/commandids.h"
#include "tests/common/testsupport.h"
#include "view/print_driver.h"

using namespace qor::cmd_ids;
using namespace qor::frames;
using frametest::FrameFixture;
using qor::items::ChartDesc;
using qor::items::Rect;

namespace {

struct PdfWord {
    int page = 0;
    double xMin = 0, yMin = 0;
    QString text;
};

std::vector<PdfWord> pdfWords(const QString& path) {
    std::vector<PdfWord> out;
    const qortest::ProcessResult r = qortest::run("pdftotext", {"-bbox", path, "-"});
    static const QRegularExpression token(
        QStringLiteral("<page |<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\"[^>]*>([^<]*)</word>"));
    int page = 0;
    for (auto it = token.globalMatch(QString::fromUtf8(r.out)); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(0).startsWith(QStringLiteral("<page")))
            ++page;
        else
            out.push_back(
                {page, m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3)});
    }
    return out;
}

int pdfPages(const QString& path) {
    static const QRegularExpression pages(QStringLiteral("Pages:\\s+(\\d+)"));
    const QRegularExpressionMatch m =
        pages.match(QString::fromUtf8(qortest::run("pdfinfo", {path}).out));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// What the print dialog showed, and the dialog's picture.
struct Seen {
    bool shown = false;
    bool pdfOffered = false;
    bool allPagesOffered = false;
    QString allPagesText;
};

// Acts on the print dialog when it shows: prints to file, every page of
// the report, and presses its print button.
void answerPrintDialog(QTimer& timer, Seen& seen, const QString& file, const QString& png) {
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&timer, &seen, file, png] {
        auto* d = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
        if (!d) return;
        timer.stop();
        seen.shown = true;
        auto* printers = d->findChild<QComboBox*>(QStringLiteral("printers"));
        auto* name = d->findChild<QLineEdit*>(QStringLiteral("filename"));
        auto* all = d->findChild<QRadioButton*>(QStringLiteral("printSelection"));
        auto* buttons = d->findChild<QDialogButtonBox*>();
        if (!printers || !name || !all || !buttons) {
            d->reject();
            return;
        }
        for (int i = 0; i < printers->count(); ++i)
            if (printers->itemText(i).contains(QStringLiteral("PDF"))) {
                printers->setCurrentIndex(i);
                seen.pdfOffered = true;
            }
        name->setText(file);
        // The page choices sit behind the options button.
        for (QPushButton* b : d->findChildren<QPushButton*>())
            if ((b->text().contains(QStringLiteral("Options")) ||
                 b->text().contains(QStringLiteral("选项"))) &&
                b->isVisible())
                b->click();
        seen.allPagesOffered = all->isVisible() && all->isEnabled();
        seen.allPagesText = all->text();
        all->setChecked(true);
        d->grab().save(png);
        QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
        if (ok)
            ok->click();
        else
            d->reject();
    });
    timer.start();
}

}  // namespace

class PrintDialogs : public FrameFixture {
protected:
    void SetUp() override {
        FrameFixture::SetUp();
        answerDialogs = false;
        // The desktop's own print dialog and page setup, the rest answered
        // by the fixture.
        qor::UiServices mine = qor::uiServices();
        InstallWidgetUiServices();
        mine.printDialog = qor::uiServices().printDialog;
        qor::installUiServices(mine);
        qor::view::ClearPageSetupDefaults();
    }
    void TearDown() override {
        qor::view::ClearPageSetupDefaults();
        FrameFixture::TearDown();
    }
};

TEST_F(PrintDialogs, CtrlPPrintsEveryChosenPageWithItsTextsAndChartLabels) {
    if (!qortest::needProgram("pdftotext") || !qortest::needProgram("pdfinfo"))
        GTEST_SKIP() << "no poppler tools";
    const QString dir = qortest::artifactPath(QStringLiteral("print-dialog"));
    QDir(dir).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(dir));
    CChildFrame* child = newReport();
    CQorsDoc* doc = child->GetDocument();
    CReportHandle* report = doc->GetReport();
    uint16_t rows = 8, cols = 5;
    ASSERT_EQ(report->AccessTableSize(1, &rows, &cols), 0);
    // B2:D4: the accounts across as labels, two lines of figures.
    ASSERT_EQ(report->SetCellValue({kCellLabel, 0, QStringLiteral("科目")}, 1, 2), 0);
    ASSERT_EQ(report->SetCellValue({kCellLabel, 0, QStringLiteral("银行存款")}, 2, 3), 0);
    ASSERT_EQ(report->SetCellValue({kCellLabel, 0, QStringLiteral("应收账款")}, 2, 4), 0);
    ASSERT_EQ(report->SetCellValue({kCellLabel, 0, QStringLiteral("期初")}, 3, 2), 0);
    ASSERT_EQ(report->SetCellValue({kCellLabel, 0, QStringLiteral("期末")}, 4, 2), 0);
    int32_t kind = 2;  // character cells for the page's own note
    const CellArea note = CellArea::area(6, 2, 6, 2);
    ASSERT_EQ(report->AccessAreaFormat(1, qor::kFmtKind, &kind, &note), 0);
    ASSERT_TRUE(child->EnterDataState());
    ASSERT_EQ(report->AppendRowColPage(2, 2), 0);
    for (int p = 1; p <= 3; ++p) {
        ASSERT_TRUE(doc->SetCurrentPage(p));
        for (int r = 3; r <= 4; ++r)
            for (int c = 3; c <= 4; ++c)
                ASSERT_EQ(report->SetCellValue(CellValue::ofNumber(p * 100 + r * 10 + c), r, c), 0);
        ASSERT_EQ(
            report->SetCellValue(CellValue::ofText(QStringLiteral("行次说明%1").arg(p)), 6, 2), 0);
    }
    ASSERT_TRUE(doc->SetCurrentPage(1));
    std::shared_ptr<CComItem> item = doc->Items().CreateComItem(0);
    auto* chart = dynamic_cast<CGraphItem*>(item.get());
    ASSERT_TRUE(chart);
    ChartDesc desc = ChartDesc::MakeDefault(320, 240, 1);
    desc.SetSourceArea(CellArea::area(2, 2, 4, 4));
    desc.SetGroupByRows(true);
    desc.SetChartType(0);
    chart->SetChartDesc(desc);
    chart->SetRect({10, 200, 330, 440});
    chart->SetPage(1);
    doc->UpdateAllViews(CQorsDoc::kHintItems);
    QApplication::processEvents();
    // Kept beside the pictures, for printing it by hand in qorview.
    ASSERT_TRUE(doc->Files().OnSaveDocument(dir + "/three-pages.rep"));

    const QString pdf = dir + "/report.pdf";
    QTimer timer;
    Seen seen;
    answerPrintDialog(timer, seen, pdf, dir + "/print-dialog.png");
    child->GetActiveView()->setFocus();
    QTest::keyClick(frame.get(), Qt::Key_P, Qt::ControlModifier);
    timer.stop();
    ASSERT_TRUE(seen.shown);
    EXPECT_TRUE(seen.pdfOffered);
    EXPECT_TRUE(seen.allPagesOffered);
    EXPECT_EQ(seen.allPagesText, LoadErrorText(qor::str::kAllReportPages));
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();

    // Three report pages, three sheets.
    ASSERT_EQ(pdfPages(pdf), 3);
    const std::vector<PdfWord> words = pdfWords(pdf);
    auto count = [&](int page, const QString& text) {
        return std::count_if(words.begin(), words.end(),
                             [&](const PdfWord& w) { return w.page == page && w.text == text; });
    };
    for (int p = 1; p <= 3; ++p) {
        for (const char* label : {"科目", "银行存款", "应收账款", "期初", "期末"})
            EXPECT_GE(count(p, QString::fromUtf8(label)), 1) << p << label;
        EXPECT_EQ(count(p, QStringLiteral("行次说明%1").arg(p)), 1) << p;
        EXPECT_EQ(count(p, QStringLiteral("%1.00").arg(p * 100 + 34)), 1) << p;
    }
    // The chart on page 1 names its categories again (axis and legend).
    EXPECT_GE(count(1, QStringLiteral("银行存款")), 2);
    EXPECT_GE(count(1, QStringLiteral("应收账款")), 2);
    EXPECT_EQ(count(2, QStringLiteral("银行存款")), 1);
    // Nothing printed into the paper's edge.
    for (const PdfWord& w : words) {
        EXPECT_GE(w.xMin, 20) << w.text.toStdString();
        EXPECT_GE(w.yMin, 20) << w.text.toStdString();
        for (QChar c : w.text)
            EXPECT_FALSE(c.unicode() >= 0x2E80 && c.unicode() < 0x2FE0) << w.text.toStdString();
    }
    EXPECT_EQ(doc->GetReport()->GetCurPage(), 1);
}

// The print setup shows the page setup for real; what is set there is what
// the next printing lays its pages out on.
TEST_F(PrintDialogs, PrintSetupKeepsThePageSetup) {
    newReport();
    QTimer timer;
    timer.setInterval(20);
    bool shown = false;
    double before = -1;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* d = qobject_cast<QPageSetupDialog*>(QApplication::activeModalWidget());
        if (!d) return;
        timer.stop();
        shown = true;
        auto* top = d->findChild<QDoubleSpinBox*>(QStringLiteral("topMargin"));
        if (!top) {
            d->reject();
            return;
        }
        before = top->value();
        top->setValue(before * 3);
        d->grab().save(qortest::artifactPath(QStringLiteral("page-setup.png")));
        d->accept();
    });
    timer.start();
    frame->Router().Execute(kCmdPrintSetup);
    timer.stop();
    ASSERT_TRUE(shown);
    ASSERT_GT(before, 0);
    // A printer made now carries the margin set there.
    const auto printer = qor::view::PrinterForRequest({});
    EXPECT_NEAR(printer->pageLayout().margins(QPageLayout::Point).top(),
                3 * qor::view::kDefaultPageMargin, 3);
}
