// The view setting dialogs: presets shown, edits read back on OK, Cancel
// leaving the members alone, and the zoom entry's range and spin.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "dialogs/viewsettings_dlgs.h"
#include "dialogs/viewsettings_logic.h"
#include "dialogs/viewsettings_viewdialogs.h"
#include "engine/textutil.h"
#include "platform/uiservices.h"

using namespace qor;

namespace {

template <class D>
void whenModal(std::function<void(D*)> body) {
    QTimer::singleShot(0, [body] {
        auto* dlg = qobject_cast<D*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        body(dlg);
    });
}

template <class W>
W* ctl(QDialog* dlg, int id) {
    auto* w = dlg->findChild<W*>(QStringLiteral("ctl%1").arg(id));
    EXPECT_NE(w, nullptr) << id;
    return w;
}

void press(QDialog* dlg, int id) { ctl<QPushButton>(dlg, id)->click(); }

struct MessagesCaught {
    QStringList texts;
    UiServices previous;
    MessagesCaught() {
        UiServices s;
        s.messageBox = [this](const MessageRequest& r) {
            texts << r.text;
            return MsgAnswer::Ok;
        };
        previous = installUiServices(s);
    }
    ~MessagesCaught() { installUiServices(previous); }
};

}  // namespace

TEST(ViewSettingsLogic, ZoomSpinStaysInRange) {
    EXPECT_EQ(ZoomSpinStep("900", -1), 900);
    EXPECT_EQ(ZoomSpinStep("895", -1), 900);
    EXPECT_EQ(ZoomSpinStep("898", -1), 900);
    EXPECT_EQ(ZoomSpinStep("35", 1), 30);
    EXPECT_EQ(ZoomSpinStep("31", 1), 30);  // never 26, which OK would refuse
    EXPECT_EQ(ZoomSpinStep("30", 1), 30);
    EXPECT_EQ(ZoomSpinStep("100", 0), 95);
    EXPECT_EQ(ZoomSpinStep("abc", -1), 30);
    EXPECT_EQ(ZoomSpinStep("-40", -1), 30);
}

TEST(ViewSettingsLogic, ZoomEntryRange) {
    EXPECT_EQ(ParseZoomEntry("30"), 30);
    EXPECT_EQ(ParseZoomEntry(" 900 "), 900);
    for (const char* bad : {"29", "901", "", "12a", "1e2", "-100", "99999999999"})
        EXPECT_FALSE(ParseZoomEntry(bad).has_value()) << bad;
}

TEST(ViewSettingsLogic, TitleFontFields) {
    EXPECT_EQ(TitleFontStyleNames(), (QStringList{"普通", "斜体", "粗体", "粗斜体"}));
    EXPECT_TRUE(TitleFontStyleItalic(3));
    EXPECT_TRUE(TitleFontStyleBold(3));
    EXPECT_FALSE(TitleFontStyleItalic(2));
    EXPECT_FALSE(TitleFontStyleBold(1));
    EXPECT_EQ(TitleFontStyleIndex(true, false), 1);
    EXPECT_EQ(TitleFontSizeFromText("14pt"), 14);
    EXPECT_EQ(TitleFontSizeFromText("x"), 0);
    EXPECT_EQ(TitleFontSizeFromText("1234567890"), 123456789);
    EXPECT_EQ(CurrencyEntries().value(1), QStringLiteral("＄ 美元"));
    EXPECT_EQ(CurrencyEntries().size(), 5);
}

TEST(ZoomDlg, ShowsPresetAndReadsBack) {
    CZoomDlg dlg;
    dlg.percent = 150;
    whenModal<CZoomDlg>([](CZoomDlg* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("显示比例"));
        auto* edit = ctl<QLineEdit>(d, CZoomDlg::IDC_ZOOM);
        EXPECT_EQ(edit->text(), "150");
        d->OnDeltaPos(-1);
        EXPECT_EQ(edit->text(), "155");
        press(d, kIdOk);
    });
    EXPECT_EQ(dlg.DoModal(), kIdOk);
    EXPECT_EQ(dlg.percent, 155);
}

