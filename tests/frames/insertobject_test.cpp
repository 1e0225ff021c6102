// Embedded objects: a file inserted from qorview's 插入新对象 shows as its
// picture, its bytes are kept in the report's "Embedding n" storage (read
// back by an independent reader) and come back when the report reopens;
// report files are refused and a deleted object's storage goes.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QTest>

#include "charts/coleitem.h"
#include "chartui/chartui.h"
#include "chartui/cinsertobjectdlg.h"
#include "document/cqorsdoc.h"
#include "document/dialogregistry.h"
#include "platform/uiservices.h"
#include "tests/common/testsupport.h"
#include "tests/document/doc_fixture.h"
#include "view/chartcmd_logic.h"
#include "view/cqorsview.h"
#include "view/view_commands.h"
#include "resources/commandids.h"

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

QByteArray writePng(const QString& path) {
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(QColor(0x20, 0x80, 0xC0));
    image.save(path, "PNG");
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

COleItem* onlyObject(CQorsDoc& doc) {
    CQorsDoc::ItemPos pos = doc.Items().GetFirstComItemPos();
    return pos ? dynamic_cast<COleItem*>(doc.Items().GetNextComItem(pos)) : nullptr;
}

}  // namespace

TEST(InsertObject, AFileIsEmbeddedSavedAndReadBack) {
    UiRecorder ui;
    qor::ScopedDialogRegistry keepDialogs;
    InstallChartUi(nullptr);
    const QString dir = qortest::freshDir(QStringLiteral("InsertObject"));
    const QString png = dir + "/logo.png";
    const QByteArray bytes = writePng(png);
    auto doc = newDoc(20, 8);
    CQorsView view(doc.get());
    view.resize(640, 480);
    view.OnInitialUpdate();
    qor::CommandState state;
    ASSERT_TRUE(view.OnUpdateCommand(cmd_ids::kCmdInsertObject, state));
    EXPECT_TRUE(state.enabled);

    auto answer = [](const QString& path, bool link) {
        return [path, link](CQorDialog& d) {
            qobject_cast<QLineEdit*>(d.GetDlgItem(CInsertObjectDlg::IDC_FILE))->setText(path);
            qobject_cast<QCheckBox*>(d.GetDlgItem(CInsertObjectDlg::IDC_LINK))->setChecked(link);
            static_cast<CInsertObjectDlg&>(d).OnOK();
        };
    };
    {
        // A report file is refused, nothing added.
        const QString rep = dir + "/other.REP";
        QFile(rep).open(QIODevice::WriteOnly);
        HookGuard hook(answer(rep, false));
        EXPECT_TRUE(view.OnCommand(cmd_ids::kCmdInsertObject));
        EXPECT_EQ(doc->Items().GetComItemCount(), 0);
        EXPECT_TRUE(ui.said(LoadErrorText(qor::str::kReportAsObject)));
    }
    {
        HookGuard hook(answer(png, false));
        EXPECT_TRUE(view.OnCommand(cmd_ids::kCmdInsertObject));
    }
    COleItem* object = onlyObject(*doc);
    ASSERT_TRUE(object);
    EXPECT_EQ(view.Items().Selected(), object);
    EXPECT_EQ(object->GetClient().classId, QStringLiteral("image/png"));
    EXPECT_EQ(object->GetClient().embedding, 1u);
    EXPECT_EQ(object->GetObjectData(), bytes);
    EXPECT_EQ(object->GetSize(), QSize(40, 30));
    // The page shows the picture itself.
    const QImage shown = view.grab().toImage();
    qor::items::Rect r = object->GetRect();
    view.Geometry().DocToClient(r);
    EXPECT_EQ(shown.pixelColor(r.left + 20, r.top + 15), QColor(0x20, 0x80, 0xC0));

    const QString path = dir + "/with-object.rep";
    ASSERT_TRUE(doc->Files().OnSaveDocument(path));
    if (qortest::needPythonModule("olefile")) {
        auto py = qortest::python(
            "import olefile,sys\n"
            "o=olefile.OleFileIO(sys.argv[1])\n"
            "sys.stdout.buffer.write(o.openstream('Embedding 1/Contents').read())\n",
            {path});
        ASSERT_EQ(py.exitCode, 0) << py.err.constData();
        EXPECT_EQ(py.out, bytes);
    }
    doc->Files().OnCloseDocument();
    ASSERT_TRUE(doc->Files().OnOpenDocument(path));
    object = onlyObject(*doc);
    ASSERT_TRUE(object);
    EXPECT_EQ(object->GetObjectData(), bytes);
    EXPECT_FALSE(object->GetClient().presentation.isEmpty());

    // A linked file keeps only its name; deleting the embedded object drops
    // its storage at the next save.
    {
        CQorsView again(doc.get());
        again.resize(640, 480);
        again.OnInitialUpdate();
        HookGuard hook(answer(png, true));
        EXPECT_TRUE(again.OnCommand(cmd_ids::kCmdInsertObject));
    }
    ASSERT_EQ(doc->Items().GetComItemCount(), 2);
    doc->Items().RemoveComItemAndRefresh(doc->Items().GetFirstComItemPos());
    object = onlyObject(*doc);
    ASSERT_TRUE(object);
    EXPECT_EQ(object->GetClient().itemType, qor::items::OleClientRecord::kLink);
    EXPECT_TRUE(object->GetObjectData().isEmpty());
    EXPECT_TRUE(object->GetClient().linkSource.endsWith("logo.png"));
    ASSERT_TRUE(doc->Files().OnSaveDocument());
    if (qortest::needPythonModule("olefile")) {
        auto py = qortest::python(
            "import olefile,sys\n"
            "o=olefile.OleFileIO(sys.argv[1])\n"
            "print(any(e[0].startswith('Embedding') for e in o.listdir(storages=True)))\n",
            {path});
        ASSERT_EQ(py.exitCode, 0) << py.err.constData();
        EXPECT_EQ(py.out.trimmed(), "False");
    }
    view::InstallChartUi(nullptr);
}

