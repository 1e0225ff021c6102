#pragma once
// A report holding an embedded report, and the double click that edits it
// in place, for the tests of in-place editing in the main window.

#include <QApplication>
#include <QMouseEvent>

#include "charts/coleitem.h"
#include "charts/objectdata.h"
#include "document/cqorsdoc.h"
#include "view/cqorsview.h"

namespace frametest {

// Saves dir/outer.rep holding one embedded report (saved first as
// dir/inner.rep, its A1 holding innerA1 when given), with room for the
// sheet, its headers and bars; its path.
inline QString MakeContainerReport(const QString& dir, const QString& innerA1 = QString()) {
    const QString inner = dir + QStringLiteral("/inner.rep");
    const QString outer = dir + QStringLiteral("/outer.rep");
    QByteArray bytes;
    {
        CQorsDoc doc;
        EXPECT_TRUE(doc.Files().OnNewDocument());
        if (!innerA1.isEmpty()) {
            EXPECT_EQ(doc.SetCellText(innerA1, CQorsDoc::kEntryFormatText), 0);
        }
        EXPECT_TRUE(doc.Files().OnSaveDocument(inner));
        bytes = doc.Items().SaveEmbeddingCopy();
    }
    CQorsDoc doc;
    EXPECT_TRUE(doc.Files().OnNewDocument());
    CQorsDoc::NewObject o;
    o.bytes = bytes;
    o.name = QStringLiteral("报表.rep");
    o.classId = QString::fromLatin1(qor::items::kReportObjectClass);
    auto item = doc.Items().InsertObject(o, QPoint(60, 40));
    EXPECT_NE(item, nullptr);
    if (item) item->SetRect({60, 40, 460, 300});
    EXPECT_TRUE(doc.Files().OnSaveDocument(outer));
    return outer;
}

// The report's first object.
inline COleItem* FirstObject(CQorsDoc& doc) {
    for (CQorsDoc::ItemPos pos = doc.Items().GetFirstComItemPos(); pos;)
        if (auto* o = dynamic_cast<COleItem*>(doc.Items().GetNextComItem(pos))) return o;
    return nullptr;
}

// A real double click in the middle of an item.
inline void DoubleClickItem(CQorsView* view, CComItem* item) {
    qor::view::Rect r = item->GetRect();
    view->Geometry().DocToClient(r);
    const QPointF at((r.left + r.right) / 2.0, (r.top + r.bottom) / 2.0);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, at, view->mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &dbl);
    QApplication::processEvents();
}

}  // namespace frametest
