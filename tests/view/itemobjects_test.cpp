// Embedded objects on the clipboard and in drag and drop, the report served
// as a picture, an embedded copy and a link, and data from other programs
// (pictures, files, damaged payloads).

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include "charts/cgraphitem.h"
#include "charts/coleitem.h"
#include "charts/contentsstream.h"
#include "charts/itemformats.h"
#include "charts/objectdata.h"
#include "document/cqorsdoc.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "platform/uiservices.h"
#include "tests/common/testsupport.h"
#include "tests/view/stubclipboard.h"
#include "view/clipcmd_logic.h"
#include "view/cqorsview.h"
#include "view/serveritems.h"
#include "view/view_commands.h"
#include "resources/commandids.h"

using namespace qor::clip;
using qor::items::Rect;

namespace {

QString fmt(const char* name) { return QString::fromLatin1(name); }

// A 40 x 30 PNG with a red left half.
QString writePng(const QString& dir, const QString& name = QStringLiteral("pic.png")) {
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::blue);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 20; ++x) image.setPixel(x, y, qRgb(255, 0, 0));
    const QString path = dir + QLatin1Char('/') + name;
    image.save(path, "PNG");
    return path;
}

QString writeFile(const QString& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir + QLatin1Char('/') + name;
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

COleItem* objectAt(const CQorsDoc& doc, int index) {
    CQorsDoc::ItemPos pos = doc.Items().GetFirstComItemPos();
    CComItem* item = nullptr;
    for (int i = 0; i <= index; ++i) item = doc.Items().GetNextComItem(pos);
    return dynamic_cast<COleItem*>(item);
}

class ItemObjects : public ::testing::Test {
protected:
    void SetUp() override {
        qor::UiServices s;
        s.messageBox = [this](const qor::MessageRequest& r) {
            messages << r.text;
            return r.defaultAnswer;
        };
        previous = qor::installUiServices(s);
        dir = qortest::freshDir(QStringLiteral("itemobjects"));
        ASSERT_TRUE(doc.Files().OnNewDocument());
        view = std::make_unique<CQorsView>(&doc);
        view->resize(800, 600);
        view->OnInitialUpdate();
        doc.SetSheetSize(std::max(doc.ViewState().sheetWidth, 1000), std::max(doc.ViewState().sheetHeight, 1000));
    }
    void TearDown() override {
        ViewItems::SetDragRunner({});
        view.reset();
        qor::installUiServices(previous);
    }
    ClipContext context(CQorsDoc& d, IClipboard* clip, CComItem* selection = nullptr) {
        ClipContext ctx;
        ctx.doc = &d;
        ctx.clipboard = clip;
        ctx.selection = selection;
        return ctx;
    }

    CQorsDoc doc;
    std::unique_ptr<CQorsView> view;
    QString dir;
    QStringList messages;
    qor::UiServices previous;
};

// A drag entering the view and dropping at a client point, as the window
// system delivers it; the action the view took.
int dropOn(CQorsView& target, const QMimeData* data, QPoint at) {
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

TEST(ObjectPayloads, HostileLengthsAreRefused) {
    QByteArray record, bytes;
    QString error;
    const QByteArray good = qor::items::WriteOlePayload("RECORD", "DATA");
    ASSERT_TRUE(qor::items::ReadOlePayload(good, &record, &bytes, &error));
    EXPECT_EQ(record, "RECORD");
    EXPECT_EQ(bytes, "DATA");

    QByteArray longer = good;
    longer[0] = char(0xFF);  // the record claims more than there is
    QByteArray huge = good;
    huge[10] = char(0xFF), huge[11] = char(0xFF), huge[12] = char(0xFF), huge[13] = char(0x7F);
    for (const QByteArray& bad :
         {QByteArray(), QByteArray("\x01\x00", 2), good.left(good.size() - 1), good + "x", longer,
          huge, qor::items::WriteOlePayload(QByteArray(), "DATA")}) {
        error.clear();
        EXPECT_FALSE(qor::items::ReadOlePayload(bad, &record, &bytes, &error))
            << bad.toHex().data();
        EXPECT_FALSE(error.isEmpty());
    }
    EXPECT_EQ(record, "RECORD");  // outputs untouched by a refusal

    // A chart's record is no object.
    CGraphItem chart;
    EXPECT_FALSE(COleItem::FromClipboardData(
        qor::items::WriteOlePayload(qor::items::WriteItemObject(chart), {}), &error));

    QString path, name;
    EXPECT_TRUE(qor::items::ReadLinkSource("/a/b.rep\nPage1!A1", &path, &name));
    EXPECT_EQ(path, QStringLiteral("/a/b.rep"));
    for (const QByteArray& bad : {QByteArray("/a/b.rep"), QByteArray("a\nb\nc"), QByteArray("\nx"),
                                  QByteArray("a\0b\nc", 5), QByteArray(9000, 'a') + "\nx"})
        EXPECT_FALSE(qor::items::ReadLinkSource(bad, &path, &name));

    QSize size;
    QPoint offset;
    EXPECT_FALSE(qor::items::ReadObjectDescriptor(QByteArray(30, '\0'), &size, &offset));
    QByteArray lying = qor::items::ObjectDescriptor(QSize(100, 200), QPoint(3, 4));
    EXPECT_TRUE(qor::items::ReadObjectDescriptor(lying, &size, &offset));
    EXPECT_EQ(size, QSize(100, 200));
    EXPECT_EQ(offset, QPoint(3, 4));
    lying[0] = char(200);
    EXPECT_FALSE(qor::items::ReadObjectDescriptor(lying, &size, &offset));
}

TEST(LinkNames, ParseAndMake) {
    int page = 0, l = 0, t = 0, r = 0, b = 0;
    ASSERT_TRUE(qor::view::ParseLinkName(QStringLiteral("Page3!B2:D5"), &page, &l, &t, &r, &b));
    EXPECT_EQ(page, 3);
    EXPECT_EQ(QList<int>({l, t, r, b}), QList<int>({1, 1, 3, 4}));
    ASSERT_TRUE(qor::view::ParseLinkName(QStringLiteral("Page12!A1"), &page, &l, &t, &r, &b));
    EXPECT_EQ(page, 12);
    EXPECT_EQ(QList<int>({l, t, r, b}), QList<int>({0, 0, 0, 0}));
    EXPECT_EQ(qor::view::MakeLinkName(1, 0, 0, 0, 0), QStringLiteral("Page1!A1"));
    EXPECT_EQ(qor::view::MakeLinkName(2, 1, 1, 3, 4), QStringLiteral("Page2!B2:D5"));
    for (const char* bad : {"B2:D5", "Page0!A1", "Pagex!A1", "Page-1!A1", "Page!A1", "Page3!",
                            "Page3!ZZZ9", "Page99999999999!A1", "Seite3!A1", "Page 3!A1"}) {
        page = -7;
        EXPECT_FALSE(qor::view::ParseLinkName(QString::fromLatin1(bad), &page, &l, &t, &r, &b))
            << bad;
        EXPECT_EQ(page, -7);
    }
}

TEST_F(ItemObjects, ServerItemsClampRangeAndRender) {
    // 50 rows x 7 columns.
    COleLinkItem bad(&doc, QStringLiteral("Page3"));
    EXPECT_FALSE(bad.NameAccepted());
    EXPECT_EQ(QList<int>({bad.Left(), bad.Top(), bad.Right(), bad.Bottom()}),
              QList<int>({0, 0, 4, 9}));
    EXPECT_EQ(bad.GetItemName(), QStringLiteral("Page1!A1:E10"));

    COleLinkItem link(&doc, QStringLiteral("Page2!F46:J56"));
    ASSERT_TRUE(link.NameAccepted());
    EXPECT_EQ(link.GetPage(), 2);
    int l = 0, t = 0, r = 0, b = 0;
    link.ClampedRange(&l, &t, &r, &b);
    EXPECT_EQ(QList<int>({l, t, r, b}), QList<int>({2, 39, 6, 49}));  // size kept
    link.SetRange(0, 0, 20, 3);  // wider than the table: cut at its edge
    link.ClampedRange(&l, &t, &r, &b);
    EXPECT_EQ(QList<int>({l, t, r, b}), QList<int>({0, 0, 6, 3}));

    COlesvrItem whole(&doc);
    const qor::items::Rect px = doc.CellRangeToSheetRect(CellArea::area(0, 0, 9, 4));
    EXPECT_EQ(whole.GetExtent(),
              qor::items::PixelsToHimetric(QSize(std::abs(px.width()), std::abs(px.height()))));
    const QImage image = whole.Render();
    ASSERT_FALSE(image.isNull());
    // Drawn as the window shows the block, at its scale: the picture of
    // A1:E10 is that block's size, with its grid in it.
    EXPECT_EQ(image, view->Items().DrawCellRange(0, 0, 4, 9));
    EXPECT_GT(image.width(), 100);
    EXPECT_GT(image.height(), 100);
    bool marked = false;
    for (int x = 0; x < image.width() && !marked; ++x)
        marked = image.pixel(x, image.height() / 2) != qRgb(255, 255, 255);
    EXPECT_TRUE(marked);
    // Nothing to draw: an empty or upside-down block.
    EXPECT_TRUE(qor::view::RenderCellRange(doc, 3, 0, 2, 0).isNull());
    // A server item hears of document changes until it goes.
    doc.UpdateServerItems();
    EXPECT_EQ(whole.UpdateCount(), 1);
}

TEST_F(ItemObjects, ObjectCopyCutAndPasteKeepTheBytes) {
    const QByteArray bytes("\x01\x02binary object\x00\xFF", 17);
    const QString file = writeFile(dir, QStringLiteral("data.bin"), bytes);
    std::shared_ptr<CComItem> made = doc.Items().InsertObjectFromFile(file, QPoint(40, 50), false, false);
    ASSERT_TRUE(made);
    auto* object = static_cast<COleItem*>(made.get());
    const QString cls = object->GetClient().classId;

    // A clipboard that refuses: the cut keeps the object.
    StubClipboard refusing(true);
    ClipContext ctx = context(doc, &refusing, object);
    EXPECT_FALSE(EditCut(ctx));
    EXPECT_EQ(doc.Items().GetComItemCount(), 1);

    StubClipboard clip(false);
    ctx = context(doc, &clip, object);
    const bool wasModified = doc.IsModified();
    ASSERT_TRUE(EditCopy(ctx));
    EXPECT_EQ(doc.IsModified(), wasModified);
    const QMimeData* data = clip.Data();
    ASSERT_TRUE(data);
    EXPECT_EQ(data->formats(), (QStringList{fmt(kOleFormatName), cls, QStringLiteral("image/png"),
                                            fmt(kObjectDescriptorMime)}));
    EXPECT_EQ(data->data(cls), bytes);
    EXPECT_TRUE(UpdateEditPaste(data));

    ASSERT_TRUE(EditCut(ctx));
    EXPECT_EQ(doc.Items().GetComItemCount(), 0);

    // Into another report: the same bytes under a storage of its own,
    // kept through a save and an open.
    CQorsDoc other;
    ASSERT_TRUE(other.Files().OnNewDocument());
    ClipContext into = context(other, &clip);
    into.newItemPoint = QPoint(100, 100);
    ASSERT_EQ(EditPaste(into), 0);
    COleItem* pasted = objectAt(other, 0);
    ASSERT_TRUE(pasted);
    EXPECT_EQ(pasted->GetObjectData(), bytes);
    EXPECT_EQ(pasted->GetClient().classId, cls);
    EXPECT_EQ(pasted->GetClient().embedding, 1u);
    EXPECT_EQ(into.selection, pasted);
    into.selection = nullptr;
    ASSERT_EQ(EditPaste(into), 0);  // again: a second storage, moved off the first
    COleItem* second = objectAt(other, 1);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->GetClient().embedding, 2u);
    EXPECT_EQ(second->GetRect().left, pasted->GetRect().left + 10);

    const QString saved = dir + QStringLiteral("/objects.rep");
    ASSERT_TRUE(other.Files().OnSaveDocument(saved));
    other.Files().OnCloseDocument();
    CQorsDoc reopened;
    ASSERT_TRUE(reopened.Files().OnOpenDocument(saved));
    ASSERT_EQ(reopened.Items().GetComItemCount(), 2);
    EXPECT_EQ(objectAt(reopened, 0)->GetObjectData(), bytes);
    EXPECT_EQ(objectAt(reopened, 1)->GetObjectData(), bytes);
    reopened.Files().OnCloseDocument();
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
}

TEST_F(ItemObjects, PastedPageRule) {
    CReportHandle* h = doc.GetReport();
    ASSERT_TRUE(doc.EnterDataState());
    ASSERT_EQ(h->GetPageCount(), 1);
    // One page here: page 1 exists, page 3 does not.
    EXPECT_EQ(doc.Items().PastedItemPage(1, true), 1u);
    EXPECT_EQ(doc.Items().PastedItemPage(3, true), uint32_t(doc.ViewState().curPage));
    EXPECT_EQ(doc.Items().PastedItemPage(0, true), uint32_t(doc.ViewState().curPage));
    ASSERT_TRUE(doc.EnterFormatState());
    EXPECT_EQ(doc.Items().PastedItemPage(1, true), 1u);
    EXPECT_EQ(doc.Items().PastedItemPage(3, true), 0u);
    EXPECT_EQ(doc.Items().PastedItemPage(3, false), 0u);
}

TEST_F(ItemObjects, DamagedAndForeignData) {
    StubClipboard clip(false);
    ClipContext ctx = context(doc, &clip);
    // A damaged object: told, nothing added.
    auto* damaged = new QMimeData;
    damaged->setData(fmt(kOleFormatName), QByteArray("\xFF\xFF\xFF\x7F"
                                                     "abc",
                                                     7));
    clip.SetData(damaged);
    EXPECT_EQ(EditPaste(ctx), 1);
    EXPECT_EQ(doc.Items().GetComItemCount(), 0);
    EXPECT_EQ(messages, QStringList{LoadErrorText(qor::str::kPasteFailed)});

    // "image/png" that is no picture: nothing added.
    auto* fake = new QMimeData;
    fake->setData(QStringLiteral("image/png"), QByteArray("\x89PNG not really"));
    clip.SetData(fake);
    messages.clear();
    EXPECT_EQ(EditPaste(ctx), 1);
    EXPECT_EQ(doc.Items().GetComItemCount(), 0);
    messages.clear();

    // A picture from another program becomes an embedded PNG.
    const QString png = writePng(dir);
    auto* picture = new QMimeData;
    picture->setData(QStringLiteral("image/png"), qortest::fileBytes(png));
    clip.SetData(picture);
    EXPECT_EQ(PasteKindOf(clip.Data(), false), PasteKind::Picture);
    ASSERT_EQ(EditPaste(ctx), 0);
    ASSERT_EQ(doc.Items().GetComItemCount(), 1);
    EXPECT_EQ(objectAt(doc, 0)->GetClient().classId, QStringLiteral("image/png"));
    EXPECT_EQ(objectAt(doc, 0)->GetObjectData(), qortest::fileBytes(png));

    // Files: a report file is refused and said so; the picture is taken.
    const QString report = writeFile(dir, QStringLiteral("x.REP"), "not really");
    auto* files = new QMimeData;
    files->setUrls({QUrl::fromLocalFile(report), QUrl::fromLocalFile(png)});
    clip.SetData(files);
    messages.clear();
    ASSERT_EQ(EditPaste(ctx), 0);
    EXPECT_EQ(doc.Items().GetComItemCount(), 2);
    EXPECT_EQ(messages, QStringList{LoadErrorText(qor::str::kReportAsObject)});
    // Pasted as a link, a file stays outside.
    ASSERT_EQ(EditPasteLink(ctx), 0);
    ASSERT_EQ(doc.Items().GetComItemCount(), 3);
    EXPECT_EQ(objectAt(doc, 2)->GetClient().itemType, qor::items::OleClientRecord::kLink);
    EXPECT_TRUE(objectAt(doc, 2)->GetObjectData().isEmpty());
}

TEST_F(ItemObjects, CopiedCellsOfferPictureReportAndLink) {
    const QString path = dir + QStringLiteral("/served.rep");
    ASSERT_TRUE(doc.Files().OnSaveDocument(path));
    doc.Selection().SetSelection(1, 0, 2, 1);  // A2:B3
    StubClipboard clip(false);
    ClipContext ctx = context(doc, &clip);
    ASSERT_TRUE(EditCopy(ctx));
    const QMimeData* data = clip.Data();
    ASSERT_TRUE(data);
    EXPECT_TRUE(data->hasFormat(QString::fromLatin1(CQorsDoc::kNativeFormatName)));
    EXPECT_FALSE(QImage::fromData(data->data(QStringLiteral("image/png"))).isNull());
    EXPECT_EQ(data->data(fmt(qor::items::kEmbedSourceFormat)), qortest::fileBytes(path));
    QString linkPath, linkName;
    ASSERT_TRUE(qor::items::ReadLinkSource(data->data(fmt(qor::items::kLinkSourceFormat)),
                                           &linkPath, &linkName));
    EXPECT_EQ(linkName, QStringLiteral("Page1!A2:B3"));

    // Paste special offers the report and the link; the link pastes a
    // linked report object showing the range's picture.
    const PasteSpecialMembers m = PresetPasteSpecial(data);
    QStringList formats;
    for (const PasteSpecialEntry& e : m.entries) formats << e.format;
    EXPECT_TRUE(formats.contains(fmt(qor::items::kEmbedSourceFormat)));
    EXPECT_TRUE(formats.contains(fmt(qor::items::kLinkSourceFormat)));
    ASSERT_EQ(EditPasteLink(ctx), 0);
    ASSERT_EQ(doc.Items().GetComItemCount(), 1);
    COleItem* linked = objectAt(doc, 0);
    EXPECT_EQ(linked->GetClient().itemType, qor::items::OleClientRecord::kLink);
    EXPECT_EQ(linked->GetClient().classId, fmt(qor::items::kReportObjectClass));
    EXPECT_EQ(linked->GetClient().presentation.isEmpty(), false);
    // Refreshing the link keeps the range's picture.
    const QByteArray picture = linked->GetClient().presentation;
    doc.Items().RefreshLinkedObject(linked);
    EXPECT_EQ(linked->GetClient().presentation, picture);

    PasteSpecialMembers embed = m;
    embed.selected = int(formats.indexOf(fmt(qor::items::kEmbedSourceFormat)));
    ASSERT_EQ(ApplyPasteSpecial(ctx, embed), 0);
    COleItem* embedded = objectAt(doc, 1);
    ASSERT_TRUE(embedded);
    EXPECT_EQ(embedded->GetObjectData(), qortest::fileBytes(path));
    // It opens as a report in the desktop's program.
    QString opened;
    qor::UiServices hooks = qor::uiServices();
    hooks.openInDesktop = [&opened](const QString& file) {
        opened = file;
        return true;
    };
    const qor::UiServices before = qor::installUiServices(hooks);
    EXPECT_TRUE(doc.Items().OpenObject(embedded));
    qor::installUiServices(before);
    EXPECT_TRUE(opened.endsWith(QLatin1String(".rep")));
    EXPECT_EQ(qortest::fileBytes(opened), qortest::fileBytes(path));

    // With unsaved changes the report is not offered to embed.
    doc.SetModifiedFlag();
    ctx.selection = nullptr;
    ASSERT_TRUE(EditCopy(ctx));
    EXPECT_FALSE(clip.Data()->hasFormat(fmt(qor::items::kEmbedSourceFormat)));
    doc.Files().OnCloseDocument();
}

TEST_F(ItemObjects, DragAndDropBetweenViews) {
    const QString png = writePng(dir);
    std::shared_ptr<CComItem> made = doc.Items().InsertObjectFromFile(png, QPoint(100, 100), false, false);
    ASSERT_TRUE(made);
    CComItem* item = made.get();
    made.reset();
    view->Items().SetSelection(item);
    const Rect start = item->GetRect();

    CQorsDoc otherDoc;
    ASSERT_TRUE(otherDoc.Files().OnNewDocument());
    otherDoc.SetSheetSize(std::max(otherDoc.ViewState().sheetWidth, 1000),
                          std::max(otherDoc.ViewState().sheetHeight, 1000));
    CQorsView otherView(&otherDoc);
    otherView.resize(800, 600);
    otherView.OnInitialUpdate();

    CQorsView* target = view.get();
    QPoint at;
    std::optional<QRect> frameSeen;
    ViewItems::SetDragRunner([&](QDrag& drag, CQorsView&) {
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, drag.mimeData(), Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        frameSeen = target->Items().DropFocusRect();
        return dropOn(*target, drag.mimeData(), at);
    });

    Rect client = start;
    view->Geometry().DocToClient(client);
    const QPoint grab(client.left + 5, client.top + 5);
    // Dropped where it was grabbed: nothing changes, the item stays.
    at = grab;
    ASSERT_TRUE(view->Items().StartItemDrag(item, grab));
    EXPECT_EQ(doc.Items().GetComItemCount(), 1);
    EXPECT_EQ(item->GetRect(), start);
    ASSERT_TRUE(frameSeen);
    EXPECT_EQ(frameSeen->size(), QSize(start.width(), start.height()));
    EXPECT_FALSE(view->Items().DropFocusRect());

    // Further on: the same item moved, its size kept.
    at = grab + QPoint(30, 20);
    ASSERT_TRUE(view->Items().StartItemDrag(item, grab));
    ASSERT_EQ(doc.Items().GetComItemCount(), 1);
    EXPECT_EQ(item->GetRect().left, start.left + 30);
    EXPECT_EQ(item->GetRect().top, start.top + 20);
    EXPECT_EQ(item->GetRect().width(), start.width());

    // Into another report: it goes there and leaves this one.
    const QByteArray bytes = static_cast<COleItem*>(item)->GetObjectData();
    target = &otherView;
    at = QPoint(200, 150);
    view->Items().SetSelection(item);
    ASSERT_TRUE(view->Items().StartItemDrag(item, grab));
    EXPECT_EQ(doc.Items().GetComItemCount(), 0);
    EXPECT_EQ(view->Items().Selected(), nullptr);
    ASSERT_EQ(otherDoc.Items().GetComItemCount(), 1);
    EXPECT_EQ(objectAt(otherDoc, 0)->GetObjectData(), bytes);

    // A file from the desktop is copied in, never taken as a move.
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(png)});
    EXPECT_EQ(dropOn(*view, &files, QPoint(300, 300)), int(Qt::CopyAction));
    EXPECT_EQ(doc.Items().GetComItemCount(), 1);
    // Outside the sheet (over the headers) nothing lands.
    EXPECT_EQ(dropOn(*view, &files, QPoint(2, 2)), int(Qt::IgnoreAction));
    EXPECT_EQ(doc.Items().GetComItemCount(), 1);
    // Data the sheet cannot take is refused at the door.
    QMimeData nothing;
    nothing.setData(QStringLiteral("application/x-unknown"), "x");
    EXPECT_EQ(dropOn(*view, &nothing, QPoint(300, 300)), int(Qt::IgnoreAction));
}

