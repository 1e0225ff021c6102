// The cell attribute sheet's widgets over a report: what the pages show
// and what they write back.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <memory>

#include "dialogs/ccellattrdlg.h"
#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "tests/common/testsupport.h"

using namespace qor;

namespace {

class CellAttrDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString dir = qortest::freshDir(
            QStringLiteral("cellattrdlg-") +
            QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        h = std::make_unique<CReportHandle>(dir + "/r.rep");
        ASSERT_TRUE(h->IsOpen());
    }
    int32_t get(int code, int row, int col) {
        int32_t v = -99;
        const CellArea a = CellArea::cell(row, col);
        EXPECT_EQ(h->AccessAreaFormat(0, code, &v, &a), 0);
        return v;
    }
    void set(int code, int32_t v, const CellArea& a) {
        ASSERT_EQ(h->AccessAreaFormat(1, code, &v, &a), 0);
    }
    template <class W>
    static W* item(const CCellAttrPage& page, int id) {
        auto* w = qobject_cast<W*>(page.GetDlgItem(id));
        EXPECT_NE(w, nullptr) << id;
        return w;
    }

    std::unique_ptr<CReportHandle> h;
    const CellArea area = CellArea::area(3, 2, 5, 4);
};

}  // namespace

TEST_F(CellAttrDlgTest, FontAndBorderPagesReachTheReport) {
    set(kFmtFont, 1, area);
    set(kFmtFont, 12, CellArea::cell(5, 4));
    set(kFmtHAlign, kAlignEnd, area);

    CCellAttrDlg dlg(LoadErrorText(qor::str::kCellAttributes));
    dlg.SetMembers(GatherCellAttr(*h, area));
    dlg.OnInitDialog();
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("单元格属性"));
    ASSERT_EQ(dlg.Tabs()->count(), 4);
    EXPECT_EQ(dlg.Tabs()->tabText(0), QStringLiteral("单元类型"));
    EXPECT_EQ(dlg.Tabs()->tabText(1), QStringLiteral("字体图案"));
    EXPECT_EQ(dlg.Tabs()->tabText(2), QStringLiteral("对齐"));
    EXPECT_EQ(dlg.Tabs()->tabText(3), QStringLiteral("边框"));

    // Font page: the mixed font shows nothing chosen; pick a colour and a
    // style, leave the font.
    dlg.Tabs()->setCurrentIndex(1);
    CFontPatternPage& font = dlg.m_fontPatternPage;
    EXPECT_EQ(item<QComboBox>(font, CFontPatternPage::IDC_FONT)->currentIndex(), -1);
    EXPECT_EQ(item<QComboBox>(font, CFontPatternPage::IDC_STYLE)->itemText(7),
              QStringLiteral("粗斜下划线"));
    EXPECT_EQ(item<QComboBox>(font, CFontPatternPage::IDC_SIZE)->currentText(), "12");
    item<QComboBox>(font, CFontPatternPage::IDC_FOREGROUND)->setCurrentIndex(kColourRed);
    item<QComboBox>(font, CFontPatternPage::IDC_STYLE)->setCurrentIndex(kFontItalic);
    EXPECT_EQ(item<QComboBox>(font, CFontPatternPage::IDC_FOREGROUND)->currentData().toUInt(),
              0x0000FFu);

    // Border page: outer frame in the thick style, the left line clicked
    // twice (gone again), a falling diagonal.
    dlg.Tabs()->setCurrentIndex(3);
    CFramePage& frame = dlg.m_framePage;
    EXPECT_EQ(frame.SelectedStyle(), kLineThin);
    EXPECT_EQ(item<QListWidget>(frame, CFramePage::IDC_LINE_STYLES)->item(0)->text(),
              QStringLiteral("无"));
    item<QListWidget>(frame, CFramePage::IDC_LINE_STYLES)->setCurrentRow(kLineThick);
    item<QPushButton>(frame, CFramePage::IDC_OUTER)->click();
    item<QPushButton>(frame, 2039)->click();
    EXPECT_EQ(frame.Shown()[kFrameLeft], kLineNone);
    item<QPushButton>(frame, 2039)->click();
    item<QPushButton>(frame, 2039)->click();
    item<QListWidget>(frame, CFramePage::IDC_LINE_STYLES)->setCurrentRow(kLineThin);
    item<QPushButton>(frame, 2047)->click();
    dlg.OnOK();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);

    const CellAttrMembers m = dlg.GetMembers();
    EXPECT_TRUE(dlg.m_dataTypePage.IsApplied());  // the page shown first
    EXPECT_TRUE(font.IsApplied());
    EXPECT_FALSE(dlg.m_alignPage.IsApplied());  // never opened
    EXPECT_TRUE(frame.IsApplied());
    const CellAttrApplyResult r = ApplyCellAttr(*h, area, m);
    EXPECT_TRUE(r.changed);
    EXPECT_FALSE(r.diagonalTooLarge);

    for (int row = 3; row <= 5; ++row)
        for (int col = 2; col <= 4; ++col) {
            EXPECT_EQ(get(kFmtForeground, row, col), kColourRed);
            EXPECT_EQ(get(kFmtFontStyle, row, col), kFontItalic);
            EXPECT_EQ(get(kFmtHAlign, row, col), kAlignEnd);
        }
    EXPECT_EQ(get(kFmtFont, 3, 2), 1);
    EXPECT_EQ(get(kFmtFont, 5, 4), 12);
    const CellAttrMembers back = GatherCellAttr(*h, area);
    EXPECT_EQ(back.frame.m_nLines[kFrameTop], kLineThick);
    EXPECT_EQ(back.frame.m_nLines[kFrameRight], kLineThick);
    EXPECT_EQ(back.frame.m_nLines[kFrameBottom], kLineThick);
    EXPECT_EQ(back.frame.m_nLines[kFrameLeft], kLineNone);
    EXPECT_EQ(back.frame.m_nLines[kFrameFallingDiagonal], kLineThin);
    EXPECT_EQ(back.frame.m_nLines[kFrameRisingDiagonal], kLineNone);
}

