// The "Contents" stream: every field of every item class comes back, items
// of unknown classes and schemas are carried over, and damaged streams are
// refused without touching the list.
#include <gtest/gtest.h>

#include <QFile>

#include "charts/cgraphitem.h"
#include "charts/coleitem.h"
#include "charts/contentsstream.h"
#include "engine/reportlayout.h"
#include "tests/common/testsupport.h"

using namespace qor::items;

namespace {

void fillCommon(CComItem& item, int seed) {
    item.SetPage(uint32_t(seed));
    item.SetPosition(QPoint(-3 * seed, 7 * seed));
    item.SetStoredSizes(QSize(seed, seed + 1), QSize(seed + 2, -seed), QSize(seed * 100, 1),
                        QSize(2, seed * 1000));
    item.SetFlags(uint16_t(0x8000 | (seed << 4)));  // bits beyond the two options
    item.SetBorder(seed % 2);
    item.SetTransparent(true);
    CComItem::NameField name{};
    for (size_t i = 0; i < 63; ++i) name[i] = uint8_t(seed + i);
    item.SetNameField(name);
}

ItemList sampleList() {
    auto base = std::make_shared<CComItem>();
    fillCommon(*base, 1);

    auto chart = std::make_shared<CGraphItem>();
    fillCommon(*chart, 2);
    ChartDesc d = ChartDesc::MakeDefault(400, 300, 12);
    d.SetSourceArea(CellArea::area(3, 2, 8, 6));
    d.SetSourceAreaField(0, -7);
    d.SetSourcePage(5);
    d.SetGroupByRows(true);
    d.SetChartType(9);
    d.SetWholeReport(true);
    d.SetLabelKind(4);
    d.SetFont(ChartDesc::kTitleFont, ChartFont{QStringLiteral("宋体"), 14, 0x01000001});
    QByteArray raw = d.Bytes();
    raw[118] = char(0x5A);  // an unused word and the unused block keep their bytes
    raw[230] = char(0xC3);
    d.SetBytes(raw);
    chart->SetChartDesc(d);

    auto ole = std::make_shared<COleItem>();
    fillCommon(*ole, 3);
    OleClientRecord c;
    c.itemType = OleClientRecord::kLink;
    c.drawAspect = OleClientRecord::kAspectIcon;
    c.embedding = 2;
    c.cachedExtent = QSize(2540, 1270);
    c.classId = QStringLiteral("Paint.Picture");
    c.linkSource = QStringLiteral("/data/图.png");
    c.presentation = QByteArray("\x89PNG\r\n\x1a\n fake", 13);
    c.extra = QByteArray("newer", 5);
    ole->SetClient(c);
    return {base, chart, ole};
}

// Everything an item stores, as text.
QString describe(const CComItem& item) {
    QString s = QLatin1String(item.GetRuntimeClass()->name);
    s += QStringLiteral(" p%1 (%2,%3) is%4x%5 cs%6x%7 ie%8x%9 ce%10x%11 f%12 b%13 t%14 n")
             .arg(item.GetPage())
             .arg(item.GetPosition().x())
             .arg(item.GetPosition().y())
             .arg(item.IconSize().width())
             .arg(item.IconSize().height())
             .arg(item.ContentSize().width())
             .arg(item.ContentSize().height())
             .arg(item.IconExtent().width())
             .arg(item.IconExtent().height())
             .arg(item.ContentExtent().width())
             .arg(item.ContentExtent().height())
             .arg(item.GetFlags(), 4, 16)
             .arg(item.HasBorder())
             .arg(item.IsTransparent());
    for (uint8_t b : item.GetNameField()) s += QString::number(b, 16);
    if (auto* g = dynamic_cast<const CGraphItem*>(&item))
        s += QStringLiteral(" desc ") + QString::fromLatin1(g->GetChartDesc().Bytes().toHex());
    if (auto* o = dynamic_cast<const COleItem*>(&item)) {
        const OleClientRecord& c = o->GetClient();
        s += QStringLiteral(" ole %1 %2 %3 %4x%5 %6 %7 %8 %9")
                 .arg(c.itemType)
                 .arg(c.drawAspect)
                 .arg(c.embedding)
                 .arg(c.cachedExtent.width())
                 .arg(c.cachedExtent.height())
                 .arg(c.classId, c.linkSource, QString::fromLatin1(c.presentation.toHex()),
                      QString::fromLatin1(c.extra.toHex()));
    }
    return s;
}

void expectSameItems(const ItemList& a, const ItemList& b) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) EXPECT_EQ(describe(*a[i]), describe(*b[i])) << i;
}

}  // namespace

