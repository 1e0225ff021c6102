// The tree with its own pictures, alone and in the dictionary wizards,
// driven by real double clicks.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTreeWidget>

#include "dialogs/cimagetreectrl.h"
#include "dialogs/sqlwizard_dlgs.h"
#include "reader/cqordb.h"
#include "tests/common/testsupport.h"
#include "tests/document/doc_fixture.h"
#include "tests/reader/dictionaryfixture.h"

using namespace qor;

namespace {

// What a user's double click delivers: press, release, double click,
// release at one point of the tree.
void doubleClickAt(QTreeWidget& tree, QTreeWidgetItem* item) {
    ASSERT_NE(item, nullptr);
    const QPointF at = tree.visualItemRect(item).center();
    const QPointF global = tree.viewport()->mapToGlobal(at);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                              QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, global, Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(tree.viewport(), &event);
    }
    QApplication::processEvents();
}

TEST(ImageTree, DoubleClicksSwitchFoldersAndTellLeaves) {
    CImageTreeCtrl tree;
    auto* folder = new QTreeWidgetItem(&tree, {QStringLiteral("表")});
    tree.SetItemImage(folder, CImageTreeCtrl::kClosedFolder);
    auto* leaf = new QTreeWidgetItem(folder, {QStringLiteral("字段")});
    tree.SetItemImage(leaf, CImageTreeCtrl::kTable, CImageTreeCtrl::kChosenTable);
    tree.resize(300, 200);
    tree.show();
    QApplication::processEvents();

    // A closed folder opens, and shows the open picture whether selected
    // or not; the next double click closes it again.
    doubleClickAt(tree, folder);
    EXPECT_EQ(tree.m_bLeaf, 0);
    EXPECT_TRUE(folder->isExpanded());
    EXPECT_EQ(tree.ItemImage(folder), CImageTreeCtrl::kOpenFolder);
    EXPECT_EQ(tree.ItemSelectedImage(folder), CImageTreeCtrl::kOpenFolder);
    doubleClickAt(tree, leaf);
    EXPECT_EQ(tree.m_bLeaf, 1);
    // A leaf keeps both its pictures.
    EXPECT_EQ(tree.ItemImage(leaf), CImageTreeCtrl::kTable);
    EXPECT_EQ(tree.ItemSelectedImage(leaf), CImageTreeCtrl::kChosenTable);
    doubleClickAt(tree, folder);
    EXPECT_EQ(tree.m_bLeaf, 0);
    EXPECT_FALSE(folder->isExpanded());
    EXPECT_EQ(tree.ItemImage(folder), CImageTreeCtrl::kClosedFolder);

    // The leaf's icon shows the chosen table while selected.
    const QIcon icon = leaf->icon(0);
    EXPECT_NE(icon.pixmap(15, QIcon::Normal).toImage(), icon.pixmap(15, QIcon::Selected).toImage());
    EXPECT_TRUE(tree.FolderImage(CImageTreeCtrl::kImageCount).isNull());
}

TEST(ImageTree, WizardsOpenOnlyTheTablesADoubleClickHits) {
    const QString dir = qortest::freshDir("imagetree-wizard");
    qortest::makeDatabase(dir + "/dict.db", qortest::kDictionary);
    const QString connection = "DRIVER=QSQLITE;DATABASE=" + dir + "/dict.db";
    const DictionaryFactory previous =
        SetDictionaryFactory([connection] { return std::make_unique<CQorDB>(connection); });
    doctest::UiRecorder ui;

    CSqlWizardDlg sql;
    CCondExprWizardDlg cond;
    for (CQorDialog* dlg : {static_cast<CQorDialog*>(&sql), static_cast<CQorDialog*>(&cond)}) {
        SCOPED_TRACE(dlg->TemplateId());
        dlg->OnInitDialog();
        dlg->resize(800, 600);
        dlg->show();
        QApplication::processEvents();
        auto* tree = qobject_cast<CImageTreeCtrl*>(dlg->GetDlgItem(1235));
        ASSERT_NE(tree, nullptr);
        auto* fields = qobject_cast<QTreeWidget*>(
            dlg->GetDlgItem(dlg == &sql ? CSqlWizardDlg::IDC_FIELDS : CCondExprWizardDlg::IDC_FIELDS));
        ASSERT_NE(fields, nullptr);
        ASSERT_GE(tree->topLevelItemCount(), 1);
        QTreeWidgetItem* system = tree->topLevelItem(0);
        ASSERT_GE(system->childCount(), 1);
        EXPECT_EQ(tree->ItemImage(system), CImageTreeCtrl::kClosedFolder);
        QTreeWidgetItem* table = system->child(0);
        EXPECT_EQ(tree->ItemImage(table), CImageTreeCtrl::kTable);
        EXPECT_EQ(tree->ItemSelectedImage(table), CImageTreeCtrl::kChosenTable);

        // A system opens as a folder and lists no fields.
        doubleClickAt(*tree, system);
        EXPECT_TRUE(system->isExpanded());
        EXPECT_EQ(tree->ItemImage(system), CImageTreeCtrl::kOpenFolder);
        EXPECT_EQ(fields->topLevelItemCount(), 0);
        // A table lists its fields.
        doubleClickAt(*tree, table);
        EXPECT_GT(fields->topLevelItemCount(), 0);
        dlg->hide();
    }
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join("|").toStdString();
    ASSERT_EQ(cond.m_nameList.size(), 1);
    SetDictionaryFactory(previous);
}

}  // namespace
