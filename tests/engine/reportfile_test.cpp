// Report file layout, pages on demand, remapping, saving.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <utility>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "engine/creportfile.h"
#include "engine/creporthandle.h"
#include "engine/csheetpage.h"
#include "engine/reportlayout.h"
#include "engine/status.h"
#include "engine/workfiles.h"
#include "platform/compoundfile.h"
#include "tests/common/reportfiles.h"
#include "tests/common/testsupport.h"

using namespace qor;

namespace {

using qortest::fileBytes;

QByteArray fileHash(const QString& path) {
    return QCryptographicHash::hash(fileBytes(path), QCryptographicHash::Sha256);
}

using qortest::flipStreamByte;

// Where a section lies in an encoded "QOR~REP" stream.
SectionEntry sectionOf(const QByteArray& stream, uint32_t tag) {
    ReportHeader h;
    EXPECT_EQ(decodeHeader(stream.constData(), size_t(stream.size()), &h), 0);
    for (const SectionEntry& e : h.sections)
        if (e.tag == tag) return e;
    return {};
}

ReportFormat sampleFormat() {
    ReportFormat f = ReportFormat::newReport();
    ReportHeader& h = f.header;
    h.flags |= kFlagViewStateSet | kFlagPageSetupSet;
    h.varKind = 1;
    h.varStart = 3;
    h.varExtent = 12;
    h.userKeywordType = 1;
    h.keywords[2] = {4, 5, -7, 0};
    h.userKeywordName = QStringLiteral("部门编码");
    h.formatPassword = QStringLiteral("Lock9");
    h.viewState = {1, 2, 3, 0x3F800000};
    h.pageSetup.margins = {10, 20, 30, 40};
    h.pageSetup.scale = 1.5f;
    h.pageSetup.tailLast = 9;
    h.inUse = true;
    h.inUseComputer = QStringLiteral("PC-7");
    f.rowRecs[1] = {0, 3, 0};
    f.colRecs[6] = {120, 2, 0};
    f.cellFormat(2, 3) = 0x123456789ull;
    f.labels.set(cellKey(1, 1), QStringLiteral("项目"));
    f.combined.push_back({1, 1, 1, 3});
    f.areaLines.push_back({1, 2, 2, 1, 4, 4});
    f.formulas.push_back({{5, 2, 5, 7}, 0, 0, QStringLiteral("B5=B3+B4")});
    f.auditText = QStringLiteral("C1=C2\r\n");
    f.rounding = {QStringLiteral("t1"), QStringLiteral("A1:B2"), 2, QStringLiteral("A1=A2")};
    f.unknownSections.push_back({fourcc("ZZZZ"), QByteArray("\x07\x00\x00\x00payload", 11)});
    return f;
}

}  // namespace

// ---------------------------------------------------------------------------
// Layout

TEST(ReportLayout, RepStreamRoundTripKeepsEveryField) {
    const ReportFormat f = sampleFormat();
    const QByteArray bytes = encodeRepStream(f);
    EXPECT_GE(bytes.size(), kMinRepStreamSize);
    EXPECT_TRUE(bytes.startsWith(QByteArray("QOR8.61\0", 8)));
    ReportFormat g;
    ASSERT_EQ(decodeRepStream(bytes, &g), 0);
    const ReportHeader& a = f.header;
    const ReportHeader& b = g.header;
    EXPECT_EQ(b.flags & ~kFlagAuditPresent & ~kFlagRoundingPresent, a.flags);
    EXPECT_TRUE(b.flags & kFlagAuditPresent);
    EXPECT_EQ(b.varKind, 1);
    EXPECT_EQ(b.varStart, 3);
    EXPECT_EQ(b.varExtent, 12);
    EXPECT_EQ(b.keywords, a.keywords);
    EXPECT_EQ(b.userKeywordName, a.userKeywordName);
    EXPECT_EQ(b.formatPassword, a.formatPassword);
    EXPECT_EQ(b.viewState, a.viewState);
    EXPECT_EQ(b.pageSetup, a.pageSetup);
    EXPECT_EQ(b.inUse, true);
    EXPECT_EQ(b.inUseComputer, a.inUseComputer);
    EXPECT_EQ(g.rowRecs, f.rowRecs);
    EXPECT_EQ(g.colRecs, f.colRecs);
    EXPECT_EQ(g.cellFormats, f.cellFormats);
    EXPECT_EQ(g.labels, f.labels);
    EXPECT_EQ(g.combined, f.combined);
    EXPECT_EQ(g.areaLines, f.areaLines);
    EXPECT_EQ(g.formulas, f.formulas);
    EXPECT_EQ(g.auditText, f.auditText);
    EXPECT_EQ(g.rounding, f.rounding);
    EXPECT_EQ(g.unknownSections, f.unknownSections);
    // The password is not readable in the file.
    EXPECT_FALSE(bytes.contains(QByteArray("L\0o\0c\0k", 7)));
}

