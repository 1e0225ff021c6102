// An embedded report edited in place inside qorview's main window: a
// double click opens it over the object with the shared menu bar and the
// frame's bars; Esc, a click beside it or closing the window hands the
// edited report back; the edit survives saving and reopening.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QMouseEvent>
#include <QTest>

#include "charts/coleitem.h"
#include "charts/objectdata.h"
#include "document/embeddededit.h"
#include "engine/messages.h"
#include "frames/coleinplaceframe.h"
#include "frames/inplacesession.h"
#include "frames/menutable.h"
#include "frames/toolbars.h"
#include "resources/commandids.h"
#include "tests/common/testsupport.h"
#include "tests/frames/frame_fixture.h"
#include "tests/frames/inplace_support.h"
#include "view/formulabar.h"

using namespace qor::cmd_ids;
using namespace qor::frames;

namespace {

QString cellText(const CQorsDoc& doc, int row, int col) {
    QString text;
    if (!doc.GetCharCellText(row, col, &text)) doc.GetStyleCellText(row, col, &text);
    return text;
}

void settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

class InPlaceSessionTest : public frametest::FrameFixture {
protected:
    // A saved report holding one embedded report whose A1 says "before".
    QString makeContainer() {
        return frametest::MakeContainerReport(qortest::freshDir(QStringLiteral("InPlaceSession")),
                                              QStringLiteral("before"));
    }

    // A saved container opened, its object edited in place by a double
    // click; the frame (null when none opened).
    COleInPlaceFrame* openContainerInPlace() {
        CChildFrame* child = frame->OpenDocumentFile(makeContainer());
        if (!child) return nullptr;
        QApplication::processEvents();
        frametest::DoubleClickItem(child->GetActiveView(), frametest::FirstObject(*child->GetDocument()));
        return CInPlaceSession::Current() ? CInPlaceSession::Current()->Frame() : nullptr;
    }

