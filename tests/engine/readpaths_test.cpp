// The quick read paths against the plain ones: the folded CRC, the shared
// cell format table of format state, and keywords read without the page.
#include <gtest/gtest.h>

#include <QFile>
#include <random>

#include "engine/creportfile.h"
#include "engine/creporthandle.h"
#include "engine/reportlayout.h"
#include "engine/status.h"
#include "platform/compoundfile.h"
#include "tests/common/reportfiles.h"
#include "tests/common/testsupport.h"

using namespace qor;

TEST(ReadPaths, FoldedCrcAgreesWithTablesAtEveryLengthAndAlignment) {
    std::mt19937 rng(7);
    std::vector<uint8_t> buf(70000);
    for (auto& b : buf) b = uint8_t(rng());
    // Lengths around the folding thresholds, odd starts, a running value.
    for (size_t start : {0, 1, 3, 15}) {
        for (size_t len : {0, 1, 63, 64, 255, 256, 257, 271, 1000, 1023, 1024, 1040, 1279, 1280,
                           1536, 4096, 4111, 65537}) {
            const uint8_t* p = buf.data() + start;
            EXPECT_EQ(crc32(p, len), crc32Tables(p, len)) << start << " " << len;
            EXPECT_EQ(crc32(p, len, 0x12345678u), crc32Tables(p, len, 0x12345678u));
        }
    }
    // Pieces continue one another as the whole does.
    const uint32_t whole = crc32(buf.data(), buf.size());
    EXPECT_EQ(crc32(buf.data() + 300, buf.size() - 300, crc32(buf.data(), 300)), whole);
    EXPECT_EQ(whole, crc32Tables(buf.data(), buf.size()));
}

TEST(ReadPaths, CellFormatTableCopiesOnlyWhenOneSideChanges) {
    CellFormatTable a(std::vector<uint64_t>{1, 2, 3});
    CellFormatTable b = a;
    EXPECT_TRUE(b.sharesWith(a));
    // Reading through a const view never separates them.
    const CellFormatTable& cb = b;
    EXPECT_EQ(cb[1], 2u);
    EXPECT_TRUE(b.sharesWith(a));
    b[1] = 20;
    EXPECT_FALSE(b.sharesWith(a));
    EXPECT_EQ(a[1], 2u);
    EXPECT_EQ(b[1], 20u);
    for (uint64_t& w : a) w = 0;
    EXPECT_EQ(b[0], 1u);
    EXPECT_FALSE(a == b);
    b = std::vector<uint64_t>{0, 0, 0};
    EXPECT_TRUE(a == b);
}

namespace {

// A report saved in format state with a few formats, labels and pages.
QString formatStateReport(const QString& dir) {
    const QString path = dir + "/fmt.rep";
    CReportHandle h(path);
    uint16_t r = 30, c = 12;
    h.AccessTableSize(1, &r, &c);
    CReportFile* f = h.GetReportFile();
    f->MutableFormat().cellFormat(2, 3) = 0x1234;
    f->MutableFormat().cellFormat(30, 12) = 0x55;
    h.AppendRowColPage(3, 2);
    EXPECT_EQ(h.Save(), 0);
    return h.GetPathName();
}

}  // namespace

TEST(ReadPaths, FormatStateSnapshotSharesUntilEditedAndCancelRestores) {
    const QString path = formatStateReport(qortest::freshDir("read-format-state"));
    CReportHandle h(path, CReportHandle::OpenMode::OpenExisting);
    ASSERT_TRUE(h.IsOpen());
    CReportFile* f = h.GetReportFile();
    ASSERT_TRUE(f->IsFormatEditing());
    EXPECT_TRUE(f->Format().cellFormats.sharesWith(f->CommittedFormat().cellFormats));
    EXPECT_EQ(f->Format().cellFormat(2, 3), 0x1234u);

    f->MutableFormat().cellFormat(2, 3) = 0x99;
    EXPECT_EQ(f->CommittedFormat().cellFormat(2, 3), 0x1234u);
    EXPECT_EQ(f->Format().cellFormat(2, 3), 0x99u);
    f->CancelFormatEdit();
    EXPECT_EQ(f->Format().cellFormat(2, 3), 0x1234u);
    EXPECT_EQ(f->Format().cellFormat(30, 12), 0x55u);

    // A shape change during the edit leaves the snapshot whole too.
    f->BeginFormatEdit();
    ASSERT_EQ(f->SetTableSize(10, 5), 0);
    EXPECT_EQ(f->CommittedFormat().cellFormats.size(), size_t(30 * 12));
    f->CancelFormatEdit();
    EXPECT_EQ(f->GetRowCount(), 30);
    EXPECT_EQ(f->Format().cellFormat(30, 12), 0x55u);
}