TEST(ZoomDlg, RefusesOutOfRangeAndCancelKeeps) {
    MessagesCaught messages;
    CZoomDlg dlg;
    dlg.percent = 120;
    whenModal<CZoomDlg>([&messages](CZoomDlg* d) {
        ctl<QLineEdit>(d, CZoomDlg::IDC_ZOOM)->setText("26");
        press(d, kIdOk);
        EXPECT_TRUE(d->isVisible());  // still open after the refusal
        EXPECT_EQ(messages.texts.size(), 1);
        ctl<QLineEdit>(d, CZoomDlg::IDC_ZOOM)->setText("200");
        press(d, kIdCancel);
    });
    EXPECT_EQ(dlg.DoModal(), kIdCancel);
    EXPECT_EQ(dlg.percent, 120);
}

TEST(DisplayStyleDlg, PresetEditAndCancel) {
    view::DisplayStyleDlgMembers preset;
    preset.hideColumnHeaders = true;
    preset.gridIndex = 5;

    ScopedDialogRegistry keep;
    RegisterViewDialogs(nullptr);
    whenModal<CDisplayStyleDlg>([](CDisplayStyleDlg* d) {
        EXPECT_TRUE(ctl<QCheckBox>(d, CDisplayStyleDlg::IDC_HIDE_COLUMNS)->isChecked());
        EXPECT_FALSE(ctl<QCheckBox>(d, CDisplayStyleDlg::IDC_HIDE_ROWS)->isChecked());
        auto* grid = ctl<QComboBox>(d, CDisplayStyleDlg::IDC_GRID);
        EXPECT_EQ(grid->count(), 16);
        EXPECT_EQ(grid->currentIndex(), 5);
        EXPECT_EQ(grid->itemData(5).toUInt(), view::kStylePalette[5]);
        ctl<QCheckBox>(d, CDisplayStyleDlg::IDC_HIDE_ROWS)->setChecked(true);
        ctl<QCheckBox>(d, CDisplayStyleDlg::IDC_STANDARD_COLOURS)->setChecked(true);
        grid->setCurrentIndex(14);
        press(d, kIdCancel);
    });
    EXPECT_FALSE(Ask(preset).has_value());

    whenModal<CDisplayStyleDlg>([](CDisplayStyleDlg* d) {
        ctl<QCheckBox>(d, CDisplayStyleDlg::IDC_HIDE_ROWS)->setChecked(true);
        ctl<QCheckBox>(d, CDisplayStyleDlg::IDC_HIDE_COLUMNS)->setChecked(false);
        ctl<QComboBox>(d, CDisplayStyleDlg::IDC_GRID)->setCurrentIndex(14);
        press(d, kIdOk);
    });
    const std::optional<view::DisplayStyleDlgMembers> members = Ask(preset);
    ASSERT_TRUE(members.has_value());
    EXPECT_TRUE(members->hideRowHeaders);
    EXPECT_FALSE(members->hideColumnHeaders);
    EXPECT_EQ(members->gridIndex, 14);
}

TEST(DisplayStyleDlg, IndexOutsidePaletteSurvivesOk) {
    CDisplayStyleDlg dlg;
    dlg.gridIndex = -1;
    whenModal<CDisplayStyleDlg>([](CDisplayStyleDlg* d) {
        EXPECT_EQ(ctl<QComboBox>(d, CDisplayStyleDlg::IDC_GRID)->currentIndex(), -1);
        press(d, kIdOk);
    });
    EXPECT_EQ(dlg.DoModal(), kIdOk);
    EXPECT_EQ(dlg.gridIndex, -1);
}

TEST(ViewDialogs, RegisteredForTheCommands) {
    ScopedDialogRegistry keep;
    RegisterViewDialogs(nullptr);
    EXPECT_TRUE(HasDialog<view::CellAttrRequest>());
    EXPECT_TRUE(HasDialog<view::ObjectLookDlgMembers>());
    EXPECT_TRUE(HasDialog<view::ObjectPropDlgMembers>());
    whenModal<CZoomDlg>([](CZoomDlg* d) {
        EXPECT_EQ(ctl<QLineEdit>(d, CZoomDlg::IDC_ZOOM)->text(), "80");
        ctl<QLineEdit>(d, CZoomDlg::IDC_ZOOM)->setText("300");
        press(d, kIdOk);
    });
    const std::optional<view::ZoomDlgMembers> zoom = Ask(view::ZoomDlgMembers{80});
    ASSERT_TRUE(zoom.has_value());
    EXPECT_EQ(zoom->percent, 300);
}