    void typeIntoA1(COleInPlaceFrame* inPlace, const QString& text) {
        inPlace->GetActiveView()->Scroll().GoToCell(0, 0);
        CFormulaBar* bar = inPlace->EditBar()->FormulaBar();
        bar->setFocus();
        bar->selectAll();  // what is typed replaces the cell's text
        QTest::keyClicks(bar, text);
        QTest::keyClick(bar, Qt::Key_Return);
    }
};

TEST_F(InPlaceSessionTest, EditedInPlaceTheEditSurvivesSaveAndReopen) {
    const QString outer = makeContainer();
    CChildFrame* child = frame->OpenDocumentFile(outer);
    ASSERT_NE(child, nullptr);
    QApplication::processEvents();
    CQorsView* view = child->GetActiveView();
    CQorsDoc* doc = child->GetDocument();
    COleItem* object = frametest::FirstObject(*doc);
    ASSERT_NE(object, nullptr);
    const QList<QAction*> ownMenus = frame->menuBar()->actions();
    ASSERT_FALSE(frame->ToolBar(kCmdBarStandard)->isHidden());

    frametest::DoubleClickItem(view, object);
    CInPlaceSession* session = CInPlaceSession::Current();
    ASSERT_NE(session, nullptr) << messages.join(u'\n').toStdString();
    COleInPlaceFrame* inPlace = session->Frame();
    ASSERT_NE(inPlace, nullptr);
    // Over the object, inside the containing report's window: no second
    // window.
    EXPECT_EQ(inPlace->parentWidget(), view);
    qor::view::Rect place = object->GetRect();
    view->Geometry().DocToClient(place);
    EXPECT_EQ(inPlace->geometry(), QRect(place.left, place.top, place.width(), place.height()));
    EXPECT_TRUE(inPlace->TrackBar()->isVisible());
    EXPECT_EQ(frame->Children().size(), 1);
    EXPECT_EQ(doc->Items().GetInPlaceActiveItem(), object);
    EXPECT_TRUE(view->InPlace().IsActive());
    EXPECT_TRUE(inPlace->GetActiveView()->InPlace().IsActive());
    EXPECT_EQ(inPlace->GetDocument()->GetPathName().isEmpty(), false);

    // The shared menu bar: the container's 文件, the frame's menus, the
    // container's 窗口, the frame's 帮助.
    const QList<QAction*> shared = frame->menuBar()->actions();
    const QList<QMenu*> own = frame->TopMenus(kMenuReport);
    ASSERT_EQ(shared.size(), inPlace->SharedMenus().size() + 3);
    EXPECT_EQ(shared.first(), own.first()->menuAction());
    EXPECT_EQ(shared[shared.size() - 2], own[own.size() - 2]->menuAction());  // 窗口
    EXPECT_EQ(shared.last(), inPlace->HelpMenu()->menuAction());
    EXPECT_EQ(shared[1], inPlace->SharedMenus().first()->menuAction());
    EXPECT_EQ(shared[1]->text(), u"编辑(&E)");
    // The frame's bars stand where the window's own were.
    EXPECT_TRUE(frame->ToolBar(kCmdBarStandard)->isHidden());
    EXPECT_TRUE(frame->ToolBar(kCmdBarEdit)->isHidden());
    EXPECT_EQ(inPlace->ToolBar(kCmdBarEdit)->parentWidget(), frame.get());
    EXPECT_TRUE(inPlace->ToolBar(kCmdBarEdit)->isVisible());
    // The containing report's own commands wait; its file commands stay.
    EXPECT_FALSE(frame->Router().Query(kCmdCopy).enabled);  // copy
    EXPECT_TRUE(frame->Router().Query(kCmdFileSave).enabled);  // save
    if (QDir().mkpath(qortest::artifactPath()))
        frame->grab().save(qortest::artifactPath(QStringLiteral("inplace-session.png")));

    typeIntoA1(inPlace, QStringLiteral("after"));
    EXPECT_EQ(cellText(*inPlace->GetDocument(), 0, 0), u"after");
    EXPECT_FALSE(doc->IsModified());

    // Esc on the edited sheet ends the editing and hands the report back.
    QTest::keyClick(inPlace->GetActiveView(), Qt::Key_Escape);
    settle();
    EXPECT_EQ(CInPlaceSession::Current(), nullptr);
    EXPECT_EQ(COleInPlaceFrame::Current(), nullptr);
    EXPECT_TRUE(view->findChildren<COleInPlaceFrame*>().isEmpty());
    EXPECT_EQ(doc->Items().GetInPlaceActiveItem(), nullptr);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(frame->menuBar()->actions(), ownMenus);
    EXPECT_FALSE(frame->ToolBar(kCmdBarStandard)->isHidden());
    EXPECT_TRUE(frame->Router().Query(kCmdCopy).enabled);
    frame->grab().save(qortest::artifactPath(QStringLiteral("inplace-after.png")));

    ASSERT_TRUE(frame->SaveDocument(child, false));
    child->close();
    settle();
    CQorsDoc reopened;
    ASSERT_TRUE(reopened.Files().OnOpenDocument(outer));
    COleItem* again = frametest::FirstObject(reopened);
    ASSERT_NE(again, nullptr);
    auto edit = qor::EmbeddedReportEdit::Open(reopened, again);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(cellText(*edit->Document(), 0, 0), u"after");
}

TEST_F(InPlaceSessionTest, SavingWhileEditingStoresAndClickingBesideOrClosingEnds) {
    const QString outer = makeContainer();
    CChildFrame* child = frame->OpenDocumentFile(outer);
    ASSERT_NE(child, nullptr);
    CQorsView* view = child->GetActiveView();
    CQorsDoc* doc = child->GetDocument();
    COleItem* object = frametest::FirstObject(*doc);
    ASSERT_NE(object, nullptr);

    // Saving the containing report while the object is edited saves the
    // object as it is now; the editing stays on.
    frametest::DoubleClickItem(view, object);
    ASSERT_NE(CInPlaceSession::Current(), nullptr);
    typeIntoA1(CInPlaceSession::Current()->Frame(), QStringLiteral("saved"));
    ASSERT_TRUE(frame->SaveDocument(child, false));
    EXPECT_NE(CInPlaceSession::Current(), nullptr);
    {
        // The report is open in the window: a copy of its file is read.
        const QString copied = outer + QStringLiteral(".copy.rep");
        ASSERT_TRUE(QFile::copy(outer, copied));
        CQorsDoc copy;
        ASSERT_TRUE(copy.Files().OnOpenDocument(copied));
        auto edit = qor::EmbeddedReportEdit::Open(copy, frametest::FirstObject(copy));
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(cellText(*edit->Document(), 0, 0), u"saved");
    }

    // The resize bar's request sizes the object on the sheet.
    CInPlaceSession* session = CInPlaceSession::Current();
    const QRect bigger = session->Frame()->geometry().adjusted(0, 0, 40, 24);
    ASSERT_TRUE(session->RequestPositionChange(bigger));
    qor::view::Rect wanted{bigger.left(), bigger.top(), bigger.right() + 1, bigger.bottom() + 1};
    view->Geometry().ClientToDoc(wanted);
    EXPECT_EQ(object->GetRect(), wanted);
    EXPECT_TRUE(doc->IsModified());

    // A click on the containing report beside the object ends the editing.
    typeIntoA1(CInPlaceSession::Current()->Frame(), QStringLiteral("clicked"));
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier,
                      QPoint(view->Display().CurrentViewState().headerWidth + 5,
                             view->Display().CurrentViewState().headerHeight + 5));
    settle();
    EXPECT_EQ(CInPlaceSession::Current(), nullptr);
    EXPECT_TRUE(doc->IsModified());

