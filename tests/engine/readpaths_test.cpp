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
#include "tests/common/testsupport.h"

using namespace qor;

TEST(ReadPaths, FoldedCrcAgreesWithTablesAtEveryLengthAndAlignment) {
    std::mt19937 rng(7);
    std::vector<uint8_t> buf(70000);
    for (auto& b : buf) b = uint8_t(rng());
    // Lengths around the folding thresholds, odd starts, a running value.
    for (size_t start : {0, 1, 3, 15}) {
        for (size_t len : {0, 1, 63, 64, 255, 256, 257, 271, 1000, 4096, 65537}) {
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
