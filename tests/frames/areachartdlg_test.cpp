// The area-chart dialog: its type buttons, the label radios that follow
// the scope, and an edited area read back or refused with the dialog kept
// open; reached from qorview's Ctrl+F2.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QImage>
#include <QLineEdit>
#include <QPixmap>

#include "charts/cgraphitem.h"
#include "charts/ui/careachartdlg.h"
#include "charts/ui/chartui.h"
#include "engine/messages.h"
#include "tests/document/doc_fixture.h"
#include "view/chartcmd_logic.h"
#include "view/cqorsview.h"
#include "view/view_commands.h"

using namespace qor;
using doctest::newDoc;
using doctest::UiRecorder;

namespace {

struct HookGuard {
    explicit HookGuard(CQorDialog::ModalHook hook)
        : previous(CQorDialog::SetModalHook(std::move(hook))) {}
    ~HookGuard() { CQorDialog::SetModalHook(previous); }
    CQorDialog::ModalHook previous;
};

QLineEdit* edit(CQorDialog& d, int id) { return qobject_cast<QLineEdit*>(d.GetDlgItem(id)); }
QAbstractButton* button(CQorDialog& d, int id) {
    return qobject_cast<QAbstractButton*>(d.GetDlgItem(id));
}

}  // namespace

TEST(AreaChartDlg, TypesScopeAndTheAreaText) {
    UiRecorder ui;
    CAreaChartDlg dlg;
    static_cast<view::AreaChartDlgMembers&>(dlg) =
        view::PresetAreaChart(CellArea::area(1, 1, 5, 3), 7, 2, 20, 10);
    int result = 0;
    {
        HookGuard hook([&](CQorDialog& d) {
            d.adjustSize();
            d.grab().save(QStringLiteral(QOR_TEST_BINARY_DIR "/area-chart-dialog.png"));
            // Button 1087 picks type 6 and only it shows pressed.
            button(d, 1087)->click();
            int checked = 0;
            for (int id = 1081; id <= 1090; ++id) checked += button(d, id)->isChecked() ? 1 : 0;
            EXPECT_EQ(checked, 1);
            EXPECT_TRUE(button(d, 1087)->isChecked());
            // The page labels follow the scope.
            EXPECT_FALSE(button(d, 1093)->isEnabled());
            button(d, CAreaChartDlg::IDC_WHOLE_REPORT)->click();
            EXPECT_TRUE(button(d, 1093)->isEnabled());
            button(d, 1095)->click();
            // A text that is not an area keeps the dialog open.
            edit(d, CAreaChartDlg::IDC_AREA)->setText(QStringLiteral("B2:@7"));
            static_cast<CAreaChartDlg&>(d).OnOK();
            EXPECT_EQ(d.Result(), 0);
            EXPECT_TRUE(ui.said(LoadErrorText(view::kMsgAreaInvalid)));
            edit(d, CAreaChartDlg::IDC_AREA)->setText(QStringLiteral("A1:C3@7"));
            static_cast<CAreaChartDlg&>(d).OnOK();
        });
        result = dlg.DoModal();
    }
    EXPECT_EQ(result, CQorDialog::IDOK);
    EXPECT_EQ(dlg.m_nType, 6);
    EXPECT_EQ(dlg.m_nScope, 1);
    EXPECT_EQ(dlg.m_nLabel, 4);
    EXPECT_EQ(dlg.m_area, CellArea::area(0, 0, 2, 2));
    EXPECT_EQ(dlg.m_nPage, 7);
}

TEST(AreaChartDlg, EveryTypeButtonShowsItsOwnChart) {
    QList<QImage> pictures;
    for (int t = 0; t < 10; ++t) {
        const QImage image = CAreaChartDlg::TypePicture(t, QSize(56, 40)).toImage();
        image.save(QStringLiteral(QOR_TEST_BINARY_DIR "/chart-type-%1.png").arg(t));
        // Drawn in colour, not just axes and labels.
        int coloured = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.saturation() > 60) ++coloured;
            }
        EXPECT_GT(coloured, 20) << t;
        for (const QImage& other : pictures) EXPECT_NE(image, other) << t;
        pictures << image;
    }
}

// Through the installed chart interface, as qorview's Ctrl+F2 runs it.
TEST(AreaChartDlg, InsertChartRunsTheDialog) {
    UiRecorder ui;
    InstallChartUi(nullptr);
    auto doc = newDoc(40, 12);
    ASSERT_TRUE(doc->EnterDataState());
    CQorsView view(doc.get());
    view.resize(640, 480);
    view.OnInitialUpdate();
    doc->SetSelection(0, 0, 3, 3);
    HookGuard hook([](CQorDialog& d) {
        ASSERT_TRUE(dynamic_cast<CAreaChartDlg*>(&d));
        button(d, 1083)->click();
        static_cast<CAreaChartDlg&>(d).OnOK();
    });
    EXPECT_TRUE(view.OnCommand(viewcmd::kCmdInsertChart));
    ASSERT_EQ(doc->GetComItemCount(), 1);
    CQorsDoc::ItemPos pos = doc->GetFirstComItemPos();
    auto* chart = dynamic_cast<CGraphItem*>(doc->GetNextComItem(pos));
    ASSERT_TRUE(chart);
    EXPECT_EQ(chart->GetChartDesc().GetChartType(), 2u);
    view::InstallChartUi(nullptr);
}