TEST_F(ItemObjects, DropAutoScrollIsPaced) {
    // 50 rows do not fit the window: the bottom band scrolls down.
    const int firstRow = view->FirstRow();
    const QPoint bottomBand(300, view->height() - 5);
    const qint64 t = QDateTime::currentMSecsSinceEpoch() + 1000;
    EXPECT_TRUE(view->Items().AutoScrollForDrop(bottomBand, t));
    EXPECT_EQ(view->FirstRow(), firstRow + 1);
    EXPECT_FALSE(view->Items().AutoScrollForDrop(bottomBand, t + 50));  // within 100 ms
    EXPECT_TRUE(
        view->Items().AutoScrollForDrop(QPoint(300, 2), t + 100));  // over the column header
    EXPECT_EQ(view->FirstRow(), firstRow);
    EXPECT_FALSE(view->Items().AutoScrollForDrop(QPoint(300, 200), t + 300));  // in the middle
}

TEST_F(ItemObjects, ObjectCommandsEnable) {
    using namespace qor::cmd_ids;
    qor::CommandState state;
    ASSERT_TRUE(view->OnUpdateCommand(kCmdCancelEditCntr, state));
    EXPECT_FALSE(state.enabled);
    ASSERT_TRUE(view->OnUpdateCommand(kCmdObjectVerbs, state));
    EXPECT_FALSE(state.enabled);
    std::shared_ptr<CComItem> made =
        doc.Items().InsertObjectFromFile(writePng(dir), QPoint(100, 100), false, false);
    ASSERT_TRUE(made);
    view->Items().SetSelection(made.get());
    ASSERT_TRUE(view->OnUpdateCommand(kCmdObjectVerbs, state));
    EXPECT_TRUE(state.enabled);
    ASSERT_TRUE(view->OnUpdateCommand(kCmdCopy, state));
    EXPECT_TRUE(state.enabled);
    ASSERT_TRUE(view->OnUpdateCommand(kCmdCut, state));
    EXPECT_TRUE(state.enabled);
}

