// The area-chart dialog: its type buttons, the label radios that follow
// the scope, and an edited area read back or refused with the dialog kept
// open; reached from qorview's Ctrl+F2.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QImage>
#include <QLineEdit>
#include <QPixmap>
#include <QTest>
#include <QTimer>

#include "charts/cgraphitem.h"
#include "chartui/careachartdlg.h"
#include "chartui/chartui.h"
#include "chartui/cpicwnd.h"
#include "dialogs/small_dlgs.h"
#include "dialogs/viewsettings_viewdialogs.h"
#include "document/cmdtarget.h"
#include "document/dialogregistry.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "resources/commandids.h"
#include "tests/document/doc_fixture.h"
#include "view/chartcmd_logic.h"
#include "view/cqorsview.h"
#include "view/displaystyle.h"
#include "view/view_commands.h"

using namespace qor::cmd_ids;
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
            d.grab().save(qortest::artifactPath(QStringLiteral("area-chart-dialog.png")));
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
            EXPECT_TRUE(ui.said(LoadErrorText(qor::str::kAreaInputError)));
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
        image.save(qortest::artifactPath(QStringLiteral("chart-type-%1.png").arg(t)));
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
    qor::ScopedDialogRegistry keepDialogs;
    InstallChartUi(nullptr);
    auto doc = newDoc(40, 12);
    ASSERT_TRUE(doc->EnterDataState());
    CQorsView view(doc.get());
    view.resize(640, 480);
    view.OnInitialUpdate();
    doc->Selection().SetSelection(0, 0, 3, 3);
    HookGuard hook([](CQorDialog& d) {
        ASSERT_TRUE(dynamic_cast<CAreaChartDlg*>(&d));
        button(d, 1083)->click();
        static_cast<CAreaChartDlg&>(d).OnOK();
    });
    EXPECT_TRUE(view.OnCommand(cmd_ids::kCmdInsertChart));
    ASSERT_EQ(doc->Items().GetComItemCount(), 1);
    CQorsDoc::ItemPos pos = doc->Items().GetFirstComItemPos();
    auto* chart = dynamic_cast<CGraphItem*>(doc->Items().GetNextComItem(pos));
    ASSERT_TRUE(chart);
    EXPECT_EQ(chart->GetChartDesc().GetChartType(), 2u);
    view::InstallChartUi(nullptr);
}

// A chart edited in place: double click opens the chart window over it,
// the type and group commands reach it through the view, a title dragged
// with the mouse stays in the window and is stored, Esc ends the editing.
TEST(ChartWindow, EditsTheChartInPlace) {
    UiRecorder ui;
    qor::ScopedDialogRegistry keepDialogs;
    InstallChartUi(nullptr);
    auto doc = newDoc(40, 12);
    ASSERT_TRUE(doc->EnterDataState());
    for (int r = 1; r <= 4; ++r)
        for (int c = 1; c <= 4; ++c)
            ASSERT_EQ(doc->GetReport()->SetCellValue(CellValue::ofNumber(r * c), r, c, 1), 0);
    CQorsView view(doc.get());
    view.resize(640, 480);
    view.OnInitialUpdate();
    view.show();
    std::shared_ptr<CComItem> item = doc->Items().CreateComItem(0);
    auto* chart = static_cast<CGraphItem*>(item.get());
    qor::items::ChartDesc desc = qor::items::ChartDesc::MakeDefault(240, 160, 1);
    desc.SetSourceArea(CellArea::area(1, 1, 5, 5));  // 4 data groups by rows
    desc.SetGroupByRows(true);
    chart->SetChartDesc(desc);
    chart->SetRect({20, 20, 260, 180});

    qor::items::Rect client = chart->GetRect();
    view.Geometry().DocToClient(client);
    QTest::mouseDClick(&view, Qt::LeftButton, Qt::NoModifier,
                       QPoint(client.left + 100, client.top + 80));
    ASSERT_TRUE(view.Items().IsChartEditing());
    auto* wnd = view.findChild<CPicWnd*>();
    ASSERT_TRUE(wnd);
    EXPECT_TRUE(wnd->isVisible());
    EXPECT_EQ(wnd->geometry().size(), QSize(240, 160));

    // The commands go to the chart window while it edits.
    qor::CommandState state;
    ASSERT_TRUE(view.OnUpdateCommand(kCmdChartType2, state));
    EXPECT_TRUE(state.enabled);
    EXPECT_TRUE(view.OnCommand(kCmdChartType2));
    EXPECT_EQ(chart->GetChartDesc().GetChartType(), 2u);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_TRUE(view.OnCommand(kCmdChartType0));  // back to one group per drawing
    for (int i = 0; i < 6; ++i) view.OnCommand(CPicWnd::kCmdNextGroup);
    EXPECT_EQ(chart->GetChartDesc().GetCurrentGroup(), 4);
    ASSERT_TRUE(view.OnUpdateCommand(CPicWnd::kCmdNextGroup, state));
    EXPECT_FALSE(state.enabled);

    // The main title dragged far right stops with its right edge at W - 5.
    wnd->repaint();
    const qor::items::Rect title = wnd->Working().GetPartRect(qor::items::ChartDesc::kTitleRect);
    ASSERT_GT(title.width(), 0);
    const QPoint grab(title.left + 2, title.top + 2);
    QTest::mousePress(wnd, Qt::LeftButton, Qt::NoModifier, grab);
    EXPECT_EQ(wnd->SelectedPart(), 3);
    QTest::mouseMove(wnd, grab + QPoint(50, 0));
    QTest::mouseMove(wnd, grab + QPoint(400, 0));
    QTest::mouseRelease(wnd, Qt::LeftButton, Qt::NoModifier, grab + QPoint(400, 0));
    const qor::items::Rect moved =
        chart->GetChartDesc().GetPartRect(qor::items::ChartDesc::kTitleRect);
    EXPECT_EQ(moved.right, 240 - 5);
    EXPECT_EQ(moved.width(), title.width());

    // Esc ends the editing; the window goes.
    QTest::keyClick(wnd, Qt::Key_Escape);
    EXPECT_FALSE(view.Items().IsChartEditing());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(view.findChild<CPicWnd*>());
    ASSERT_TRUE(view.OnUpdateCommand(kCmdChartType2, state) == false || !state.enabled);
    view::InstallChartUi(nullptr);
}