TEST(Contents, EveryFieldOfEveryClassComesBack) {
    const ItemList items = sampleList();
    const QByteArray stream = WriteContents(items);
    ItemList back;
    QString error;
    ASSERT_TRUE(ReadContents(stream, &back, &error)) << error.toStdString();
    expectSameItems(items, back);
    // Bit 0 followed the border option on store; the other bits came back.
    EXPECT_EQ(back[1]->GetFlags(), 0x8022);
    EXPECT_EQ(back[0]->GetFlags(), 0x8013);
    EXPECT_TRUE(dynamic_cast<COleItem&>(*back[2]).IsSizeFixed());
    EXPECT_EQ(back[2]->GetSize(), QSize(3, 4));  // shown as an icon: the icon pair
    // Written again, the stream is the same to the byte.
    EXPECT_EQ(WriteContents(back), stream);
}

TEST(Contents, UnknownClassesAndSchemasAreCarriedOver) {
    // Build a stream by hand: a class nobody knows, a chart of a newer
    // schema, and a tiny record without a tail.
    QByteArray body;
    qor::ByteWriter w(body);
    auto object = [&w](const QString& name, uint16_t schema, const QByteArray& record) {
        w.u16(uint16_t(name.size()));
        w.utf16(name);
        w.u16(schema);
        w.u32(uint32_t(record.size()));
        w.bytes(record);
    };
    CComItem tailSource;
    fillCommon(tailSource, 5);
    QByteArray tail;
    qor::ByteWriter tw(tail);
    tailSource.StoreTail(tw);
    object(QStringLiteral("CTextItem"), 2, QByteArray("own part") + tail);
    object(QStringLiteral("CGraphItem"), 1, QByteArray(400, 'x') + tail);
    object(QStringLiteral("CNote"), 0, QByteArray("tiny"));

    QByteArray stream;
    qor::ByteWriter sw(stream);
    sw.u32(qor::fourcc("QCNT"));
    sw.u16(0x0003);  // a newer minor revision is read
    sw.u16(0);
    sw.u32(3);
    sw.bytes(body);
    sw.u32(qor::crc32(stream.constData(), size_t(stream.size())));

    ItemList items;
    QString error;
    ASSERT_TRUE(ReadContents(stream, &items, &error)) << error.toStdString();
    ASSERT_EQ(items.size(), 3u);
    auto* text = dynamic_cast<UnknownItem*>(items[0].get());
    ASSERT_TRUE(text);
    EXPECT_EQ(text->StoredClassName(), QStringLiteral("CTextItem"));
    EXPECT_EQ(text->OwnPart(), QByteArray("own part"));
    EXPECT_EQ(text->GetPage(), 5u);
    EXPECT_FALSE(items[1]->IsKindOf(&CGraphItem::classCGraphItem));
    EXPECT_FALSE(dynamic_cast<UnknownItem&>(*items[2]).HasTail());

    // Moved and written back: the own parts stay, the tail follows.
    items[0]->SetPosition(QPoint(11, 12));
    ItemList again;
    ASSERT_TRUE(ReadContents(WriteContents(items), &again, &error));
    auto* moved = dynamic_cast<UnknownItem*>(again[0].get());
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->GetPosition(), QPoint(11, 12));
    EXPECT_EQ(moved->OwnPart(), QByteArray("own part"));
    EXPECT_EQ(dynamic_cast<UnknownItem&>(*again[1]).StoredSchema(), 1);
    EXPECT_EQ(dynamic_cast<UnknownItem&>(*again[1]).OwnPart(), QByteArray(400, 'x'));
    EXPECT_EQ(dynamic_cast<UnknownItem&>(*again[2]).OwnPart(), QByteArray("tiny"));
}