TEST_F(CellAttrDlgTest, TypePageSampleAndEnabledControls) {
    CCellAttrDlg dlg(QStringLiteral("单元格属性"));
    dlg.OnInitDialog();
    CDataTypePage& page = dlg.m_dataTypePage;
    auto* types = item<QListWidget>(page, CDataTypePage::IDC_TYPE_LIST);
    ASSERT_EQ(types->count(), 3);
    EXPECT_EQ(types->currentRow(), 0);
    EXPECT_EQ(types->item(2)->text(), QStringLiteral("表样"));
    item<QCheckBox>(page, CDataTypePage::IDC_CURRENCY)->setChecked(true);
    item<QCheckBox>(page, CDataTypePage::IDC_THOUSANDS)->setChecked(true);
    EXPECT_EQ(page.SampleText(), QStringLiteral("￥12,345.67"));
    EXPECT_TRUE(page.GetDlgItem(CDataTypePage::IDC_DECIMALS)->isEnabled());
    types->setCurrentRow(1);
    EXPECT_FALSE(page.GetDlgItem(CDataTypePage::IDC_DECIMALS)->isEnabled());
    dlg.OnOK();
    EXPECT_EQ(page.m_nType, kAttrTypeCharacter);

    ApplyCellAttr(*h, area, dlg.GetMembers());
    EXPECT_EQ(get(kFmtKind, 4, 3), kCellText);
    EXPECT_EQ(get(kFmtThousands, 4, 3), 0);  // a character cell takes no format
}

