// A workbook made by LibreOffice opened in a report window, as a clerk
// sees it: the window carries the workbook's name, unmarked, its General
// numbers show as written and fit their columns, and saving still asks for
// a report name.
#include <QDir>
#include <QImage>

#include "engine/messages.h"
#include "frame_fixture.h"
#include "tests/common/libreofficebook.h"
#include "tests/common/testsupport.h"
#include "view/formulabar.h"
#include "print/paint_celltext.h"

using namespace qor::frames;
using frametest::FrameFixture;

namespace {

using WorkbookWindow = FrameFixture;

// Measures a text as so many pixels a character: enough to tell a number
// that fits its column from one that turns into "#".
class CharMetrics : public qor::view::TextMetrics {
public:
    int width(const QString& text) const override { return int(text.size()) * 7; }
    int height() const override { return 12; }
    int ascent() const override { return 10; }
    int averageCharWidth() const override { return 7; }
};

TEST_F(WorkbookWindow, ShowsTheWorkbooksNameAndItsNumbersAsWritten) {
    if (!qortest::needProgram(QStringLiteral("soffice")))
        GTEST_SKIP() << "soffice (LibreOffice) is not installed: no workbook of its making";
    const QString book =
        qortest::libreOfficeBook(qortest::freshDir("frames-lo-book"), QStringLiteral("xlsx"),
                                 QStringLiteral("xlsx:Calc MS Excel 2007 XML"));
    CChildFrame* child = frame->OpenDocumentFile(book);
    ASSERT_NE(child, nullptr) << messages.join(u'|').toStdString();
    child->showMaximized();
    QApplication::processEvents();
    CQorsDoc* doc = child->GetDocument();

    // The title is the workbook's file, not marked: nothing was changed
    // yet, and the workbook still holds it all.
    EXPECT_EQ(child->windowTitle(), QStringLiteral("book.xlsx[*]"));
    EXPECT_FALSE(child->isWindowModified());

    // 23000, 0.125 and 80000.5 as written; the first two fit their
    // columns (the narrowest column, 0.62 in, is too narrow for 80000.5 at
    // 5.5 units a character).
    EXPECT_EQ(qor::view::FormatNumberCell(*doc, 0, 1), QStringLiteral("23000"));
    EXPECT_EQ(qor::view::FormatNumberCell(*doc, 0, 2), QStringLiteral("0.125"));
    EXPECT_EQ(qor::view::FormatNumberCell(*doc, 0, 3), QStringLiteral("80000.5"));
    CQorsView* view = child->GetActiveView();
    ASSERT_NE(view, nullptr);
    for (int c = 1; c <= 2; ++c) {
        const QString text = qor::view::FormatNumberCell(*doc, 0, c);
        const qor::items::Rect cell{0, 0, view->Geometry().GetColumnWidthPixels(c) - 2, 20};
        const qor::view::CellTextLayout laid =
            qor::view::LayoutCellText(text, 1, 0, cell, CharMetrics());
        ASSERT_EQ(laid.lines.size(), 1u);
        EXPECT_EQ(laid.lines[0].text, text)
            << "column " << c << " is " << view->Geometry().GetColumnWidthPixels(c) << " pixels";
    }

    // The formula bar shows the current cell's number as the cell does.
    view->Scroll().GoToCell(0, 1);
    QApplication::processEvents();
    EXPECT_EQ(frame->FormulaBar()->text(), QStringLiteral("23000"));

    if (QDir().mkpath(qortest::artifactPath())) {
        frame->grab().save(qortest::artifactPath(QStringLiteral("workbook-window.png")));
        // Not maximised, the window's own title bar shows the name.
        child->showNormal();
        child->resize(600, 300);
        QApplication::processEvents();
        frame->grab().save(qortest::artifactPath(QStringLiteral("workbook-window-title.png")));
    }

    // Saving asks for the report's name, starting from nothing that would
    // overwrite the workbook; cancelling keeps the window as it was.
    const qsizetype asked = fileFilters.size();
    EXPECT_FALSE(frame->SaveDocument(child, false));
    EXPECT_EQ(fileFilters.size(), asked + 1);
    EXPECT_TRUE(doc->GetPathName().isEmpty());
    EXPECT_EQ(child->windowTitle(), QStringLiteral("book.xlsx[*]"));
}

TEST_F(WorkbookWindow, ANewReportIsUntitledUntilSaved) {
    CChildFrame* child = newReport();
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->windowTitle(), LoadErrorText(qor::str::kUntitled) + QStringLiteral("[*]"));
    EXPECT_EQ(LoadErrorText(qor::str::kUntitled), QStringLiteral("无标题"));
    const QString path = qortest::freshDir("frames-untitled") + QStringLiteral("/月报.rep");
    files = {path};
    ASSERT_TRUE(frame->SaveDocument(child, false)) << messages.join(u'|').toStdString();
    EXPECT_EQ(child->windowTitle(), QStringLiteral("月报.rep[*]"));
    EXPECT_FALSE(child->isWindowModified());
}

}  // namespace
