// An embedded report edited where it is shown: opened from the object's
// bytes, stored back into the object, saved with the report that holds it
// and read again from that report's file.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImage>

#include "charts/coleitem.h"
#include "charts/objectdata.h"
#include "document/embeddededit.h"
#include "tests/document/doc_fixture.h"

using namespace doctest;

namespace {

QString cellText(const CQorsDoc& doc, int row, int col) {
    QString text;
    if (!doc.GetCharCellText(row, col, &text)) doc.GetStyleCellText(row, col, &text);
    return text;
}

void typeInto(CQorsDoc& doc, int row, int col, const QString& text) {
    doc.Selection().SetCurrent(row, col);
    ASSERT_EQ(doc.SetCellText(text, doc.IsDataState() ? CQorsDoc::kEntryDataText
                                                      : CQorsDoc::kEntryFormatText),
              0);
}

// The bytes of a saved report whose A1 holds `a1`.
QByteArray reportBytes(const QString& dir, const QString& a1) {
    auto inner = newDoc();
    typeInto(*inner, 0, 0, a1);
    const QString path = dir + QStringLiteral("/inner.rep");
    EXPECT_TRUE(inner->Files().OnSaveDocument(path));
    return inner->Items().SaveEmbeddingCopy();
}

// A small picture (no fonts needed: this binary has no GUI application).
QByteArray pngBytes() {
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(Qt::white);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

COleItem* embedReport(CQorsDoc& container, const QByteArray& bytes) {
    CQorsDoc::NewObject o;
    o.bytes = bytes;
    o.picture = pngBytes();
    o.name = QStringLiteral("报表.rep");
    o.classId = QString::fromLatin1(qor::items::kReportObjectClass);
    QString error;
    auto item = container.Items().InsertObject(o, QPoint(40, 30), &error);
    EXPECT_NE(item, nullptr) << error.toStdString();
    return dynamic_cast<COleItem*>(item.get());
}

COleItem* firstObject(CQorsDoc& doc) {
    for (CQorsDoc::ItemPos pos = doc.Items().GetFirstComItemPos(); pos;)
        if (auto* o = dynamic_cast<COleItem*>(doc.Items().GetNextComItem(pos))) return o;
    return nullptr;
}

}  // namespace

TEST(EmbeddedReportEdit, AnEditSurvivesStoringSavingAndReopening) {
    UiRecorder ui;
    const QString dir = testDir();
    const QString outer = dir + QStringLiteral("/outer.rep");
    {
        auto container = newDoc();
        ASSERT_NE(embedReport(*container, reportBytes(dir, QStringLiteral("原来"))), nullptr);
        ASSERT_TRUE(container->Files().OnSaveDocument(outer));
    }
    CQorsDoc container;
    ASSERT_TRUE(container.Files().OnOpenDocument(outer));
    COleItem* object = firstObject(container);
    ASSERT_NE(object, nullptr);
    ASSERT_TRUE(qor::EmbeddedReportEdit::IsEditable(object));

    QString workingCopy;
    {
        QString error;
        auto edit = qor::EmbeddedReportEdit::Open(container, object, &error);
        ASSERT_NE(edit, nullptr) << error.toStdString();
        workingCopy = edit->WorkingCopy();
        EXPECT_TRUE(QFile::exists(workingCopy));
        EXPECT_EQ(container.Items().GetInPlaceActiveItem(), object);
        EXPECT_EQ(object->GetClientState(), qor::items::OleClientRecord::kActiveUI);
        std::unique_ptr<CQorsDoc> edited = edit->TakeDocument();
        ASSERT_NE(edited, nullptr);
        EXPECT_TRUE(edited->Items().IsRunningInPlace());
        EXPECT_EQ(cellText(*edited, 0, 0), u"原来");

        // Nothing changed: nothing goes back, the container stays clean.
        bool stored = true;
        EXPECT_TRUE(edit->StoreBack(*edited, &error, &stored));
        EXPECT_FALSE(stored);
        EXPECT_FALSE(container.IsModified());

        typeInto(*edited, 0, 0, QStringLiteral("改过"));
        typeInto(*edited, 2, 1, QStringLiteral("新的"));
        EXPECT_TRUE(edit->StoreBack(*edited, &error, &stored)) << error.toStdString();
        EXPECT_TRUE(stored);
        EXPECT_TRUE(container.IsModified());
    }
    // The editing is over: the object is inactive and the copy is gone.
    EXPECT_EQ(container.Items().GetInPlaceActiveItem(), nullptr);
    EXPECT_EQ(object->GetClientState(), qor::items::OleClientRecord::kLoaded);
    EXPECT_FALSE(QFile::exists(workingCopy));
    ASSERT_TRUE(container.Files().OnSaveDocument(outer));
    container.Files().OnCloseDocument();

    CQorsDoc reopened;
    ASSERT_TRUE(reopened.Files().OnOpenDocument(outer));
    COleItem* again = firstObject(reopened);
    ASSERT_NE(again, nullptr);
    auto edit = qor::EmbeddedReportEdit::Open(reopened, again);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(cellText(*edit->Document(), 0, 0), u"改过");
    EXPECT_EQ(cellText(*edit->Document(), 2, 1), u"新的");
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(u'\n').toStdString();
}

TEST(EmbeddedReportEdit, RefusesWhatIsNoEmbeddedReportAndAnObjectThatWentMeanwhile) {
    UiRecorder ui;
    const QString dir = testDir();
    auto container = newDoc();
    // A picture is no report; a link has no bytes of its own here.
    CQorsDoc::NewObject picture;
    picture.bytes = pngBytes();
    picture.name = QStringLiteral("图片.png");
    auto pic = container->Items().InsertObject(picture, QPoint(0, 0));
    ASSERT_NE(pic, nullptr);
    QString error;
    EXPECT_EQ(qor::EmbeddedReportEdit::Open(*container, pic.get(), &error), nullptr);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(qor::EmbeddedReportEdit::IsEditable(nullptr));

    // Bytes that do not open as a report.
    COleItem* broken = embedReport(*container, QByteArray("no report at all"));
    ASSERT_NE(broken, nullptr);
    error.clear();
    EXPECT_EQ(qor::EmbeddedReportEdit::Open(*container, broken, &error), nullptr);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(container->Items().GetInPlaceActiveItem(), nullptr);

    // The object removed while its report is edited: nothing is stored
    // and the user is told why; the container is left alone.
    COleItem* object = embedReport(*container, reportBytes(dir, QStringLiteral("甲")));
    container->SetModifiedFlag(false);
    auto edit = qor::EmbeddedReportEdit::Open(*container, object);
    ASSERT_NE(edit, nullptr);
    std::unique_ptr<CQorsDoc> edited = edit->TakeDocument();
    typeInto(*edited, 0, 0, QStringLiteral("乙"));
    container->Items().RemoveComItemAndRefresh(object);
    EXPECT_EQ(container->Items().GetInPlaceActiveItem(), nullptr);
    container->SetModifiedFlag(false);
    bool stored = true;
    EXPECT_FALSE(edit->StoreBack(*edited, &error, &stored));
    EXPECT_FALSE(stored);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(container->IsModified());
}