// Shown for real, as qorview runs them: Ctrl+F2's dialog confirmed with its
// OK button opens the new chart for editing; 属性 shows the chart's own
// area, and its scale sizes the titles with the chart.
TEST(AreaChartDlg, ANewChartIsEditedAndItsPropertiesShowItsArea) {
    UiRecorder ui;
    qor::ScopedDialogRegistry keepDialogs;
    InstallChartUi(nullptr);
    RegisterViewDialogs(nullptr);
    CQorDialog::ModalHook previousHook = CQorDialog::SetModalHook({});
    auto doc = newDoc(40, 12);
    doctest::setFormat(*doc, 0, 2, CellArea::area(1, 1, 4, 1));  // column A holds text
    ASSERT_TRUE(doc->EnterDataState());
    const char* names[] = {"银行存款", "应收账款", "存货", "固定资产"};
    for (int r = 1; r <= 4; ++r) {
        ASSERT_EQ(doc->GetReport()->SetCellValue(CellValue::ofText(QString::fromUtf8(names[r - 1])),
                                                 r, 1, 1),
                  0);
        for (int c = 2; c <= 4; ++c)
            ASSERT_EQ(doc->GetReport()->SetCellValue(CellValue::ofNumber(r * c * 10), r, c, 1), 0);
    }
    CQorsView view(doc.get());
    view.resize(800, 600);
    view.OnInitialUpdate();
    view.show();
    QApplication::processEvents();
    doc->Selection().SetSelection(0, 0, 3, 3);

    QString shownArea;
    int answered = 0;
    QTimer user;
    user.setInterval(10);
    QObject::connect(&user, &QTimer::timeout, [&] {
        auto* d = qobject_cast<CQorDialog*>(QApplication::activeModalWidget());
        if (!d || !d->isVisible()) return;
        ++answered;
        if (qobject_cast<CObjectPropDlg*>(d)) {
            shownArea = edit(*d, CObjectPropDlg::IDC_AREA)->text();
            d->grab().save(qortest::artifactPath(QStringLiteral("chart-properties.png")));
            QLineEdit* scale = edit(*d, CObjectPropDlg::IDC_SCALE);
            scale->selectAll();
            QTest::keyClicks(scale, QStringLiteral("50"));
        } else {
            button(*d, 1083)->click();  // every group side by side
        }
        button(*d, CQorDialog::IDOK)->click();
    });
    user.start();
    EXPECT_TRUE(view.OnCommand(cmd_ids::kCmdInsertChart));
    ASSERT_EQ(doc->Items().GetComItemCount(), 1);
    auto* chart = dynamic_cast<CGraphItem*>(view.Items().Selected());
    ASSERT_TRUE(chart);
    EXPECT_TRUE(view.Items().IsChartEditing());
    auto* wnd = view.findChild<CPicWnd*>();
    ASSERT_TRUE(wnd);
    EXPECT_TRUE(wnd->isVisible());
    QApplication::processEvents();
    view.grab().save(qortest::artifactPath(QStringLiteral("new-chart-editing.png")));
    QTest::keyClick(wnd, Qt::Key_Escape);
    EXPECT_FALSE(view.Items().IsChartEditing());

    const int titleBefore = chart->GetChartDesc().GetFont(qor::items::ChartDesc::kTitleFont).size;
    const qor::items::Rect before = chart->GetRect();
    EXPECT_TRUE(view.OnCommand(cmd_ids::kCmdObjectProperties));
    user.stop();
    EXPECT_EQ(answered, 2);
    EXPECT_EQ(shownArea, u"A1:D4");
    EXPECT_EQ(chart->GetRect().height(), (before.height() + 1) / 2);
    EXPECT_EQ(chart->GetChartDesc().GetFont(qor::items::ChartDesc::kTitleFont).size,
              (titleBefore + 1) / 2);
    CQorDialog::SetModalHook(previousHook);
    view::InstallChartUi(nullptr);
}