TEST_F(ItemObjects, ItemsFollowANarrowerSheet) {
    view->RefreshGeometry();
    const int width = doc.ViewState().sheetWidth;
    auto item = std::make_shared<CGraphItem>();
    item->SetRect({width - 60, 20, width, 80});
    doc.Items().AddComItem(item);
    doc.Selection().SetSelection(0, 0, 0, 0);
    view->ApplyRowColumnSize(0, 5, false);  // column A much narrower
    ASSERT_LT(doc.ViewState().sheetWidth, width);
    EXPECT_EQ(item->GetRect().right, doc.ViewState().sheetWidth);
    EXPECT_EQ(item->GetRect().width(), 60);
}

TEST_F(ItemObjects, ReportObjectsShowTheirCellsAsTheyAreNow) {
    qor::view::InstallReportViewer();
    const QString path = dir + QStringLiteral("/source.rep");
    ASSERT_TRUE(doc.EnterDataState());
    ASSERT_TRUE(doc.Files().OnSaveDocument(path));
    const QImage before = qor::view::ReportObjectPicture(qortest::fileBytes(path));
    ASSERT_FALSE(before.isNull());
    EXPECT_EQ(before.size(), COlesvrItem(&doc).Render().size());

    CQorsDoc other;
    ASSERT_TRUE(other.Files().OnNewDocument());
    CQorsDoc::NewObject o;
    o.link = true;
    o.name = path;
    o.classId = fmt(qor::items::kReportObjectClass);
    ASSERT_TRUE(other.Items().InsertObject(o, QPoint(10, 10)));
    COleItem* linked = objectAt(other, 0);
    const QByteArray shown = linked->GetClient().presentation;
    EXPECT_EQ(QImage::fromData(shown), before.convertToFormat(QImage::fromData(shown).format()));

    // The file changes: the refreshed link shows the new cells.
    ASSERT_EQ(doc.GetReport()->SetCellValue(CellValue::ofNumber(88888), 1, 1, 0), 0);
    doc.SetModifiedFlag();
    ASSERT_TRUE(doc.Files().OnSaveDocument(path));
    EXPECT_TRUE(other.Items().RefreshLinkedObject(linked));
    EXPECT_NE(linked->GetClient().presentation, shown);

    // Bytes that are no report draw nothing; the object keeps its picture.
    messages.clear();
    EXPECT_TRUE(qor::view::ReportObjectPicture("not a report").isNull());
    const QByteArray kept = linked->GetClient().presentation;
    writeFile(dir, QStringLiteral("source.rep"), "not a report");
    other.Items().RefreshLinkedObject(linked);
    EXPECT_EQ(linked->GetClient().presentation, kept);
    qor::items::RegisterObjectViewer(fmt(qor::items::kReportObjectClass), nullptr);
    other.Files().OnCloseDocument();
    doc.SetModifiedFlag(false);
}