TEST_F(CellAttrDlgTest, MixedWrapStaysUndecided) {
    set(kFmtWrap, 1, CellArea::cell(3, 2));
    set(kFmtHAlign, kAlignCentre, area);
    CCellAttrDlg dlg(QStringLiteral("单元格属性"), nullptr, 2);
    dlg.RemovePages(CCellAttrDlg::kRemoveDataType | CCellAttrDlg::kRemoveFrame);
    ASSERT_EQ(dlg.Tabs()->count(), 2);
    dlg.SetMembers(GatherCellAttr(*h, area));
    dlg.OnInitDialog();
    // Page 2 does not exist any more: the sheet opens on the first one.
    EXPECT_EQ(dlg.Tabs()->currentWidget(), &dlg.m_fontPatternPage);
    dlg.Tabs()->setCurrentWidget(&dlg.m_alignPage);
    CAlignPage& page = dlg.m_alignPage;
    auto* wrap = item<QCheckBox>(page, CAlignPage::IDC_WRAP);
    EXPECT_EQ(wrap->checkState(), Qt::PartiallyChecked);
    EXPECT_TRUE(item<QRadioButton>(page, 2078)->isChecked());
    item<QRadioButton>(page, 2011)->click();  // bottom
    dlg.OnOK();
    EXPECT_EQ(page.m_nWrap, -1);
    EXPECT_EQ(page.m_nVertical, kAlignEnd);
    EXPECT_FALSE(dlg.m_framePage.IsApplied());

    ApplyCellAttr(*h, area, dlg.GetMembers());
    EXPECT_EQ(get(kFmtWrap, 3, 2), 1);
    EXPECT_EQ(get(kFmtWrap, 4, 2), 0);
    EXPECT_EQ(get(kFmtVAlign, 5, 4), kAlignEnd);
}

TEST_F(CellAttrDlgTest, CancelAppliesNothing) {
    CCellAttrDlg dlg(QStringLiteral("单元格属性"));
    QTimer::singleShot(0, &dlg, [&dlg] {
        dlg.Tabs()->setCurrentIndex(1);
        dlg.reject();
    });
    EXPECT_EQ(dlg.DoModal(), CCellAttrDlg::IDCANCEL);
    // Leaving a page reads it, but a cancelled sheet's members are not used;
    // OK from a modal run gives IDOK.
    QTimer::singleShot(0, &dlg, [&dlg] { dlg.OkButton()->click(); });
    EXPECT_EQ(dlg.DoModal(), CCellAttrDlg::IDOK);
}

// The border page shown for real: each of the eight lines has one visible
// button, none repeats its text, every button sits outside the preview,
// and the template's second ids of the inner lines and diagonals lead to
// the button of the same line.
TEST_F(CellAttrDlgTest, BorderPageShowsEachLineButtonOnce) {
    CCellAttrDlg dlg(LoadErrorText(qor::str::kCellAttributes));
    CFramePage& frame = dlg.m_framePage;
    QStringList texts;
    int visible = 0;
    bool previewClear = true;
    std::array<int32_t, kFrameLineCount> afterTwins{};
    QTimer::singleShot(0, &dlg, [&] {
        dlg.Tabs()->setCurrentWidget(&frame);
        QApplication::processEvents();
        const QWidget* preview = frame.GetDlgItem(CFramePage::IDC_PREVIEW);
        const QRect previewRect(preview->mapTo(&frame, QPoint(0, 0)), preview->size());
        for (int id : {2035, 2036, 2037, 2039, 2040, 2042, 2044, 2045}) {
            auto* b = item<QPushButton>(frame, id);
            if (!b || !b->isVisible()) continue;
            ++visible;
            texts << b->text();
            const QRect r(b->mapTo(&frame, QPoint(0, 0)), b->size());
            if (r.intersects(previewRect)) previewClear = false;
        }
        // Every visible push button of the preview's box is one of them.
        for (QPushButton* b : frame.GetDlgItem(CFramePage::IDC_PREVIEW_FRAME)
                                  ->findChildren<QPushButton*>())
            if (b->isVisible() && !texts.contains(b->text())) texts << b->text();
        frame.grab().save(qortest::artifactPath(QStringLiteral("border_page.png")));
        for (int twin : {2041, 2043, 2046, 2047}) item<QPushButton>(frame, twin)->click();
        afterTwins = frame.Shown();
        dlg.OkButton()->click();
    });
    EXPECT_EQ(dlg.DoModal(), CCellAttrDlg::IDOK);
    EXPECT_EQ(visible, 8);
    EXPECT_EQ(texts.size(), 8) << texts.join(' ').toStdString();
    EXPECT_EQ(texts.removeDuplicates(), 0) << texts.join(' ').toStdString();
    EXPECT_TRUE(previewClear);
    for (int line : {kFrameInnerHorizontal, kFrameInnerVertical, kFrameFallingDiagonal,
                     kFrameRisingDiagonal})
        EXPECT_EQ(afterTwins[size_t(line)], kLineThin) << line;
    EXPECT_EQ(afterTwins[kFrameLeft], kLineNone);
}