TEST(ReportLayout, DamageIsRefusedWithItsStatus) {
    const QByteArray good = encodeRepStream(sampleFormat());
    ReportFormat out;
    auto decodeWith = [&](qsizetype at, char value) {
        QByteArray b = good;
        b[at] = value;
        return decodeRepStream(b, &out);
    };
    // Any header byte outside the mark is covered by the CRC.
    EXPECT_EQ(decodeWith(16, char(good[16] ^ 1)), 1008);
    EXPECT_EQ(decodeWith(1000, 1), 1008);
    // The mark may be patched without touching the CRC.
    EXPECT_EQ(decodeWith(kMarkerOffset, 0), 0);
    EXPECT_EQ(decodeWith(kMarkerOffset + 10, 'Z'), 0);
    // A section's bytes are covered by its own CRC.
    EXPECT_EQ(decodeWith(kHeaderSize + 5, 9), 1008);
    // Other version texts: older or newer ones are unsupported, anything
    // else is damage.
    QByteArray old = good;
    old.replace(0, 7, "QOR8.00");
    EXPECT_EQ(decodeRepStream(old, &out), 1007);
    old.replace(0, 7, "QOR9.10");
    EXPECT_EQ(decodeRepStream(old, &out), 1007);
    old.replace(0, 7, "XYZ8.61");
    EXPECT_EQ(decodeRepStream(old, &out), 1008);
    EXPECT_EQ(decodeRepStream(good.left(1000), &out), 1008);
    EXPECT_EQ(decodeRepStream(good.left(3), &out), 1008);
    // A higher layout major (with a valid CRC) is refused as a version; a
    // higher minor is read.
    ReportHeader h;
    ReportHeader back;
    h.revision = 0x0201;
    QByteArray hb = encodeHeader(h);
    EXPECT_EQ(decodeHeader(hb.constData(), size_t(hb.size()), &back), 1007);
    h.revision = 0x0007;
    hb = encodeHeader(h);
    EXPECT_EQ(decodeHeader(hb.constData(), size_t(hb.size()), &back), 0);
}

TEST(ReportLayout, CellFormatsReadPieceByPieceAreCheckedAsTheWholeStream) {
    ReportFormat f = sampleFormat();
    const QByteArray good = encodeRepStream(f);
    const SectionEntry formats = sectionOf(good, section::CellFormats);
    ASSERT_GT(formats.length, 16u);
    // Read in pieces of any size, the table is what the whole stream gives.
    auto decodeFrom = [](const QByteArray& b, ReportFormat* out, uint64_t failAt = ~uint64_t(0)) {
        return decodeRepStream(
            uint64_t(b.size()),
            [&](uint64_t at, char* buf, uint64_t len) {
                if (at + len > failAt || at + len > uint64_t(b.size())) return false;
                std::memcpy(buf, b.constData() + at, size_t(len));
                return true;
            },
            out);
    };
    ReportFormat out;
    ASSERT_EQ(decodeFrom(good, &out), 0);
    EXPECT_EQ(out.cellFormats, f.cellFormats);
    EXPECT_EQ(out.labels, f.labels);
    // A flipped bit anywhere in the section (words or its head), a read
    // that fails half-way, and a section revision from the future.
    for (uint32_t at : {8u, formats.length / 2, formats.length - 1, 4u}) {
        QByteArray b = good;
        b[qsizetype(formats.offset + at)] = char(b[qsizetype(formats.offset + at)] ^ 0x10);
        EXPECT_EQ(decodeFrom(b, &out), 1008) << at;
    }
    EXPECT_EQ(decodeFrom(good, &out, formats.offset + formats.length / 2), 1008);
}

