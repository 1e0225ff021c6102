#include "platform/codepage.h"

#include <gtest/gtest.h>

#include "tests/common/testsupport.h"

using namespace qor;

// Readable failure messages for Qt strings.
static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

const QString kChinese = QStringLiteral("报表单位名称：北京公司 合计 2024年");

}  // namespace

TEST(CodePage, ChineseRoundTripMatchesPythonCp936) {
    bool lossless = false;
    const QByteArray bytes = encodeCp936(kChinese, &lossless);
    EXPECT_TRUE(lossless);
    EXPECT_EQ(decodeCp936(bytes), kChinese);
    // Known bytes: 报表 = B1A8 B1ED.
    EXPECT_TRUE(bytes.startsWith(QByteArray::fromHex("b1a8b1ed")));

    if (!qortest::needPythonModule("codecs")) GTEST_SKIP() << "no python3";
    const auto r = qortest::python(
        "import sys; sys.stdout.write(sys.argv[1].encode('cp936').hex())", {kChinese});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(bytes.toHex(), r.out);
}

TEST(CodePage, CharactersOutside936BecomeQuestionMarks) {
    bool lossless = true;
    // U+1F600 is a surrogate pair: one '?' for the whole character.
    EXPECT_EQ(encodeCp936(QString::fromUtf8("A\xF0\x9F\x98\x80报B"), &lossless),
              QByteArray("A?") + QByteArray::fromHex("b1a8") + "B");
    EXPECT_FALSE(lossless);

    // Unpaired surrogates anywhere, including the very end.
    const QChar hi(char16_t(0xD83D)), lo(char16_t(0xDE00));
    lossless = true;
    EXPECT_EQ(encodeCp936(QString(hi) + "x" + QString(lo) + "y" + QString(hi), &lossless),
              QByteArray("?x?y?"));
    EXPECT_FALSE(lossless);

    // The converter drops a tag character (U+E0041) without an error: the
    // text is still not whole.
    lossless = true;
    encodeCp936(QString::fromUtf8("\xE2\x80\xB2\xF3\xA0\x81\x81"), &lossless);
    EXPECT_FALSE(lossless);

    lossless = false;
    encodeCp936(QStringLiteral("plain ascii"), &lossless);
    EXPECT_TRUE(lossless);
}

TEST(CodePage, EuroSignSurvivesThe936SingleByte) {
    bool lossless = false;
    const QByteArray b = encodeCp936(QString(QChar(0x20AC)), &lossless);
    EXPECT_TRUE(lossless);
    EXPECT_EQ(b, QByteArray("\x80"));
    EXPECT_EQ(decodeCp936(b), QString(QChar(0x20AC)));
}

TEST(CodePage, InvalidBytesBecomeReplacementCharacters) {
    const QChar fffd(0xFFFD);
    // A bad trail byte costs only the lead byte: the ASCII after it stays.
    EXPECT_EQ(decodeCp936(QByteArray("A\x81 B")), QString("A") + fffd + " B");
    // Truncated at the end (lead byte, and three of a four-byte sequence).
    EXPECT_EQ(decodeCp936(QByteArray("x\xB1")), QString("x") + fffd);
    EXPECT_EQ(decodeCp936(QByteArray::fromHex("9439fc")).right(1), QString(fffd));
    EXPECT_EQ(decodeCp936(QByteArray("\xFF")), QString(fffd));
    // Four-byte GB18030 sequences decode into a surrogate pair.
    EXPECT_EQ(decodeCp936(QByteArray::fromHex("9439fc36")), QString::fromUtf8("\xF0\x9F\x98\x80"));
}

TEST(CodePage, EncodingNames) {
    const QByteArray gb = QByteArray::fromHex("b1a8b1ed");
    for (const char* name : {"GB2312", "gbk", "CP936", "GB18030"})
        EXPECT_EQ(decodeText(gb, name), QStringLiteral("报表")) << name;

    // GB18030 by name holds every character; the 936 names do not.
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    EXPECT_EQ(encodeText(emoji, "GB18030"), QByteArray::fromHex("9439fc36"));
    EXPECT_EQ(encodeText(emoji, "GB2312"), QByteArray("?"));

    const QString mixed = kChinese + emoji;
    EXPECT_EQ(decodeText(encodeText(mixed, "UTF-16LE"), "UTF-16LE"), mixed);
    EXPECT_EQ(encodeText(QStringLiteral("报"), "UTF-16LE"), QByteArray::fromHex("a562"));
    EXPECT_EQ(decodeText(encodeText(mixed, "UTF-8"), "utf-8"), mixed);
    // An odd byte count and malformed UTF-8 never crash.
    EXPECT_EQ(decodeText(QByteArray("a\0b", 3), "UTF-16LE"), QString("a") + QChar(0xFFFD));
    EXPECT_EQ(decodeText(QByteArray("a\xC3"), "UTF-8"), QString("a") + QChar(0xFFFD));
    // Unknown names fall back to UTF-8 instead of failing.
    EXPECT_EQ(decodeText(QByteArray("abc"), "no-such-charset"), QString("abc"));
}

// The names files give their code pages, and the one strict reading every
// reader of 8-bit text shares: a byte that is no character is told.
TEST(CodePage, NamedCodePagesAndStrictReading) {
    EXPECT_EQ(codePageEncoding("1253"), QByteArray("CP1253"));
    EXPECT_EQ(codePageEncoding(" windows-1251 "), QByteArray("CP1251"));
    EXPECT_EQ(codePageEncoding("ISO-8859-7"), QByteArray("ISO-8859-7"));
    EXPECT_EQ(codePageEncoding("65001"), QByteArray("UTF-8"));
    EXPECT_EQ(codePageEncoding("OEM"), QByteArray("CP936"));
    EXPECT_TRUE(codePageEncoding("9999").isEmpty());
    EXPECT_TRUE(codePageEncoding("KLINGON").isEmpty());
    // Converter options never come from a file.
    EXPECT_TRUE(codePageEncoding("CP1252//TRANSLIT").isEmpty());

    QString out;
    EXPECT_TRUE(decodeStrict(QByteArray::fromHex("c5ebebe7"), "CP1253", &out));
    EXPECT_EQ(out, QStringLiteral("Ελλη"));
    // 0xAA has no character in 1253.
    EXPECT_FALSE(decodeStrict(QByteArray("a\xAA"), "CP1253", &out));
    EXPECT_EQ(out, QString("a") + QChar(0xFFFD));
    // The 936 table's euro sign is a byte of 936, not of GB18030.
    EXPECT_TRUE(decodeStrict(QByteArray("\x80"), "CP936", &out));
    EXPECT_EQ(out, QString(QChar(0x20AC)));
    EXPECT_FALSE(decodeStrict(QByteArray("\x80"), "GB18030", &out));
    EXPECT_FALSE(decodeStrict(QByteArray("\xC3"), "UTF-8", &out));

    EXPECT_EQ(unmarkedEncoding("Caf\xC3\xA9"), QByteArray("UTF-8"));
    EXPECT_EQ(unmarkedEncoding(QByteArray::fromHex("d6d0cec4")), QByteArray("GB18030"));
    EXPECT_TRUE(unmarkedEncoding("\xe4\xb8\xad\xe6\x96\x87x\xed\xa0\x80y").isEmpty());
}