    // Closing the window while editing hands the report back first; the
    // user is then asked about saving it (no: the file keeps "saved").
    frametest::DoubleClickItem(view, object);
    ASSERT_NE(CInPlaceSession::Current(), nullptr);
    answers << qor::MsgAnswer::No;
    child->close();
    settle();
    EXPECT_EQ(CInPlaceSession::Current(), nullptr);
    EXPECT_TRUE(frame->Children().isEmpty());
    EXPECT_TRUE(said(QStringLiteral("已修改")));
}

TEST_F(InPlaceSessionTest, TheMainWindowGoingWhileEditingEndsItCleanly) {
    const QString outer = makeContainer();
    CChildFrame* child = frame->OpenDocumentFile(outer);
    ASSERT_NE(child, nullptr);
    CQorsDoc* doc = child->GetDocument();
    COleItem* object = frametest::FirstObject(*doc);
    frametest::DoubleClickItem(child->GetActiveView(), object);
    ASSERT_NE(CInPlaceSession::Current(), nullptr);
    typeIntoA1(CInPlaceSession::Current()->Frame(), QStringLiteral("gone"));
    // The report took the edit back before the windows went.
    bool stored = false;
    QObject::connect(doc, &CQorsDoc::changed, [&stored, doc](int hint) {
        if (hint == CQorsDoc::kHintItems && doc->IsModified()) stored = true;
    });
    frame.reset();
    settle();
    EXPECT_TRUE(stored);
    EXPECT_EQ(CInPlaceSession::Current(), nullptr);
    EXPECT_EQ(COleInPlaceFrame::Current(), nullptr);
}

TEST_F(InPlaceSessionTest, AReportTheExchangePutsInDataStateHidesTheFormatBar) {
    // The consolidation exchange makes a new report and turns it to data
    // state itself, not through the window's state command.
    CChildFrame* child = newReport();
    ASSERT_NE(child, nullptr);
    ASSERT_FALSE(frame->ToolBar(kCmdBarFormat)->isHidden());
    ASSERT_TRUE(child->GetDocument()->EnterDataState());
    QApplication::processEvents();
    EXPECT_TRUE(frame->ToolBar(kCmdBarFormat)->isHidden());
    EXPECT_EQ(child->m_nMode, 1);
    ASSERT_TRUE(child->GetDocument()->EnterFormatState());
    QApplication::processEvents();
    EXPECT_FALSE(frame->ToolBar(kCmdBarFormat)->isHidden());
    EXPECT_EQ(child->m_nMode, 0);
}

}  // namespace