TEST(ReportLayout, CellFormatsReadWhenFirstUsedAreCheckedWholeFirst) {
    // More words than one read around a word takes.
    ReportFormat f = ReportFormat::newReport();
    f.header.rows = 300;
    f.rowRecs.assign(300, RowColRecord{kDefaultRowHeight, 0, 0});
    f.cellFormats.assign(size_t(300) * f.header.cols, 0);
    for (size_t i = 0; i < f.cellFormats.size(); ++i) f.cellFormats[i] = 1000 + i;
    const QByteArray good = encodeRepStream(f);
    const SectionEntry formats = sectionOf(good, section::CellFormats);
    struct Source {
        QByteArray bytes;
        uint64_t read = 0;  // bytes of the cell formats section read
        SectionEntry section;
    };
    auto open = [&](const std::shared_ptr<Source>& src, ReportFormat* out) {
        const RepStreamReader later = [src](uint64_t at, char* buf, uint64_t len) {
            if (at + len > uint64_t(src->bytes.size())) return false;
            if (at >= src->section.offset && at < src->section.offset + src->section.length)
                src->read += len;
            std::memcpy(buf, src->bytes.constData() + at, size_t(len));
            return true;
        };
        return decodeRepStream(uint64_t(src->bytes.size()), later, out, &later);
    };
    const size_t cols = f.header.cols;
    const size_t last = f.cellFormats.size() - 1;

    // Opening reads the section's head only; one word reads (and checks)
    // the whole section but keeps no table; a word elsewhere, or the
    // whole table, reads it whole.
    auto src = std::make_shared<Source>(Source{good, 0, formats});
    ReportFormat out;
    ASSERT_EQ(open(src, &out), 0);
    const uint64_t opened = src->read;
    EXPECT_LE(opened, 8u);
    EXPECT_TRUE(out.cellFormats.isPending());
    const ReportFormat snapshot = out;  // a format-state copy shares the read
    EXPECT_EQ(std::as_const(out).cellFormat(f.header.rows, f.header.cols), 1000 + last);
    EXPECT_EQ(src->read, opened + formats.length);
    EXPECT_TRUE(out.cellFormats.isPending());
    EXPECT_EQ(std::as_const(out).cellFormat(f.header.rows, f.header.cols - 1), 999 + last);
    EXPECT_EQ(src->read, opened + formats.length);
    EXPECT_EQ(std::as_const(out).cellFormat(1, 1), 1000u);
    EXPECT_FALSE(out.cellFormats.isPending());
    EXPECT_EQ(out.cellFormats, f.cellFormats);
    EXPECT_EQ(out.cellFormats.loadStatus(), 0);
    EXPECT_EQ(snapshot.cellFormats, f.cellFormats);
    EXPECT_EQ(src->read, opened + 2 * uint64_t(formats.length));
    // A change is the changer's own.
    out.cellFormat(1, 1) = 7;
    EXPECT_EQ(snapshot.cellFormat(1, 1), 1000u);

    // A flipped bit anywhere in the section: no word of it is used, and
    // the table says why.
    for (uint32_t at : {8u + uint32_t(cols) * 8, formats.length - 1, 0u}) {
        auto bad = std::make_shared<Source>(Source{good, 0, formats});
        bad->bytes[qsizetype(formats.offset + at)] =
            char(bad->bytes[qsizetype(formats.offset + at)] ^ 0x10);
        ReportFormat damaged;
        ASSERT_EQ(open(bad, &damaged), 0) << at;
        EXPECT_EQ(std::as_const(damaged).cellFormat(1, 1), kDefaultCellFormat) << at;
        EXPECT_EQ(damaged.cellFormats.loadStatus(), 1008) << at;
        EXPECT_EQ(damaged.cellFormats.load(), 1008) << at;
    }
}

TEST(ReportLayout, BoundsInTheHeaderAreChecked) {
    ReportFormat out;
    for (auto [rows, cols] : {std::pair{0, 7}, {10000, 7}, {50, 0}, {50, 256}}) {
        ReportFormat f = ReportFormat::newReport();
        f.header.rows = uint16_t(rows);
        f.header.cols = uint16_t(cols);
        f.cellFormats.clear();
        f.rowRecs.clear();
        f.colRecs.clear();
        EXPECT_EQ(decodeRepStream(encodeRepStream(f), &out), 1008) << rows << "x" << cols;
    }
    ReportFormat f = ReportFormat::newReport();
    f.header.keywords[0] = {51, 1, 0, 0};  // below the table
    EXPECT_EQ(decodeRepStream(encodeRepStream(f), &out), 1008);
}