namespace {

// A data-state report of four pages with numbers, texts and keywords.
QString keywordReport(const QString& dir) {
    const QString path = dir + "/kw.rep";
    CReportHandle h(path);
    uint16_t r = 40, c = 9;
    h.AccessTableSize(1, &r, &c);
    h.AppendRowColPage(4, 2);
    EXPECT_EQ(h.EnterDataState(0), 0);
    for (int p = 1; p <= 4; ++p) {
        EXPECT_EQ(h.SetPageKeyword(0, {2, 0, QStringLiteral("单位%1").arg(p)}, p, 0), 0);
        EXPECT_EQ(h.SetPageKeyword(2, {1, 2000.0 + p, {}}, p, 0), 0);
        auto page = h.GetPage(p);
        page->SetNumber(3, 4, p * 1.5);
        page->SetText(40, 9, QStringLiteral("末格%1").arg(p));
    }
    EXPECT_EQ(h.Save(), 0);
    return h.GetPathName();
}

std::vector<BlobEntry> pageRecords(const QString& path) {
    auto cf = CompoundFile::open(path, CompoundFile::Mode::ReadOnly);
    const QByteArray all = cf->readAll(QString::fromLatin1(kPageStreamName));
    uint32_t n = 0;
    EXPECT_EQ(decodeDirectoryHead(all.left(kDirectoryHeaderSize), kPageDirMagic, &n), 0);
    std::vector<BlobEntry> entries;
    EXPECT_EQ(decodeDirectory(all.left(qsizetype(directorySize(n))), kPageDirMagic,
                              uint64_t(all.size()), &entries),
              0);
    return entries;
}

void xorStreamByte(const QString& path, quint64 offset) {
    qortest::flipStreamByte(path, QString::fromLatin1(kPageStreamName), offset);
}

// What a loaded page says, and the status of loading it.
uint16_t eagerKeyword(const QString& path, int page, int slot, KeywordValue* v) {
    CReportHandle h(path, CReportHandle::OpenMode::OpenExisting, CReportHandle::Access::Read);
    uint16_t status = 0;
    auto p = h.GetPage(page, &status);
    if (p) *v = p->Keyword(slot);
    return p ? 0 : status;
}

}  // namespace

TEST(ReadPaths, KeywordsWithoutLoadingEqualTheLoadedPageAndLeaveItUnloaded) {
    const QString path = keywordReport(qortest::freshDir("read-keywords"));
    CReportHandle h(path, CReportHandle::OpenMode::OpenExisting);
    ASSERT_TRUE(h.IsOpen());
    for (int p = 1; p <= 4; ++p) {
        for (int slot = 0; slot < kPageKeywordSlots; ++slot) {
            KeywordValue lazy, eager;
            ASSERT_EQ(h.GetPageKeyword(slot, &lazy, p), 0);
            ASSERT_EQ(eagerKeyword(path, p, slot, &eager), 0);
            EXPECT_EQ(lazy, eager) << p << " " << slot;
        }
        EXPECT_FALSE(h.GetReportFile()->IsPageLoaded(p));
    }
    KeywordValue v;
    ASSERT_EQ(h.GetPageKeyword(0, &v, 3), 0);
    EXPECT_EQ(v.text, QStringLiteral("单位3"));
    // A loaded page that was changed answers with its change.
    ASSERT_EQ(h.SetPageKeyword(2, {1, 7.0, {}}, 2, 0), 0);
    ASSERT_EQ(h.GetPageKeyword(2, &v, 2), 0);
    EXPECT_EQ(v.number, 7.0);
    EXPECT_EQ(h.GetPageKeyword(0, &v, 5), code(Status::PageOutOfRange));
}

