// The open dialog shown for real: its list's columns are wide enough for
// what they hold, so a size reads "22.5 KiB", not "22.…".
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QThread>
#include <QTimer>
#include <QTreeView>

#include "frames/cmyfiledlg.h"
#include "tests/common/testsupport.h"

namespace {

// Columns whose text does not fit: elided in the view.
QStringList clippedColumns(QTreeView* view) {
    QStringList clipped;
    QAbstractItemModel* model = view->model();
    const QModelIndex root = view->rootIndex();
    for (int row = 0; row < model->rowCount(root); ++row)
        for (int col = 0; col < model->columnCount(root); ++col) {
            if (view->isColumnHidden(col)) continue;
            const QModelIndex i = model->index(row, col, root);
            const QString text = i.data().toString();
            const int need = view->fontMetrics().horizontalAdvance(text) +
                             (col == 0 ? view->iconSize().width() + 28 : 4);
            if (need > view->columnWidth(col)) clipped << text;
        }
    return clipped;
}

}  // namespace

TEST(FileDlgColumns, TheOpenDialogsDetailColumnsShowTheirTextWhole) {
    const QString dir = qortest::freshDir(QStringLiteral("filedlg-columns"));
    for (const char* name : {"二〇二六年度资产负债表汇总.rep", "b.rep"}) {
        QFile f(dir + "/" + QString::fromUtf8(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(23040, 'x'));  // 22.5 KiB
    }
    CMyFileDlg dlg(true, QString(), QString(), QStringLiteral("报表文件 (*.rep)"));
    dlg.SetInitialDir(dir);
    QStringList clipped;
    bool listed = false;
    QTimer::singleShot(0, &dlg, [&] {
        dlg.setViewMode(QFileDialog::Detail);
        auto* view = dlg.findChild<QTreeView*>(QStringLiteral("treeView"));
        ASSERT_NE(view, nullptr);
        // The folder is read in the background; wait for both files.
        for (int i = 0; i < 200 && view->model()->rowCount(view->rootIndex()) < 2; ++i) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(10);
        }
        QApplication::processEvents();
        listed = view->model()->rowCount(view->rootIndex()) == 2;
        clipped = clippedColumns(view);
        dlg.grab().save(qortest::artifactPath(QStringLiteral("qorview-open.png")));
        dlg.reject();
    });
    QDir().mkpath(qortest::artifactPath());
    EXPECT_EQ(dlg.DoModal(), CMyFileDlg::IDCANCEL);
    EXPECT_TRUE(listed);
    EXPECT_TRUE(clipped.isEmpty()) << clipped.join(" | ").toStdString();
}