TEST(ReportLayout, DirectoryRejectsBlobsOutsideTheStream) {
    std::vector<BlobEntry> entries{{80, 600, 1, 1, 0}, {680, 0, 0, 1, 0}};
    const QByteArray dir = encodeDirectory(kPageDirMagic, entries);
    std::vector<BlobEntry> out;
    EXPECT_EQ(decodeDirectory(dir, kPageDirMagic, 680, &out), 0);
    EXPECT_EQ(out, entries);
    EXPECT_EQ(decodeDirectory(dir, kPageDirMagic, 679, &out), 1008);
    EXPECT_EQ(decodeDirectory(dir, kVarDirMagic, 680, &out), 1008);
    QByteArray bad = dir;
    bad[20] = char(bad[20] ^ 1);
    EXPECT_EQ(decodeDirectory(bad, kPageDirMagic, 680, &out), 1008);
    // A blob may not overlap the directory itself.
    entries[0].offset = 8;
    EXPECT_EQ(decodeDirectory(encodeDirectory(kPageDirMagic, entries), kPageDirMagic, 680, &out),
              1008);
}

TEST(ReportLayout, PageRecordHeaderAndLength) {
    PageRecordHeader h;
    h.rows = 3;
    h.cols = 2;
    h.generation = 4;
    h.heapChars = 5;
    h.keywords[0] = {2, 0, QStringLiteral("单位名称")};
    h.keywords[3] = {1, 2024.5, {}};
    const QByteArray b = encodePageRecordHeader(h);
    ASSERT_EQ(b.size(), kPageRecordHeaderSize);
    const uint64_t len = pageRecordLength(3, 2, 5);
    EXPECT_EQ(len, uint64_t(kPageRecordHeaderSize + 3 * 2 * 12 + 10));
    PageRecordHeader g;
    ASSERT_EQ(decodePageRecordHeader(b.constData(), size_t(b.size()), len, &g), 0);
    EXPECT_EQ(g.keywords, h.keywords);
    EXPECT_EQ(g.generation, 4u);
    EXPECT_EQ(decodePageRecordHeader(b.constData(), size_t(b.size()), len + 2, &g), 1008);
    EXPECT_EQ(decodePageRecordHeader(b.constData(), 100, len, &g), 1008);
}

TEST(ReportLayout, ScrambledFieldsAndMark) {
    EXPECT_EQ(decodeScrambledText(encodeScrambledText(u"abc", 26).constData(), 26), "abc");
    QByteArray others("QOTH\x01\x00\x00\x00", 8);
    others += encodeFilePasswordField(u"Geheim口令");
    QString pw;
    ASSERT_TRUE(decodeOthersFilePassword(others, &pw));
    EXPECT_EQ(pw, QStringLiteral("Geheim口令"));
    EXPECT_FALSE(decodeOthersFilePassword(others.left(50), &pw));
    const QString longName(40, 'N');
    const InUseMark m =
        decodeInUseMark(encodeInUseMark({true, longName}).constData(), kMarkerLength);
    EXPECT_TRUE(m.inUse);
    EXPECT_EQ(m.computer, longName.left(31));
}

TEST(ReportLayout, Crc32MatchesKnownValues) {
    EXPECT_EQ(crc32("123456789", 9), 0xCBF43926u);
    const std::vector<char> zeros(100000, 0);
    EXPECT_EQ(crc32Zeros(zeros.size(), crc32("ab", 2)),
              crc32(zeros.data(), zeros.size(), crc32("ab", 2)));
}

// ---------------------------------------------------------------------------
// Pages in memory