TEST_F(ItemObjects, TrackerCursorOverTheSelectedItem) {
    auto item = std::make_shared<CGraphItem>();
    item->SetRect({100, 100, 200, 160});
    doc.Items().AddComItem(item);
    Rect client = item->GetRect();
    view->Geometry().DocToClient(client);
    const QPoint middle((client.left + client.right) / 2, (client.top + client.bottom) / 2);
    EXPECT_FALSE(view->Items().SetItemCursor(middle));  // nothing selected
    view->Items().SetSelection(item.get());
    ASSERT_TRUE(view->Items().SetItemCursor(middle));
    EXPECT_EQ(view->cursor().shape(), Qt::SizeAllCursor);
    ASSERT_TRUE(view->Items().SetItemCursor({client.right - 1, client.bottom - 1}));
    EXPECT_EQ(view->cursor().shape(), Qt::SizeFDiagCursor);
    EXPECT_FALSE(view->Items().SetItemCursor({client.right + 40, client.bottom + 40}));
    EXPECT_FALSE(view->Items().SetItemCursor({2, middle.y()}));  // over the row header
}

TEST_F(ItemObjects, DoubleClickOpensObjectsOfThePageShown) {
    const QString png = writePng(dir);
    std::shared_ptr<CComItem> format = doc.Items().InsertObjectFromFile(png, QPoint(40, 40), false, false);
    ASSERT_TRUE(format);
    ASSERT_EQ(format->GetPage(), 0u);  // made in format state
    ASSERT_TRUE(doc.EnterDataState());
    std::shared_ptr<CComItem> own = doc.Items().InsertObjectFromFile(png, QPoint(300, 40), false, false);
    ASSERT_TRUE(own);
    ASSERT_NE(own->GetPage(), 0u);

    QStringList opened;
    qor::UiServices hooks = qor::uiServices();
    hooks.openInDesktop = [&opened](const QString& file) {
        opened << file;
        return true;
    };
    const qor::UiServices before = qor::installUiServices(hooks);
    auto clickOn = [this](const CComItem& item) {
        Rect r = item.GetRect();
        view->Geometry().DocToClient(r);
        view->OnLButtonDblClk({r.left + 3, r.top + 3});
    };
    clickOn(*format);  // belongs to the format: not while a page is shown
    EXPECT_TRUE(opened.isEmpty());
    clickOn(*own);
    EXPECT_EQ(opened.size(), 1);
    qor::installUiServices(before);
}