TEST_F(InPlaceSessionTest, AfterDraggingTheBorderEscEndsAndTheObjectKeepsItsSizeAndScale) {
    const QString outer = makeContainer();
    CChildFrame* child = frame->OpenDocumentFile(outer);
    ASSERT_NE(child, nullptr);
    // The report window narrower than the object reaches: the object
    // runs past the window's right edge.
    child->showNormal();
    child->resize(420, 640);
    QApplication::processEvents();
    CQorsView* view = child->GetActiveView();
    COleItem* object = frametest::FirstObject(*child->GetDocument());
    ASSERT_NE(object, nullptr);
    frametest::DoubleClickItem(view, object);
    CInPlaceSession* session = CInPlaceSession::Current();
    ASSERT_NE(session, nullptr);
    COleInPlaceFrame* inPlace = session->Frame();
    typeIntoA1(inPlace, QStringLiteral("Cash at bank 80000.50"));

    // Drag the hatched border down, with the mouse as the user does.
    COleTrackBar* bar = inPlace->TrackBar();
    const QRect start = inPlace->geometry();
    ASSERT_GT(start.right(), view->width());
    const int h = bar->HandleSize();
    const QPoint from(std::min(start.center().x(), view->width() / 2 + start.left() / 2),
                      start.bottom() + h / 2 + 1);
    const QPoint to = from + QPoint(0, 50);
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, bar->mapFrom(view, from));
    {
        const QPoint local = bar->mapFrom(view, to);
        QMouseEvent move(QEvent::MouseMove, QPointF(local), QPointF(bar->mapToGlobal(local)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(bar, &move);
    }
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, bar->mapFrom(view, to));
    QApplication::processEvents();
    const QRect dragged = inPlace->geometry();
    // The border moves the frame; its size stays.
    EXPECT_EQ(dragged.size(), start.size());
    EXPECT_GT(dragged.top(), start.top());
    const qor::view::Rect sized = object->GetRect();

    // Esc where the keyboard now is ends the editing at once.
    QWidget* keys = QApplication::focusWidget();
    ASSERT_NE(keys, nullptr);
    QTest::keyClick(keys, Qt::Key_Escape);
    settle();
    EXPECT_EQ(CInPlaceSession::Current(), nullptr) << keys->metaObject()->className();

    // The object keeps the size the drag gave it.
    EXPECT_EQ(object->GetRect(), sized);
    EXPECT_EQ(object->GetRect().width(), sized.width());

    // Its picture shows the cells at the sheet's own scale, clipped to the
    // object: inside the object the sheet shows the picture's pixels as
    // they are, not scaled to the object's size.
    QImage picture = QImage::fromData(object->GetClient().presentation);
    ASSERT_FALSE(picture.isNull());
    picture = picture.convertToFormat(QImage::Format_RGB32);
    qor::view::Rect place = object->GetRect();
    view->Geometry().DocToClient(place);
    ASSERT_GT(picture.width(), place.width());  // A1:E10 is wider than the object
    view->update();
    QApplication::processEvents();
    const QImage shown = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    shown.save(qortest::artifactPath(QStringLiteral("inplace-after-drag.png")));
    int same = 0, total = 0;
    // The object's frame and handles lie on its edge: the inside is compared.
    for (int y = 6; y < std::min(place.height(), picture.height()) - 6; y += 2)
        for (int x = 6; x < std::min({place.width(), picture.width(), shown.width() - place.left}) - 6;
             x += 2) {
            ++total;
            same += shown.pixel(place.left + x, place.top + y) == picture.pixel(x, y);
        }
    ASSERT_GT(total, 1000);
    EXPECT_GT(same, total * 98 / 100);
}

// While an object is edited in place, the main window's commands that wait
// for the editing to end are greyed with that reason; none claims to be
// missing.
TEST_F(InPlaceSessionTest, CommandsThatWaitForTheEditingSayWhy) {
    COleInPlaceFrame* inPlace = openContainerInPlace();
    ASSERT_NE(inPlace, nullptr);
    const QString why = LoadErrorText(qor::str::kNotWhileEditingInPlace);
    for (int id : {kCmdExportText, kCmdExportXml, kCmdExportHtml, kCmdCommandWindow, kCmdChartWindow,
                   kCmdStandardMenu, kCmdExecute, kCmdBarStandard}) {
        const qor::CommandState s = inPlace->Router().Query(id);
        EXPECT_FALSE(s.enabled) << id;
        EXPECT_EQ(s.reason, why) << id;
    }
}

// Every command the user can point at while a report is edited in place,
// on the shared menu bar, the frame's bars and its mouse menus, in format
// state, data state and while a chart of it is edited: a greyed one says
// why on the status line and in its tip, and none claims to be missing.
TEST_F(InPlaceSessionTest, EveryGreyedCommandInPlaceSaysWhy) {
    COleInPlaceFrame* inPlace = openContainerInPlace();
    ASSERT_NE(inPlace, nullptr);

    const auto walk = [&](const char* state) {
        frame->UpdateFrameState();
        inPlace->UpdateFrameState();
        const QList<QAction*> shown = frametest::shownCommands(
            frame.get(), {inPlace->ContextMenu(115), inPlace->ContextMenu(102), inPlace->ContextMenu(114)});
        ASSERT_GT(shown.size(), 100) << state;
        // The frame's own bar is among them, with the main window's
        // buttons it carries.
        for (int id : {kCmdCommandWindow, kCmdChartWindow, kCmdStandardMenu, kCmdSplitWindow})
            EXPECT_TRUE(std::any_of(shown.begin(), shown.end(),
                                    [id](QAction* a) { return CommandRouter::CommandId(a) == id; }))
                << state << " " << id;
        const QStringList faults = frametest::greyedWithoutReason(shown);
        EXPECT_TRUE(faults.isEmpty()) << state << ":\n" << faults.join(u'\n').toStdString();
    };
    walk("format state");
    ASSERT_TRUE(inPlace->Router().Execute(kCmdSwitchState));
    walk("data state");
    const auto chart = inPlace->GetDocument()->Items().CreateComItem(0);
    ASSERT_NE(chart, nullptr);
    ASSERT_TRUE(inPlace->GetActiveView()->Items().BeginChartEdit(chart.get()));
    walk("chart edited");
    inPlace->GetActiveView()->Items().EndChartEdit();
    CInPlaceSession::Current()->Deactivate();
}