TEST(SheetPage, SlotsTextsAndHeapReuse) {
    CSheetPage p(4, 3);
    EXPECT_EQ(p.Slot(1, 1).tag, kSlotNeverWritten);
    EXPECT_TRUE(p.SetNumber(1, 1, -2.5));
    EXPECT_TRUE(p.SetSlot(1, 2, CellSlot::emptyNumber()));
    EXPECT_TRUE(p.SetText(4, 3, QString(300, 'x')));
    EXPECT_FALSE(p.SetNumber(5, 1, 1));
    EXPECT_FALSE(p.SetNumber(1, 0, 1));
    EXPECT_DOUBLE_EQ(p.Slot(1, 1).numberValue(), -2.5);
    EXPECT_TRUE(p.Slot(1, 2).isEmptyNumber());
    EXPECT_EQ(p.Text(4, 3).size(), 255);  // cut to the cell limit
    EXPECT_TRUE(p.IsDirty());
    // Rewriting a cell with a shorter text reuses its room.
    const uint32_t heap = p.Fixed().heapChars();
    p.SetText(4, 3, u"short");
    EXPECT_EQ(p.Fixed().heapChars(), heap);
    EXPECT_EQ(p.Text(4, 3), "short");
    p.SetText(2, 2, u"另一个");
    p.ClearCell(4, 3);
    EXPECT_TRUE(p.MutableFixed().compactHeap());
    EXPECT_EQ(p.Fixed().heapChars(), 3u);
    EXPECT_EQ(p.Text(2, 2), QStringLiteral("另一个"));
    EXPECT_TRUE(p.Fixed().validate());
}

TEST(SheetPage, RemapMovesValuesWithTheirRowsAndColumns) {
    CSheetPage p(3, 3);
    for (uint16_t r = 1; r <= 3; ++r)
        for (uint16_t c = 1; c <= 3; ++c) p.SetNumber(r, c, r * 10 + c);
    p.SetText(2, 2, u"mid");
    RemapMatrix m = RemapMatrix::identity(3, 3);
    m.insertRows(2, 1);  // new empty row 2
    m.deleteCols(1, 1);  // column A goes
    m.swapRows(1, 4);
    m.resize(4, 3);  // one new column at the end
    EXPECT_FALSE(m.isIdentity());
    p.Reshape(m, 0);
    ASSERT_EQ(p.GetRowCount(), 4);
    ASSERT_EQ(p.GetColCount(), 3);
    // Row order now: old 3, new, old 2, old 1; columns: old B, old C, new.
    EXPECT_DOUBLE_EQ(p.Slot(1, 1).numberValue(), 32);
    EXPECT_EQ(p.Slot(2, 1).tag, kSlotNeverWritten);
    EXPECT_EQ(p.Text(3, 1), "mid");
    EXPECT_DOUBLE_EQ(p.Slot(3, 2).numberValue(), 23);
    EXPECT_DOUBLE_EQ(p.Slot(4, 2).numberValue(), 13);
    EXPECT_EQ(p.Slot(4, 3).tag, kSlotNeverWritten);
    // Composition equals doing both steps.
    RemapMatrix a = RemapMatrix::identity(3, 3);
    a.insertRows(1, 2);
    RemapMatrix b = RemapMatrix::byPosition(5, 3, 5, 3);
    b.deleteRows(5, 1);
    const RemapMatrix ab = a.then(b);
    EXPECT_EQ(ab.rowOrigin, (std::vector<uint16_t>{0, 0, 1, 2}));
    EXPECT_EQ(ab.oldRows, 3);
}

// ---------------------------------------------------------------------------
// Files

class ReportFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = qortest::freshDir(
            QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        path = dir + "/r.rep";
    }
    void TearDown() override { SetSaveFaultAfterBytes(-1); }

    // A data-state report of rows x cols with n pages, saved.
    void makeReport(uint16_t rows, uint16_t cols, int pages) {
        CReportHandle h(path);
        ASSERT_TRUE(h.IsOpen());
        ASSERT_EQ(h.AccessTableSize(1, &rows, &cols), 0);
        ASSERT_EQ(h.EnterDataState(1), 0);
        ASSERT_EQ(h.AppendRowColPage(pages, 2), 0);
        ASSERT_EQ(h.Save(), 0);
    }

    QString dir;
    QString path;
};