TEST(ReadPaths, DamagedPageRecordsFailKeywordReadsAsTheyFailLoads) {
    const QString path = keywordReport(qortest::freshDir("read-keywords-damaged"));
    const std::vector<BlobEntry> records = pageRecords(path);
    ASSERT_EQ(records.size(), 4u);
    const BlobEntry& rec = records[2];
    // In the keyword values, the first slot, the last slot and the heap.
    const uint64_t slotEnd = uint64_t(kPageRecordHeaderSize) + 40u * 9u * kSlotSize;
    for (uint64_t at : {uint64_t(200), uint64_t(kPageRecordHeaderSize), slotEnd - 5,
                        rec.length - 1, uint64_t(0)}) {
        xorStreamByte(path, rec.offset + at);
        KeywordValue lazy, eager;
        CReportHandle h(path, CReportHandle::OpenMode::OpenExisting);
        ASSERT_TRUE(h.IsOpen());
        const uint16_t lazyStatus = h.GetPageKeyword(2, &lazy, 3);
        const uint16_t eagerStatus = eagerKeyword(path, 3, 2, &eager);
        EXPECT_EQ(lazyStatus, code(Status::CorruptReport)) << at;
        EXPECT_EQ(lazyStatus, eagerStatus) << at;
        // The other pages read as before.
        EXPECT_EQ(h.GetPageKeyword(2, &lazy, 4), 0);
        EXPECT_EQ(lazy.number, 2004.0);
        xorStreamByte(path, rec.offset + at);  // undone for the next case
    }
}

TEST(ReadPaths, CacheKeepsUnchangedPagesWithinItsBytesButNeverDropsChanges) {
    const QString path = qortest::freshDir("read-cache") + "/big.rep";
    CReportHandle h(path);
    uint16_t r = 1000, c = 100;  // 1.2 MB of slots a page
    h.AccessTableSize(1, &r, &c);
    h.AppendRowColPage(14, 2);
    ASSERT_EQ(h.EnterDataState(0), 0);
    ASSERT_EQ(h.Save(), 0);
    CReportFile* f = h.GetReportFile();
    const size_t pageBytes = size_t(r) * c * kSlotSize;
    for (int p = 1; p <= 14; ++p) ASSERT_TRUE(h.GetPage(p));
    EXPECT_LE(size_t(f->LoadedPageCount()) * pageBytes, kPageCacheBytes + pageBytes);
    EXPECT_TRUE(f->IsPageLoaded(14));
    // Changed pages stay (or go to the spill file) whatever their size.
    for (int p = 1; p <= 14; ++p) h.GetPage(p)->SetNumber(1, 1, p);
    EXPECT_EQ(f->LoadedPageCount(), 14);
    for (int p = 1; p <= 14; ++p) EXPECT_EQ(h.GetPage(p)->Slot(1, 1).numberValue(), p);
}

TEST(ReadPaths, KeywordsOfSpilledAndReshapedPagesReadAsTheyWereSet) {
    const QString path = qortest::freshDir("read-keywords-spill") + "/spill.rep";
    CReportHandle h(path);
    h.AppendRowColPage(24, 2);
    ASSERT_EQ(h.EnterDataState(0), 0);
    ASSERT_EQ(h.Save(), 0);
    // More changed pages than the cache keeps: the first ones are spilled.
    for (int p = 1; p <= 24; ++p) ASSERT_EQ(h.SetPageKeyword(2, {1, 100.0 + p, {}}, p, 0), 0);
    CReportFile* f = h.GetReportFile();
    ASSERT_FALSE(f->IsPageLoaded(1));
    KeywordValue v;
    for (int p = 1; p <= 24; ++p) {
        ASSERT_EQ(h.GetPageKeyword(2, &v, p), 0) << p;
        EXPECT_EQ(v.number, 100.0 + p);
    }
    // Pages stored in the shape before a format edit keep their keywords.
    ASSERT_EQ(h.Save(), 0);
    ASSERT_EQ(h.EnterFormatState(), 0);
    uint16_t r = 60, c = 9;
    ASSERT_EQ(h.AccessTableSize(1, &r, &c), 0);
    ASSERT_EQ(h.EnterDataState(0), 0);
    for (int p : {1, 24}) {
        ASSERT_EQ(h.GetPageKeyword(2, &v, p), 0);
        EXPECT_EQ(v.number, 100.0 + p);
    }
}