TEST(Contents, DamagedStreamsAreRefusedAndTheListKept) {
    const QByteArray good = WriteContents(sampleList());
    ItemList kept{std::make_shared<CComItem>()};
    QString error;

    // Every truncation.
    for (int n = 0; n < good.size(); ++n) {
        EXPECT_FALSE(ReadContents(good.left(n), &kept, &error)) << n;
        ASSERT_EQ(kept.size(), 1u);
    }
    // Every single-byte change is caught (by a check or by the checksum).
    for (int i = 0; i < good.size(); ++i) {
        QByteArray bad = good;
        bad[i] = char(bad[i] ^ 0x41);
        EXPECT_FALSE(ReadContents(bad, &kept, &error)) << i;
    }
    // Well-formed but wrong inside: a huge count, a newer major revision,
    // a chart record one byte short, bytes after the last item.
    auto resealed = [](QByteArray s) {
        s.chop(4);
        qor::ByteWriter w(s);
        w.u32(qor::crc32(s.constData(), size_t(s.size())));
        return s;
    };
    QByteArray bad = good;
    bad[8] = char(0xFF);
    bad[9] = char(0xFF);
    EXPECT_FALSE(ReadContents(resealed(bad), &kept, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("count"))) << error.toStdString();
    bad = good;
    bad[5] = 0x02;
    EXPECT_FALSE(ReadContents(resealed(bad), &kept, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("newer"))) << error.toStdString();
    bad = good;
    bad.insert(bad.size() - 4, "zz");
    EXPECT_FALSE(ReadContents(resealed(bad), &kept, &error));

    QByteArray one = WriteItemObject(*sampleList()[1]);
    const int lengthAt = 2 + 2 * 10 + 2;  // after "CGraphItem" and its schema
    one[lengthAt] = char(uint8_t(one[lengthAt]) - 1);
    one.chop(1);
    EXPECT_FALSE(ReadItemObject(one, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("CGraphItem"))) << error.toStdString();
    EXPECT_EQ(kept.size(), 1u);

    ItemList empty;
    ASSERT_TRUE(ReadContents(WriteContents({}), &empty, &error));
    EXPECT_TRUE(empty.empty());
}

TEST(Contents, AnIndependentReaderFollowsTheDocumentedLayout) {
    if (!qortest::needPythonModule(QStringLiteral("zlib"))) GTEST_SKIP();
    const QString path = qortest::freshDir(QStringLiteral("contents")) + "/Contents.bin";
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(WriteContents(sampleList()));
    f.close();
    const auto r = qortest::python(
        "import struct,sys,zlib\n"
        "b=open(sys.argv[1],'rb').read()\n"
        "assert b[:4]==b'QCNT' and zlib.crc32(b[:-4])==struct.unpack('<I',b[-4:])[0]\n"
        "rev,res,n=struct.unpack('<HHI',b[4:12]); p=12; out=[]\n"
        "for i in range(n):\n"
        "  k,=struct.unpack('<H',b[p:p+2]); name=b[p+2:p+2+2*k].decode('utf-16-le'); p+=2+2*k\n"
        "  schema,length=struct.unpack('<HI',b[p:p+6]); p+=6; rec=b[p:p+length]; p+=length\n"
        "  t=rec[-109:]; page,x,y=struct.unpack('<Iii',t[:12])\n"
        "  flags,=struct.unpack('<H',t[44:46])\n"
        "  out.append('%s/%d/%d/%d,%d/%x/%d'%(name,schema,page,x,y,flags,length))\n"
        "assert p==len(b)-4\n"
        "print(rev,' '.join(out))\n",
        {path});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QString ole = QString::number(8 + 4 * 5 + 2 + 2 * 13 + 2 + 2 * 11 + 4 + 13 + 5 + 109);
    EXPECT_EQ(
        r.out.trimmed().toStdString(),
        ("1 CComItem/0/1/-3,7/8013/109 CGraphItem/0/2/-6,14/8022/469 COleItem/0/3/-9,21/8033/" +
         ole)
            .toStdString());
}