TEST_F(ReportFileTest, PagesAreReadOnlyWhenAskedAndKeepTheirValues) {
    makeReport(20, 5, 3);
    {
        CReportHandle h(path);
        ASSERT_TRUE(h.IsOpen());
        EXPECT_EQ(h.GetPageReadCount(), 0u);
        ASSERT_EQ(h.SetCurPage(2), 0);
        EXPECT_EQ(h.GetPageReadCount(), 1u);
        CSheetPage* p = h.GetCurrentPage();
        ASSERT_TRUE(p);
        EXPECT_EQ(p->GetRowCount(), 20);
        p->SetNumber(1, 1, 42.5);
        p->SetText(20, 5, QStringLiteral("合计"));
        p->SetKeyword(2, {1, 2024, {}});
        p->SetKeyword(0, {2, 0, QStringLiteral("总公司")});
        ASSERT_EQ(h.Save(), 0);
    }
    CReportHandle h(path);
    ASSERT_TRUE(h.IsOpen());
    EXPECT_EQ(h.IsFormatState(), 0);
    EXPECT_EQ(h.GetPageCount(), 3);
    EXPECT_EQ(h.GetCurPage(), 0);
    EXPECT_EQ(h.GetPageReadCount(), 0u);
    auto p2 = h.GetPage(2);
    ASSERT_TRUE(p2);
    EXPECT_DOUBLE_EQ(p2->Slot(1, 1).numberValue(), 42.5);
    EXPECT_EQ(p2->Text(20, 5), QStringLiteral("合计"));
    EXPECT_EQ(p2->Keyword(2).number, 2024);
    EXPECT_EQ(p2->Keyword(0).text, QStringLiteral("总公司"));
    auto p3 = h.GetPage(3);
    ASSERT_TRUE(p3);
    EXPECT_TRUE(p3->Fixed().isBlank());
    EXPECT_EQ(h.GetPageReadCount(), 2u);
    // 0 or beyond the count selects page 1.
    EXPECT_EQ(h.SetCurPage(99), 0);
    EXPECT_EQ(h.GetCurPage(), 1);
    uint16_t status = 0;
    EXPECT_FALSE(h.GetPage(4, &status));
    EXPECT_EQ(status, 1045);
}

TEST_F(ReportFileTest, FormatEditsReachPagesNotLoadedAtTheTime) {
    makeReport(6, 4, 2);
    {
        CReportHandle h(path);
        ASSERT_EQ(h.SetCurPage(1), 0);
        h.GetCurrentPage()->SetNumber(6, 4, 64);
        h.GetCurrentPage()->SetText(2, 2, u"b2");
        ASSERT_EQ(h.Save(), 0);
    }
    CReportHandle h(path);
    ASSERT_EQ(h.EnterFormatState(), 0);
    // Insert two rows before row 2 and drop column 1: page 1 is on disk only.
    RemapMatrix step = RemapMatrix::identity(6, 4);
    step.insertRows(2, 2);
    step.deleteCols(1, 1);
    ASSERT_EQ(h.GetReportFile()->RemapTable(step), 0);
    EXPECT_EQ(h.GetReportFile()->RemapTable(step), 1);  // no longer the current shape
    EXPECT_EQ(h.GetRowCount(), 8);
    EXPECT_EQ(h.GetColCount(), 3);
    ASSERT_EQ(h.EnterDataState(0), 0);
    ASSERT_EQ(h.Save(), 0);
    EXPECT_EQ(h.GetPageReadCount(), 2u);  // each page read once, to be reshaped while saving
    CReportHandle h2(path, CReportHandle::OpenMode::OpenExisting, CReportHandle::Access::Read);
    ASSERT_TRUE(h2.IsOpen());
    auto p = h2.GetPage(1);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->GetRowCount(), 8);
    EXPECT_DOUBLE_EQ(p->Slot(8, 3).numberValue(), 64);
    EXPECT_EQ(p->Text(4, 1), "b2");
    EXPECT_TRUE(h2.GetPage(2)->Fixed().isBlank());
}

TEST_F(ReportFileTest, CancelledFormatEditsLeavePagesAlone) {
    makeReport(5, 5, 1);
    CReportHandle h(path);
    ASSERT_EQ(h.SetCurPage(1), 0);
    h.GetCurrentPage()->SetNumber(5, 5, 55);
    ASSERT_EQ(h.EnterFormatState(), 0);
    uint16_t rows = 2, cols = 2;
    ASSERT_EQ(h.AccessTableSize(1, &rows, &cols), 0);
    ASSERT_EQ(h.CancelFormatState(), 0);
    EXPECT_EQ(h.IsFormatState(), 0);
    EXPECT_EQ(h.GetRowCount(), 5);
    ASSERT_EQ(h.SetCurPage(1), 0);
    EXPECT_DOUBLE_EQ(h.GetCurrentPage()->Slot(5, 5).numberValue(), 55);  // unsaved edit kept
}