TEST(ReadPaths, AChosenPageIsReadOnFirstUseAndOnlyItself) {
    const QString path = keywordReport(qortest::freshDir("read-chosen-page"));
    CReportHandle h(path, CReportHandle::OpenMode::OpenExisting, CReportHandle::Access::Read);
    ASSERT_TRUE(h.IsOpen());
    CReportFile* f = h.GetReportFile();
    // What a host does: format state and back, the first page chosen, then
    // the page it wants.
    ASSERT_EQ(h.EnterFormatState(), 0);
    ASSERT_EQ(h.EnterDataState(), 0);
    ASSERT_EQ(h.SelectCurPage(1), 0);
    ASSERT_EQ(h.SelectCurPage(4), 0);
    EXPECT_EQ(h.GetCurPage(), 4);
    EXPECT_EQ(h.GetPageReadCount(), 0u);
    CellValue v;
    ASSERT_EQ(h.GetCellValue(&v, 3, 4, 0), 0);
    EXPECT_EQ(v.number, 6.0);
    EXPECT_EQ(h.GetPageReadCount(), 1u);
    EXPECT_FALSE(f->IsPageLoaded(1));
    ASSERT_TRUE(h.GetCurrentPage());
    EXPECT_EQ(h.GetCurrentPage()->Text(40, 9), QStringLiteral("末格4"));
    EXPECT_EQ(h.GetPageReadCount(), 1u);

    // Keywords of a chosen page asked slot by slot check its record once
    // and build no page; a change made afterwards is what is read back.
    ASSERT_EQ(h.SelectCurPage(2), 0);
    KeywordValue k;
    for (int slot = 0; slot < kPageKeywordSlots; ++slot) ASSERT_EQ(h.GetPageKeyword(slot, &k, 0), 0);
    EXPECT_EQ(h.GetPageReadCount(), 2u);
    EXPECT_FALSE(f->IsPageLoaded(2));
    ASSERT_EQ(h.GetPageKeyword(0, &k, 0), 0);
    EXPECT_EQ(k.text, QStringLiteral("单位2"));
    ASSERT_EQ(h.SetPageKeyword(0, {2, 0, QStringLiteral("改")}, 0, 0), 0);
    ASSERT_EQ(h.GetPageKeyword(0, &k, 0), 0);
    EXPECT_EQ(k.text, QStringLiteral("改"));
    ASSERT_EQ(h.GetPageKeyword(2, &k, 0), 0);
    EXPECT_EQ(k.number, 2002.0);

    // Deleting the current page chooses the next one, read when used.
    ASSERT_EQ(h.DeleteRowColPage(2, 1, 2), 0);
    EXPECT_EQ(h.GetCurPage(), 2);
    ASSERT_EQ(h.GetCellValue(&v, 3, 4, 0), 0);
    EXPECT_EQ(v.number, 4.5);
}

TEST(ReadPaths, ADamagedChosenPageFailsItsFirstUseAndNeverReadsWrong) {
    const QString path = keywordReport(qortest::freshDir("read-chosen-damaged"));
    const std::vector<BlobEntry> records = pageRecords(path);
    // The slot of (3,4) on page 3: a flipped bit there must not read as
    // another amount.
    xorStreamByte(path, records[2].offset + kPageRecordHeaderSize + (2u * 9u + 3u) * kSlotSize + 6);
    CReportHandle h(path, CReportHandle::OpenMode::OpenExisting, CReportHandle::Access::Read);
    ASSERT_TRUE(h.IsOpen());
    ASSERT_EQ(h.SelectCurPage(3), 0);
    CellValue v;
    EXPECT_EQ(h.GetCellValue(&v, 3, 4, 0), code(Status::CorruptReport));
    KeywordValue k;
    EXPECT_EQ(h.GetPageKeyword(0, &k, 0), code(Status::CorruptReport));
    EXPECT_EQ(h.GetCurrentPage(), nullptr);
    EXPECT_EQ(h.SetCurPage(3), 1);  // choosing and reading at once fails at once
    // The damage stays with its page.
    ASSERT_EQ(h.SelectCurPage(4), 0);
    ASSERT_EQ(h.GetCellValue(&v, 3, 4, 0), 0);
    EXPECT_EQ(v.number, 6.0);
}