// A double click on an embedded report asks the window layer to edit it
// in place; with Ctrl, or on any other object, it opens in the desktop's
// program. While an object is edited in place the sheet says so, 33239
// and a press on the sheet end the editing.
TEST_F(ItemObjects, EmbeddedReportsAreEditedInPlaceOthersOpen) {
    const QString path = dir + QStringLiteral("/embedded.rep");
    ASSERT_TRUE(doc.Files().OnSaveDocument(path));
    CQorsDoc other;
    ASSERT_TRUE(other.Files().OnNewDocument());
    CQorsView container(&other);
    container.resize(800, 600);
    container.OnInitialUpdate();
    CQorsDoc::NewObject o;
    o.bytes = qortest::fileBytes(path);
    o.name = QStringLiteral("报表.rep");
    o.classId = fmt(qor::items::kReportObjectClass);
    ASSERT_TRUE(other.Items().InsertObject(o, QPoint(10, 10)));
    COleItem* report = objectAt(other, 0);
    ASSERT_NE(report, nullptr);

    QStringList opened;
    qor::UiServices s = qor::installUiServices({});
    s.openInDesktop = [&opened](const QString& file) {
        opened << file;
        return true;
    };
    qor::installUiServices(s);
    QList<CComItem*> activated;
    int deactivated = 0;
    CQorsView::InPlaceHooks hooks;
    hooks.activate = [&](CQorsView& v, CComItem* item) {
        EXPECT_EQ(&v, &container);
        activated << item;
        other.Items().SetInPlaceActiveItem(item);
        return true;
    };
    hooks.deactivate = [&](CQorsView&) {
        ++deactivated;
        other.Items().SetInPlaceActiveItem(nullptr);
        return true;
    };
    InPlaceController::SetHooks(hooks);
    Rect r = report->GetRect();
    container.Geometry().DocToClient(r);
    const QPoint middle((r.left + r.right) / 2, (r.top + r.bottom) / 2);

    container.OnLButtonDblClk(middle, true);  // Ctrl: its own window
    EXPECT_TRUE(activated.isEmpty());
    ASSERT_EQ(opened.size(), 1);
    EXPECT_TRUE(opened[0].endsWith(QLatin1String(".rep")));
    EXPECT_FALSE(container.InPlace().IsActive());

    container.OnLButtonDblClk(middle, false);
    ASSERT_EQ(activated, QList<CComItem*>{report});
    EXPECT_EQ(opened.size(), 1);
    EXPECT_TRUE(container.InPlace().IsActive());
    qor::CommandState state;
    ASSERT_TRUE(container.OnUpdateCommand(qor::cmd_ids::kCmdCancelEditCntr, state));
    EXPECT_TRUE(state.enabled);
    EXPECT_TRUE(container.OnCommand(qor::cmd_ids::kCmdCancelEditCntr));
    EXPECT_EQ(deactivated, 1);
    EXPECT_FALSE(container.InPlace().IsActive());
    state = {};
    container.OnUpdateCommand(qor::cmd_ids::kCmdCancelEditCntr, state);
    EXPECT_FALSE(state.enabled);

    // A press on the sheet beside the object ends the editing too.
    container.OnLButtonDblClk(middle, false);
    QTest::mouseClick(&container, Qt::LeftButton, Qt::NoModifier,
                      QPoint(container.Display().CurrentViewState().headerWidth + 2,
                             container.Display().CurrentViewState().headerHeight + 2));
    EXPECT_EQ(deactivated, 2);

    // A report that is itself edited in place opens its objects in
    // windows of their own.
    other.Items().SetRunningInPlace(true);
    EXPECT_TRUE(container.InPlace().IsActive());
    container.OnLButtonDblClk(middle, false);
    EXPECT_EQ(activated.size(), 2);
    EXPECT_EQ(opened.size(), 2);
    other.Items().SetRunningInPlace(false);
    InPlaceController::SetHooks({});
}