TEST_F(ReportFileTest, ManyDirtyPagesSurviveTheCache) {
    makeReport(30, 10, 40);
    {
        CReportHandle h(path);
        for (int i = 1; i <= 40; ++i) {
            auto p = h.GetPage(i);
            ASSERT_TRUE(p);
            p->SetNumber(1, 1, i);
            p->SetText(30, 10, QString::number(i * 7));
        }
        EXPECT_LE(h.GetReportFile()->LoadedPageCount(), kPageCacheSize + 1);
        // A page evicted while dirty comes back with its edits.
        EXPECT_DOUBLE_EQ(h.GetPage(1)->Slot(1, 1).numberValue(), 1);
        ASSERT_EQ(h.Save(), 0);
        // Pages are spilled into a file without a name: nothing to leave behind.
        EXPECT_TRUE(QDir(WorkFolder()).entryList({"*.spill"}, QDir::Files).isEmpty());
    }
    CReportHandle h(path);
    for (int i = 1; i <= 40; ++i) {
        auto p = h.GetPage(i);
        ASSERT_TRUE(p) << i;
        EXPECT_DOUBLE_EQ(p->Slot(1, 1).numberValue(), i);
        EXPECT_EQ(p->Text(30, 10), QString::number(i * 7));
    }
}

TEST_F(ReportFileTest, DamagedPageRecordIsReportedNotLoaded) {
    makeReport(10, 10, 2);
    {
        CReportHandle h(path);
        h.GetPage(2)->SetNumber(3, 3, 1);
        ASSERT_EQ(h.Save(), 0);
    }
    // Page 2's record follows page 1's in "PageEx".
    const uint64_t second = directorySize(2) + pageRecordLength(10, 10, 0);
    flipStreamByte(path, "PageEx", second + kPageRecordHeaderSize + 3 * 12);
    CReportHandle h(path);
    ASSERT_TRUE(h.IsOpen());  // opening reads no page
    uint16_t status = 0;
    EXPECT_FALSE(h.GetPage(2, &status));
    EXPECT_EQ(status, 1008);
    EXPECT_TRUE(h.GetPage(1));
    EXPECT_EQ(h.SetCurPage(2), 1);
}

TEST_F(ReportFileTest, FailedSaveLeavesTheTargetWholeAndTheReportUsable) {
    makeReport(40, 20, 4);
    const QByteArray before = fileHash(path);
    CReportHandle h(path);
    ASSERT_EQ(h.SetCurPage(3), 0);
    h.GetCurrentPage()->SetNumber(2, 2, 22);

    // Fails while writing the new file.
    SetSaveFaultAfterBytes(20000);
    EXPECT_EQ(h.Save(), 1030);
    EXPECT_EQ(fileHash(path), before);
    EXPECT_TRUE(QDir(WorkFolder()).entryList({"*.new"}, QDir::Files).isEmpty());

    // Disk full, reported as such.
    SetSaveFaultAfterBytes(50000, ENOSPC);
    EXPECT_EQ(h.Save(), 1090);
    EXPECT_EQ(fileHash(path), before);

    // Fails while copying onto the target, after the working copy is new.
    const qint64 size = QFileInfo(path).size();
    SetSaveFaultAfterBytes(size + size / 2);
    EXPECT_EQ(h.Save(), 1030);
    EXPECT_EQ(fileHash(path), before);
    EXPECT_TRUE(QDir(QFileInfo(path).absolutePath())
                    .entryList({"*.tmp"}, QDir::Files | QDir::Hidden)
                    .isEmpty());

    SetSaveFaultAfterBytes(-1);
    EXPECT_DOUBLE_EQ(h.GetCurrentPage()->Slot(2, 2).numberValue(), 22);
    ASSERT_EQ(h.Save(), 0);
    EXPECT_NE(fileHash(path), before);
    CReportHandle reopened(path, CReportHandle::OpenMode::OpenExisting,
                           CReportHandle::Access::Read);
    ASSERT_TRUE(reopened.IsOpen());
    EXPECT_DOUBLE_EQ(reopened.GetPage(3)->Slot(2, 2).numberValue(), 22);
}