TEST(ReadPaths, PagesDecodedIntoReusedMemoryReadTheirOwnBytesAndStillFailDamage) {
    const QString path = qortest::freshDir("read-reused-block") + "/reuse.rep";
    {
        CReportHandle h(path);
        uint16_t r = 2000, c = 255;  // 6 MB of slots a page: a large block
        h.AccessTableSize(1, &r, &c);
        h.AppendRowColPage(3, 2);
        ASSERT_EQ(h.EnterDataState(0), 0);
        for (int p = 1; p <= 3; ++p) {
            auto page = h.GetPage(p);
            page->SetNumber(1, 1, p);
            page->SetNumber(2000, 255, p * 10.0);
            page->SetText(7, 7, QStringLiteral("页%1").arg(p));
        }
        ASSERT_EQ(h.Save(), 0);
    }
    const std::vector<BlobEntry> records = pageRecords(path);
    xorStreamByte(path, records[2].offset + kPageRecordHeaderSize + 1000 * 255 * kSlotSize + 5);
    CReportHandle h(path, CReportHandle::OpenMode::OpenExisting, CReportHandle::Access::Read);
    const char* first = h.GetPage(1)->Fixed().slotData();
    // Page 2 pushes page 1 out of the cache; damaged page 3 is decoded
    // into page 1's memory and refused, and page 1 read again gets it back.
    ASSERT_TRUE(h.GetPage(2));
    ASSERT_FALSE(h.GetReportFile()->IsPageLoaded(1));
    uint16_t status = 0;
    EXPECT_FALSE(h.GetPage(3, &status));
    EXPECT_EQ(status, code(Status::CorruptReport));
    auto again = h.GetPage(1);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->Fixed().slotData(), first);
    EXPECT_EQ(again->Slot(1, 1).numberValue(), 1.0);
    EXPECT_EQ(again->Slot(2000, 255).numberValue(), 10.0);
    EXPECT_EQ(again->Text(7, 7), QStringLiteral("页1"));
    EXPECT_EQ(h.GetPage(2)->Slot(2000, 255).numberValue(), 20.0);
}

TEST(ReadPaths, SlotCheckFindsABadSlotWhereverItLies) {
    // 50 slots: three runs of sixteen and a tail of two. Numbers, blanks
    // and texts inside a heap of 10 units pass.
    SlotGrid g(1, 50);
    for (uint16_t i = 0; i < 50; i += 3) g.setNumber(0, i, i);
    g.setText(0, 20, u"abcd");
    g.setText(0, 49, u"xyz");
    ASSERT_TRUE(g.validate());
    const uint64_t heap = g.heapChars();
    std::vector<char> bytes(g.slotData(), g.slotData() + g.slotBytes());
    EXPECT_TRUE(SlotGrid::validSlots(bytes.data(), 50, heap));
    // A text reaching past the heap, at the start of a run, inside one,
    // and in the tail.
    EXPECT_FALSE(SlotGrid::validSlots(bytes.data(), 50, heap - 1));
    for (size_t slot : {size_t(0), size_t(17), size_t(31), size_t(48)}) {
        std::vector<char> bad = bytes;
        for (uint8_t tag : {uint8_t(3), uint8_t(0x81), uint8_t(0xFF)}) {
            bad[slot * kSlotSize] = char(tag);
            EXPECT_FALSE(SlotGrid::validSlots(bad.data(), 50, heap)) << slot << " " << int(tag);
        }
        // A text tag over a number's bytes points anywhere.
        bad = bytes;
        bad[slot * kSlotSize] = char(kSlotText);
        bad[slot * kSlotSize + 7] = char(0x7F);
        EXPECT_FALSE(SlotGrid::validSlots(bad.data(), 50, heap)) << slot;
    }
}
