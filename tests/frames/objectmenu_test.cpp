// Embedded objects through qorview's menus: the object's verbs, copy and
// paste of an object from the 编辑 commands, and a file dropped from the
// desktop onto the report window.
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QUrl>

#include "charts/coleitem.h"
#include "charts/itemformats.h"
#include "chartui/cobjectpropsdlg.h"
#include "frame_fixture.h"
#include "resources/commandids.h"
#include "tests/common/testsupport.h"
#include "view/objectprops_logic.h"

using namespace qor::cmd_ids;
using frametest::FrameFixture;

namespace {

class ObjectMenus : public FrameFixture {};

int dropOn(QWidget& target, const QMimeData* data, QPoint at) {
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton,
                          Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &enter);
    if (!enter.isAccepted()) return int(Qt::IgnoreAction);
    QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton,
                    Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &drop);
    return int(drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction);
}

}  // namespace

TEST_F(ObjectMenus, CopyPasteVerbsAndDrop) {
    const QString dir = qortest::freshDir(QStringLiteral("ObjectMenus"));
    const QString png = dir + QStringLiteral("/chart.png");
    QImage image(30, 20, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    ASSERT_TRUE(image.save(png, "PNG"));

    qor::frames::CChildFrame* child = frame->NewDocument();
    ASSERT_TRUE(child);
    CQorsDoc* doc = child->GetDocument();
    CQorsView* view = child->GetActiveView();
    ASSERT_TRUE(view);
    QApplication::processEvents();

    // A file dropped onto the sheet becomes an embedded object.
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(png)});
    EXPECT_EQ(dropOn(*view, &files, QPoint(200, 150)), int(Qt::CopyAction));
    ASSERT_EQ(doc->Items().GetComItemCount(), 1);
    CQorsDoc::ItemPos pos = doc->Items().GetFirstComItemPos();
    auto* object = dynamic_cast<COleItem*>(doc->Items().GetNextComItem(pos));
    ASSERT_TRUE(object);
    EXPECT_EQ(view->Items().Selected(), object);

    // 对象... opens a copy in the desktop's program.
    QString opened;
    qor::UiServices hooks = qor::uiServices();
    hooks.openInDesktop = [&opened](const QString& path) {
        opened = path;
        return true;
    };
    const qor::UiServices before = qor::installUiServices(hooks);
    EXPECT_TRUE(frame->Router().Query(kCmdObjectVerbs).enabled);
    EXPECT_TRUE(frame->Router().Execute(kCmdObjectVerbs));
    qor::installUiServices(before);
    EXPECT_EQ(qortest::fileBytes(opened), qortest::fileBytes(png));

    // Copy and paste from the menu: a second object with the same bytes.
    ASSERT_TRUE(frame->Router().Query(kCmdCopy).enabled);
    EXPECT_TRUE(frame->Router().Execute(kCmdCopy));
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(data);
    EXPECT_TRUE(data->hasFormat(QString::fromLatin1(qor::items::kOleFormatName)));
    ASSERT_TRUE(frame->Router().Query(kCmdPaste).enabled);
    EXPECT_TRUE(frame->Router().Execute(kCmdPaste));
    ASSERT_EQ(doc->Items().GetComItemCount(), 2);
    auto* copy = dynamic_cast<COleItem*>(view->Items().Selected());
    ASSERT_TRUE(copy);
    EXPECT_NE(copy, object);
    EXPECT_EQ(copy->GetObjectData(), object->GetObjectData());
    EXPECT_NE(copy->GetClient().embedding, object->GetClient().embedding);

    // Cut takes it off the page; 33239 is never on.
    EXPECT_TRUE(frame->Router().Execute(kCmdCut));
    EXPECT_EQ(doc->Items().GetComItemCount(), 1);
    EXPECT_FALSE(frame->Router().Query(kCmdCancelEditCntr).enabled);
    doc->SetModifiedFlag(false);
}

TEST_F(ObjectMenus, PropertiesScaleAndUpdateALink) {
    const QString dir = qortest::freshDir(QStringLiteral("ObjectProps"));
    const QString png = dir + QStringLiteral("/linked.png");
    QImage image(40, 20, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(png, "PNG"));

    qor::frames::CChildFrame* child = frame->NewDocument();
    CQorsDoc* doc = child->GetDocument();
    CQorsView* view = child->GetActiveView();
    std::shared_ptr<CComItem> made = doc->Items().InsertObjectFromFile(png, QPoint(30, 30), true, false);
    ASSERT_TRUE(made);
    auto* object = static_cast<COleItem*>(made.get());
    view->Items().SetSelection(object);
    ASSERT_TRUE(frame->Router().Query(kCmdObjectProperties).enabled);
    const QSize natural = object->GetSize();

    // The dialog: 250 % (and a request above the limit is held at 500).
    std::function<void(CQorDialog&)> answer;
    const CQorDialog::ModalHook previousHook =
        CQorDialog::SetModalHook([&answer](CQorDialog& d) { answer(d); });
    answer = [](CQorDialog& d) {
        auto* spin = qobject_cast<QSpinBox*>(d.GetDlgItem(CObjectPropsDlg::IDC_SCALE));
        EXPECT_EQ(spin->value(), 100);
        spin->setValue(250);
        d.accept();
    };
    EXPECT_TRUE(frame->Router().Execute(kCmdObjectProperties));
    EXPECT_EQ(object->GetSize(), natural * 2.5);
    EXPECT_EQ(qor::view::ObjectScalePercent(*object), 250);
    EXPECT_TRUE(qor::view::ApplyObjectScale(*doc, *object, 9000));
    EXPECT_EQ(object->GetSize(), natural * 5);

    // 立即更新 shows the file as it is now; a file that is gone keeps the
    // picture and says so.
    image.fill(Qt::green);
    ASSERT_TRUE(image.save(png, "PNG"));
    answer = [](CQorDialog& d) {
        qobject_cast<QPushButton*>(d.GetDlgItem(CObjectPropsDlg::IDC_UPDATE_NOW))->click();
        d.reject();
    };
    EXPECT_TRUE(frame->Router().Execute(kCmdObjectProperties));
    QImage shown = QImage::fromData(object->GetClient().presentation);
    EXPECT_EQ(shown.pixel(5, 5), qRgb(0, 255, 0));
    ASSERT_TRUE(QFile::remove(png));
    messages.clear();
    EXPECT_TRUE(frame->Router().Execute(kCmdObjectProperties));
    shown = QImage::fromData(object->GetClient().presentation);
    EXPECT_EQ(shown.pixel(5, 5), qRgb(0, 255, 0));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(png));
    CQorDialog::SetModalHook(previousHook);
    doc->SetModifiedFlag(false);
}