TEST_F(ReportFileTest, DocumentStreamsAndForeignEntriesAreCarriedOver) {
    makeReport(5, 5, 1);
    {
        auto cf = CompoundFile::open(path, CompoundFile::Mode::ReadWrite);
        ASSERT_TRUE(cf);
        ASSERT_TRUE(cf->createStorage("Foreign"));
        ASSERT_TRUE(cf->writeAll("Foreign/Data", QByteArray(5000, 'f')));
        ASSERT_TRUE(cf->commit());
    }
    {
        CReportHandle h(path);
        ASSERT_TRUE(h.IsOpen());
        CReportFile* f = h.GetReportFile();
        f->SetDocumentStream("OTHERS", "others-bytes");
        f->SetDocumentStream("Embedding 1/Contents", QByteArray(300, 'e'));
        f->SetDocumentStream("QOR~REP", "ignored");
        EXPECT_EQ(f->DocumentStream("OTHERS"), "others-bytes");
        ASSERT_EQ(h.Save(), 0);
    }
    {
        CReportHandle h(path);
        CReportFile* f = h.GetReportFile();
        EXPECT_EQ(f->DocumentStream("OTHERS"), "others-bytes");
        EXPECT_EQ(f->DocumentStream("Embedding 1/Contents"), QByteArray(300, 'e'));
        EXPECT_EQ(f->DocumentStream("Foreign/Data"), QByteArray(5000, 'f'));
        f->RemoveDocumentEntry("Embedding 1");
        ASSERT_EQ(h.Save(), 0);
    }
    CReportHandle h(path);
    QStringList names;
    for (const auto& e : h.GetReportFile()->Entries()) names << e.path;
    EXPECT_FALSE(names.contains("Embedding 1"));
    EXPECT_TRUE(names.contains("Foreign/Data"));
    EXPECT_TRUE(names.contains("OTHERS"));
}

TEST_F(ReportFileTest, IndependentReadersSeeTheStreams) {
    makeReport(9, 4, 2);
    if (qortest::needPythonModule("olefile")) {
        const auto r = qortest::python(
            "import olefile,sys\n"
            "o=olefile.OleFileIO(sys.argv[1])\n"
            "names=sorted('/'.join(e) for e in o.listdir())\n"
            "rep=o.openstream('QOR~REP').read()\n"
            "pg=o.openstream('PageEx').read()\n"
            "print(names, rep[:7].decode(), len(rep)>=4096, pg[:4].decode(),"
            " int.from_bytes(pg[8:12],'little'))\n",
            {path});
        EXPECT_EQ(r.exitCode, 0) << r.err.constData();
        EXPECT_EQ(r.out.trimmed(), "['PageEx', 'QOR~REP', 'QOR~VEP'] QOR8.61 True QPGX 2");
    }
    if (qortest::needProgram("gsf")) {
        const auto r = qortest::run("gsf", {"list", path});
        EXPECT_EQ(r.exitCode, 0);
        for (const char* s : {"QOR~REP", "QOR~VEP", "PageEx"}) EXPECT_TRUE(r.out.contains(s)) << s;
    }
}

// A signal arriving while a file is copied (a child process ending, a
// timer) interrupts the kernel's copy; the copy goes on instead of failing
// as a write error. Found by the fuzzer, whose timer made saves fail.
TEST(ReportFileCopy, SignalsDuringACopyDoNotFailIt) {
    const QString dir = qortest::freshDir("copy-signals");
    QByteArray bytes(8 << 20, '\0');
    for (qsizetype i = 0; i < bytes.size(); ++i) bytes[i] = char((i * 7919) >> 5);
    {
        QFile f(dir + "/from");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }
    struct sigaction quiet {
    }, old{};
    quiet.sa_handler = [](int) {};
    sigemptyset(&quiet.sa_mask);
    quiet.sa_flags = 0;  // no SA_RESTART: interrupted calls return EINTR
    ASSERT_EQ(::sigaction(SIGALRM, &quiet, &old), 0);
    const itimerval often{{0, 100}, {0, 100}}, off{};
    ASSERT_EQ(::setitimer(ITIMER_REAL, &often, nullptr), 0);
    int failures = 0;
    for (int i = 0; i < 30; ++i) {
        const QString to = dir + QStringLiteral("/to%1").arg(i);
        const int fd = ::open(QFile::encodeName(to).constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        ASSERT_GE(fd, 0);
        if (CopyFileInto(dir + "/from", fd) != 0) ++failures;
        ::close(fd);
    }
    ::setitimer(ITIMER_REAL, &off, nullptr);
    ::sigaction(SIGALRM, &old, nullptr);
    EXPECT_EQ(failures, 0);
    QFile last(dir + "/to29");
    ASSERT_TRUE(last.open(QIODevice::ReadOnly));
    EXPECT_EQ(last.readAll(), bytes);
}