TEST(CurrencySymbolDlg, PresetChoiceAndCancel) {
    SetCurrencySymbolIndex(2);
    whenModal<CCurrencySymbolDlg>([](CCurrencySymbolDlg* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("设置常用货币符号"));
        auto* combo = ctl<QComboBox>(d, CCurrencySymbolDlg::IDC_SYMBOL);
        EXPECT_EQ(combo->currentIndex(), 2);
        combo->setCurrentIndex(4);
        press(d, kIdCancel);
    });
    EXPECT_FALSE(RunCurrencySymbolDlg().has_value());
    EXPECT_EQ(CurrencySymbolIndex(), 2);

    whenModal<CCurrencySymbolDlg>([](CCurrencySymbolDlg* d) {
        ctl<QComboBox>(d, CCurrencySymbolDlg::IDC_SYMBOL)->setCurrentIndex(1);
        press(d, kIdOk);
    });
    EXPECT_EQ(RunCurrencySymbolDlg(), 1);
    EXPECT_EQ(CurrencySymbolIndex(), 1);
    SetCurrencySymbolIndex(-1);
}

TEST(TitleFontDlg, EmptyFaceOpensPlainAndCancelKeeps) {
    CTitleFontDlg dlg;
    dlg.m_bBold = true;
    dlg.m_nSize = 40;
    whenModal<CTitleFontDlg>([](CTitleFontDlg* d) {
        EXPECT_FALSE(ctl<QComboBox>(d, CTitleFontDlg::IDC_FACE)->currentText().isEmpty());
        EXPECT_EQ(ctl<QComboBox>(d, CTitleFontDlg::IDC_SIZE)->currentText(), "9");
        EXPECT_EQ(ctl<QComboBox>(d, CTitleFontDlg::IDC_STYLE)->currentIndex(), 0);
        EXPECT_FALSE(ctl<QCheckBox>(d, CTitleFontDlg::IDC_UNDERLINE)->isChecked());
        press(d, kIdCancel);
    });
    EXPECT_EQ(dlg.DoModal(), kIdCancel);
    EXPECT_TRUE(dlg.m_faceName.isEmpty());
    EXPECT_TRUE(dlg.m_bBold);
    EXPECT_EQ(dlg.m_nSize, 40);
}

TEST(TitleFontDlg, PresetShownAndReadBack) {
    CTitleFontDlg dlg;
    dlg.m_faceName = QStringLiteral("NoSuchFaceHere");
    dlg.m_nSize = 16;
    dlg.m_bItalic = true;
    dlg.m_bUnderline = true;
    whenModal<CTitleFontDlg>([](CTitleFontDlg* d) {
        EXPECT_EQ(ctl<QComboBox>(d, CTitleFontDlg::IDC_STYLE)->currentIndex(), 1);
        EXPECT_TRUE(ctl<QCheckBox>(d, CTitleFontDlg::IDC_UNDERLINE)->isChecked());
        ctl<QComboBox>(d, CTitleFontDlg::IDC_STYLE)->setCurrentIndex(3);
        ctl<QComboBox>(d, CTitleFontDlg::IDC_SIZE)->setEditText("20 pt");
        ctl<QCheckBox>(d, CTitleFontDlg::IDC_STRIKEOUT)->setChecked(true);
        press(d, kIdOk);
    });
    EXPECT_EQ(dlg.DoModal(), kIdOk);
    EXPECT_EQ(dlg.m_faceName, QStringLiteral("NoSuchFaceHere"));
    EXPECT_TRUE(dlg.m_bItalic);
    EXPECT_TRUE(dlg.m_bBold);
    EXPECT_TRUE(dlg.m_bUnderline);
    EXPECT_TRUE(dlg.m_bStrikeOut);
    EXPECT_EQ(dlg.m_nSize, 20);
}