// Double click opens an embedded object as a copy in the desktop's
// program; a change saved there comes back into the report.
TEST(InsertObject, OpenVerbTakesChangesBack) {
    UiRecorder ui;
    const QString dir = qortest::freshDir(QStringLiteral("OpenObject"));
    const QString png = dir + "/chart.png";
    writePng(png);
    auto doc = newDoc(20, 8);
    ASSERT_TRUE(doc->Items().InsertObjectFromFile(png, QPoint(30, 30), false, false));
    COleItem* object = onlyObject(*doc);
    ASSERT_TRUE(object);
    doc->SetModifiedFlag(false);

    QString opened;
    qor::UiServices hooks = qor::uiServices();
    hooks.openInDesktop = [&opened](const QString& path) {
        opened = path;
        return true;
    };
    const qor::UiServices previous = qor::installUiServices(hooks);
    {
        CQorsView view(doc.get());
        view.resize(640, 480);
        view.OnInitialUpdate();
        qor::items::Rect r = object->GetRect();
        view.Geometry().DocToClient(r);
        QTest::mouseDClick(&view, Qt::LeftButton, Qt::NoModifier, QPoint(r.left + 5, r.top + 5));
    }
    qor::installUiServices(previous);
    ASSERT_FALSE(opened.isEmpty());
    EXPECT_NE(opened, png);  // a copy, not the file it came from
    EXPECT_TRUE(opened.endsWith(".png"));

    // The user paints the picture red and saves it.
    QImage changed(60, 20, QImage::Format_RGB32);
    changed.fill(Qt::red);
    ASSERT_TRUE(changed.save(opened, "PNG"));
    EXPECT_TRUE(doc->Items().ObjectFileChanged(opened));
    EXPECT_TRUE(doc->IsModified());
    QFile f(opened);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(object->GetObjectData(), f.readAll());
    EXPECT_EQ(QImage::fromData(object->GetClient().presentation).pixelColor(5, 5), QColor(Qt::red));
    // A file of nobody's is ignored.
    EXPECT_FALSE(doc->Items().ObjectFileChanged(dir + "/other.png"));
    // The copy goes with the document.
    doc.reset();
    EXPECT_FALSE(QFile::exists(opened));
}
