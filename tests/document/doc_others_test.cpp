// The "OTHERS" stream: every field back, unknown records kept, damaged
// streams refused without reading past their end.
#include "document/doc_others.h"

#include <gtest/gtest.h>

#include "engine/reportlayout.h"

using namespace qor;

namespace {

DocOthers fullOthers() {
    DocOthers o;
    o.filePassword = QStringLiteral("Secret口令");
    o.showPageBreaks = true;
    o.dataState = false;
    o.currentPage = 7;
    o.chartCounter = 12;
    for (int i = 0; i < kManualBreakCount; ++i)
        o.manualBreaks[size_t(i)] = {int16_t(-1), int16_t(i * 3), int16_t(i % 7 == 0 ? -1 : i)};
    o.pagePeriods = {QStringLiteral("2004-10-14"), QStringLiteral("0-0-0")};
    o.unknownRecords = {{fourcc("ZZZ1"), QByteArray("\x01\x02\x03", 3)},
                        {fourcc("ZZZ2"), QByteArray()}};
    o.clientMarker = kConsolClientMarker;
    return o;
}

}  // namespace

TEST(DocOthers, EveryFieldComesBack) {
    const DocOthers o = fullOthers();
    const QByteArray bytes = encodeDocOthers(o);
    DocOthers back;
    QString error;
    ASSERT_TRUE(decodeDocOthers(bytes, &back, &error)) << error.toStdString();
    EXPECT_EQ(back, o);
    // The engine reads the same password from the head before opening.
    QString password;
    ASSERT_TRUE(decodeOthersFilePassword(bytes, &password));
    EXPECT_EQ(password, o.filePassword);
    // The marker is the stream's last four bytes.
    ByteReader r(bytes);
    r.seek(size_t(bytes.size()) - 4);
    EXPECT_EQ(r.u32(), 20041014u);
}

TEST(DocOthers, MissingOrHeadOnlyStreamsGiveDefaults) {
    DocOthers back = fullOthers();
    ASSERT_TRUE(decodeDocOthers(QByteArray(), &back));
    EXPECT_EQ(back, DocOthers());
    for (const PageBreakEntry& e : back.manualBreaks) {
        EXPECT_EQ(e.row, -1);
        EXPECT_EQ(e.col, -1);
    }
    EXPECT_EQ(back.clientMarker, 0u);

    // A stream holding only the head and the password field.
    QByteArray head;
    ByteWriter w(head);
    w.u32(kOthersMagic);
    w.u16(kRecordRevision);
    w.u16(0);
    w.bytes(encodeFilePasswordField(u"pw"));
    ASSERT_TRUE(decodeDocOthers(head, &back));
    EXPECT_EQ(back.filePassword, QStringLiteral("pw"));
    EXPECT_EQ(back.clientMarker, 0u);
}

TEST(DocOthers, DamagedStreamsAreRefusedAtEveryLength) {
    const QByteArray bytes = encodeDocOthers(fullOthers());
    const qsizetype head = kOthersHeadSize + kFilePasswordFieldSize;
    for (qsizetype n = 1; n < bytes.size(); ++n) {
        if (n == head) continue;  // a stream without the document's part
        DocOthers back;
        EXPECT_FALSE(decodeDocOthers(bytes.left(n), &back)) << n;
        EXPECT_EQ(back.clientMarker, 0u);
    }
    DocOthers back;
    EXPECT_FALSE(decodeDocOthers(bytes + QByteArray(1, '\0'), &back));
    QByteArray wrongMagic = bytes;
    wrongMagic[0] = 'X';
    EXPECT_FALSE(decodeDocOthers(wrongMagic, &back));
}

TEST(DocOthers, BreakTableMustHaveFiftyEntries) {
    DocOthers o;
    QByteArray bytes = encodeDocOthers(o);
    // Find the break record and claim 49 entries.
    const qsizetype at = bytes.indexOf(QByteArray("PBRK", 4));
    ASSERT_GT(at, 0);
    bytes[at + 8] = char(49);
    DocOthers back;
    QString error;
    EXPECT_FALSE(decodeDocOthers(bytes, &back, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(DocOthers, LongPeriodTextsAreCutNotOverrun) {
    DocOthers o;
    o.pagePeriods = {QString(200, QLatin1Char('9'))};
    DocOthers back;
    ASSERT_TRUE(decodeDocOthers(encodeDocOthers(o), &back));
    ASSERT_EQ(back.pagePeriods.size(), 1);
    EXPECT_EQ(back.pagePeriods[0].size(), kMaxPeriodChars);
}
