#include "platform/bytes.h"

#include <gtest/gtest.h>

#include <array>

using namespace qor;

namespace {

const QByteArray kRecord("\x01\x02\x03\x04\x05\x06\x07\x08", 8);

TEST(Bytes, RandomAccessReadsInsideTheRecord) {
    bool ok = true;
    EXPECT_EQ(readLE16(kRecord, 0, &ok), 0x0201u);
    EXPECT_EQ(readLE32(kRecord, 4, &ok), 0x08070605u);
    EXPECT_EQ(readLE64(kRecord, 0, &ok), 0x0807060504030201ull);
    EXPECT_TRUE(ok);
}

TEST(Bytes, RandomAccessPastTheEndGivesZeroAndClearsOk) {
    // The last byte that still fits, one past it, a negative and a huge
    // offset whose sum with the width would wrap.
    bool ok = true;
    EXPECT_EQ(readLE16(kRecord, 6, &ok), 0x0807u);
    EXPECT_TRUE(ok);
    EXPECT_EQ(readLE16(kRecord, 7, &ok), 0u);
    EXPECT_FALSE(ok);
    ok = true;
    EXPECT_EQ(readLE32(kRecord, -1, &ok), 0u);
    EXPECT_FALSE(ok);
    ok = true;
    EXPECT_EQ(readLE64(kRecord, std::numeric_limits<qsizetype>::max() - 2, &ok), 0u);
    EXPECT_FALSE(ok);
    EXPECT_EQ(readLE32(QByteArrayView(), 0), 0u);  // no flag asked for
}

TEST(Bytes, StoresChangeOnlyWhatFits) {
    std::array<uint8_t, 6> b{};
    EXPECT_TRUE(storeLE32(b, 2, 0xA1B2C3D4u));
    EXPECT_EQ(b, (std::array<uint8_t, 6>{0, 0, 0xD4, 0xC3, 0xB2, 0xA1}));
    EXPECT_FALSE(storeLE16(b, 5, 0xFFFF));
    EXPECT_FALSE(storeLE64(b, 0, 1));
    EXPECT_EQ(b[5], 0xA1);
    QByteArray q(4, '\0');
    EXPECT_FALSE(storeLE32(q, -1, 1));
    EXPECT_TRUE(storeLE32(q, 0, 0x01020304u));
    EXPECT_EQ(readLE32(q, 0), 0x01020304u);
}

TEST(Bytes, SequentialReaderAsksWithoutFailing) {
    ByteReader r(kRecord);
    EXPECT_TRUE(r.has(8));
    EXPECT_FALSE(r.has(9));
    EXPECT_TRUE(r.ok());  // asking is not reading
    EXPECT_EQ(r.u32(), 0x04030201u);
    EXPECT_FALSE(r.need(5));
    EXPECT_FALSE(r.ok());
    EXPECT_FALSE(r.has(0));  // nothing more once a read has failed
    EXPECT_EQ(r.u16(), 0u);
}

}  // namespace
