// The .xlsx reader gives the same workbook as the reader before it, which
// built a tree of each row: on the foreign sample files, on the seeds of
// the reader's fuzz target and on worksheets written to try the corners of
// the markup (prefixes, blank and preserved text, entities, CDATA, cells
// and rows without references, odd numbers, documents with a DTD or in
// another encoding). Each workbook is reduced to a digest of everything
// the model holds; the digests were taken with the earlier reader (those
// holding error cells again since errors come in as their texts).

#include <gtest/gtest.h>
#include <zip.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <map>

#include "exchange/workbook_read.h"
#include "fuzz/fuzzsupport.h"
#include "tests/common/testsupport.h"
#include "tests/exchange/ownxml_testutil.h"

namespace {

using namespace qor;

void dumpStyle(const XlStyle& s, QByteArray& out) {
    out += s.numberFormat.toUtf8() + '|' + s.fontName.toUtf8() + '|' +
           QByteArray::number(s.fontSize, 'g', 17) + '|' + char('0' + s.bold) +
           char('0' + s.italic) + QByteArray::number(s.underline) + '|' +
           QByteArray::number(s.fontColor) + '|' + char('0' + s.hasFill) +
           QByteArray::number(s.fillColor) + '|' + QByteArray::number(s.hAlign) + ',' +
           QByteArray::number(s.vAlign) + ',' + char('0' + s.wrap);
    for (const XlBorder& b : {s.left, s.top, s.bottom, s.right})
        out += '|' + QByteArray::number(b.lineStyle) + ',' + QByteArray::number(b.weight);
}

// Everything the workbook model holds, as text.
QByteArray dump(const XlWorkbook& wb) {
    QByteArray out = "active " + QByteArray::number(wb.activeIndex()) + '\n';
    for (const auto& ws : wb.sheets()) {
        out += "sheet " + ws->name().toUtf8() + " unread " + ws->unreadPart().toUtf8() + " width " +
               QByteArray::number(ws->defaultColumnWidth(), 'g', 17) + '\n';
        for (const auto& [col, w] : ws->columnWidths())
            out += "col " + QByteArray::number(col) + ' ' + QByteArray::number(w, 'g', 17) + '\n';
        for (const auto& [row, h] : ws->rowHeights())
            out += "row " + QByteArray::number(row) + ' ' + QByteArray::number(h, 'g', 17) + '\n';
        for (const XlArea& m : ws->merges())
            out += "merge " + QByteArray::number(m.r1) + ',' + QByteArray::number(m.c1) + ':' +
                   QByteArray::number(m.r2) + ',' + QByteArray::number(m.c2) + '\n';
        for (const auto& [pos, cell] : ws->cells()) {
            out += "cell " + QByteArray::number(pos.first) + ',' + QByteArray::number(pos.second) +
                   ' ' + QByteArray::number(int(cell.kind)) + char('0' + cell.formula) + ' ' +
                   QByteArray::number(cell.number, 'g', 17) + " [" + cell.text.toUtf8() + "] ";
            dumpStyle(cell.style(), out);
            out += '\n';
        }
    }
    for (const XlDefinedName& d : wb.definedNames())
        out += "name " + d.name.toUtf8() + ' ' + QByteArray::number(d.sheet) + ' ' +
               QByteArray::number(d.area.r1) + ',' + QByteArray::number(d.area.c1) + ':' +
               QByteArray::number(d.area.r2) + ',' + QByteArray::number(d.area.c2) + ' ' +
               QByteArray::number(d.scope) + char('0' + d.hidden) + '\n';
    return out;
}

// "error" when the file is refused, else the digest of what was read.
QByteArray outcome(const QString& path) {
    try {
        const std::unique_ptr<XlWorkbook> wb = ReadXlsxWorkbook(path);
        return QCryptographicHash::hash(dump(*wb), QCryptographicHash::Sha1).toHex().left(16);
    } catch (const XlError&) {
        return "error";
    }
}

bool pack(const QString& path, const std::vector<std::pair<QByteArray, QByteArray>>& parts) {
    int err = 0;
    zip_t* z = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (!z) return false;
    for (const auto& [name, content] : parts) {
        zip_source_t* src =
            zip_source_buffer(z, content.constData(), zip_uint64_t(content.size()), 0);
        if (src && zip_file_add(z, name.constData(), src, ZIP_FL_ENC_UTF_8) < 0)
            zip_source_free(src);
    }
    return zip_close(z) == 0;
}

// A fuzz seed as the target reads it: a whole file, or parts to pack.
QString fromSeed(const QString& seed, const QString& dir) {
    QFile f(seed);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray data = f.readAll();
    const QString path = dir + QStringLiteral("/seed-") + QFileInfo(seed).fileName() + ".xlsx";
    if (data.isEmpty()) return {};
    if (data[0] & 1) {
        std::vector<std::pair<QByteArray, QByteArray>> parts;
        for (const QByteArray& part :
             qorfuzz::splitParts(data.constData() + 1, size_t(data.size() - 1))) {
            const qsizetype nl = part.indexOf('\n');
            if (nl > 0) parts.emplace_back(part.left(nl), part.mid(nl + 1));
        }
        if (!pack(path, parts)) return {};
    } else {
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly)) return {};
        out.write(data.mid(1));
    }
    return path;
}

const char* kNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

// A workbook of one sheet holding the given worksheet markup.
QString bookWith(const QString& dir, const QString& name, const QByteArray& sheet,
                 const QByteArray& strings = QByteArray()) {
    const QByteArray rels =
        R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="r1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/><Relationship Id="r2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/><Relationship Id="r3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/></Relationships>)";
    const QByteArray book =
        R"(<?xml version="1.0"?><workbook xmlns=")" + QByteArray(kNs) +
        R"(" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets><sheet name="S" sheetId="1" r:id="r1"/></sheets></workbook>)";
    const QByteArray styles =
        R"(<?xml version="1.0"?><styleSheet xmlns=")" + QByteArray(kNs) +
        R"("><numFmts><numFmt numFmtId="164" formatCode="yyyy-mm-dd"/></numFmts><fonts><font><sz val="11"/><name val="Calibri"/></font><font><b/><sz val="12"/><name val="Arial"/></font></fonts><fills><fill><patternFill patternType="none"/></fill></fills><borders><border/></borders><cellXfs><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/><xf numFmtId="164" fontId="0"/><xf numFmtId="4" fontId="1"/></cellXfs></styleSheet>)";
    const QByteArray sst =
        strings.isNull()
            ? R"(<?xml version="1.0"?><sst xmlns=")" + QByteArray(kNs) +
                  R"("><si><t>one</t></si><si><r><t>t</t></r><r><t xml:space="preserve"> wo</t></r><rPh><t>x</t></rPh></si><si><t>  </t></si><si><t xml:space="preserve">  </t></si><si><t>a_x000D_b</t></si></sst>)"
            : strings;
    const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".xlsx");
    const bool ok = pack(path, {{"xl/workbook.xml", book},
                                {"xl/_rels/workbook.xml.rels", rels},
                                {"xl/styles.xml", styles},
                                {"xl/sharedStrings.xml", sst},
                                {"xl/worksheets/sheet1.xml", sheet}});
    return ok ? path : QString();
}

QByteArray sheet(const QByteArray& body, const QByteArray& head = "<?xml version=\"1.0\"?>") {
    return head + "<worksheet xmlns=\"" + kNs + "\">" + body + "</worksheet>";
}

// Worksheets that try the corners of the markup.
std::map<QString, std::pair<QByteArray, QByteArray>> variants() {
    std::map<QString, std::pair<QByteArray, QByteArray>> v;
    auto add = [&](const char* name, const QByteArray& s, const QByteArray& strings = {}) {
        v[QString::fromLatin1(name)] = {s, strings};
    };
    add("plain",
        sheet(
            R"(<dimension ref="A1:C3"/><sheetFormatPr defaultColWidth="11.5"/><cols><col min="1" max="2" width="20.7"/><col min="3" max="3" hidden="1"/></cols><sheetData><row r="1" ht="30"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c><c r="C1" s="2"><v>1234.5</v></c></row><row r="3" hidden="1"><c r="A3" t="s"><v> 2 </v></c><c r="B3" t="s"><v>3</v></c><c r="C3" t="s"><v>4</v></c></row></sheetData><mergeCells><mergeCell ref="A1:B2"/><mergeCell ref="C3"/></mergeCells>)"));
    add("prefixed",
        R"(<?xml version="1.0"?><x:worksheet xmlns:x=")" + QByteArray(kNs) +
            R"("><x:sheetData><x:row><x:c t="inlineStr"><x:is><x:t>in</x:t></x:is></x:c><x:c><x:v>2</x:v></x:c></x:row><x:row><x:c r="C2"><x:f>1+1</x:f><x:v>2</x:v></x:c></x:row></x:sheetData></x:worksheet>)");
    add("noRefs",
        sheet(
            R"(<sheetData><row><c><v>1</v></c><c/><c s="1"/><c><v>3</v></c></row><row r="5"><c><v>5</v></c><c r="D5"><v>6</v></c><c><v>7</v></c></row><row><c t="b"><v>1</v></c><c t="b"><v>true</v></c><c t="b"><v>0</v></c></row></sheetData>)"));
    add("numbers",
        sheet(
            R"(<sheetData><row r="1"><c r="A1"><v> 12.5 </v></c><c r="B1"><v>1E3</v></c><c r="C1"><v>-0</v></c><c r="D1"><v>.5</v></c><c r="E1"><v>+3</v></c><c r="F1"><v>0.1</v></c><c r="G1"><v>1.7976931348623157e308</v></c><c r="H1"><v>4.9e-324</v></c><c r="I1"><v>123456789012345678901234567890</v></c><c r="J1"><v>	7
</v></c><c r="K1"><v></v></c><c r="L1"><v>   </v></c><c r="M1"><v>&#x3000;8</v></c></row></sheetData>)"));
    add("badNumber", sheet(R"(<sheetData><row><c><v>1,5</v></c></row></sheetData>)"));
    add("infinite", sheet(R"(<sheetData><row><c><v>inf</v></c></row></sheetData>)"));
    add("texts",
        sheet(
            R"(<sheetData><row><c t="str"><v>  </v></c><c t="str"><v xml:space="preserve">  </v></c><c t="str"><v>a &amp; b &lt;c&gt; &#x4E2D;</v></c><c t="str"><v><![CDATA[ <raw> ]]></v></c><c t="str"><v>x<!-- note --> y</v></c><c t="str"><v>p<?pi data?>q</v></c><c t="inlineStr"><is><r><t>a</t></r><r><rPr><b/></rPr><t xml:space="preserve"> b </t></r><rPh><t>ph</t></rPh></is></c><c t="inlineStr"><v>v_x0009_w</v></c><c t="inlineStr"><is><t>   </t></is></c><c t="inlineStr"><is><t>1</t></is><is><t>2</t></is></c><c t="str"><v>first</v><v>second</v></c><c t="e"><v>#N/A</v></c><c t="d" s="1"><v>2024-02-29T00:00:00</v></c><c t="d"><v>2024-02-29</v></c><c t="d"><v>not a date</v></c></row></sheetData>)"));
    add("preserveAll",
        R"(<?xml version="1.0"?><worksheet xml:space="preserve" xmlns=")" + QByteArray(kNs) +
            R"("><sheetData><row><c t="str"><v> </v></c><c t="inlineStr"><is><t xml:space="default"> </t></is></c></row></sheetData></worksheet>)");
    add("formulas",
        sheet(
            R"(<sheetData><row r="2"><c r="B2"><f>A1</f></c><c r="C2" s="0"><f t="shared" si="0"/><v></v></c><c r="D2" t="str"><f>"a"</f><v></v></c><c r="E2"><f>1/0</f><v>3</v></c></row></sheetData>)"));
    add("dates",
        sheet(
            R"(<sheetData><row><c s="1"><v>45000</v></c><c s="1"><v>45000.75</v></c><c s="2"><v>45000</v></c></row></sheetData>)"));
    add("outOfOrder",
        sheet(
            R"(<sheetData><row r="4"><c r="C4"><v>1</v></c><c r="A4"><v>2</v></c></row><row r="2"><c r="B2"><v>3</v></c><c r="B2"><v>4</v></c></row></sheetData>)"));
    add("elsewhere",
        sheet(
            R"(<row r="9"><c><v>1</v></c></row><sheetData><row><c><v>2</v></c><x><c><v>3</v></c></x><c><x><v>4</v></x><v>5</v></c></row><mergeCells><mergeCell ref="A1:A2"/></mergeCells><cols><col min="4" max="4" width="3"/></cols></sheetData><sheetData><row><c><v>6</v></c></row></sheetData><other><cols><col min="5" max="5" width="3"/></cols></other>)"));
    add("baseWidth", sheet(R"(<sheetFormatPr baseColWidth="10"/><sheetData/>)"));
    add("badStyle", sheet(R"(<sheetData><row><c s="9"><v>1</v></c></row></sheetData>)"));
    add("badString", sheet(R"(<sheetData><row><c t="s"><v>99</v></c></row></sheetData>)"));
    add("badRef", sheet(R"(<sheetData><row><c r="XFE1"><v>1</v></c></row></sheetData>)"));
    add("badRow", sheet(R"(<sheetData><row r="0"><c><v>1</v></c></row></sheetData>)"));
    add("badHeight", sheet(R"(<sheetData><row r="1" ht="500"/></sheetData>)"));
    add("badDimension", sheet(R"(<dimension ref="A0"/><sheetData/>)"));
    add("badMerge", sheet(R"(<sheetData/><mergeCells><mergeCell ref="A1:"/></mergeCells>)"));
    add("badColumn", sheet(R"(<cols><col min="3" max="2"/></cols><sheetData/>)"));
    add("notWellFormed", sheet(R"(<sheetData><row><c><v>1</v></c></row>)"));
    add("notASheet", R"(<?xml version="1.0"?><styleSheet xmlns=")" + QByteArray(kNs) + R"("/>)");
    add("empty", QByteArray());
    add("entities",
        R"(<?xml version="1.0"?><!DOCTYPE worksheet [<!ENTITY co "公司 &amp; co"><!ENTITY sp " ">]><worksheet xmlns=")" +
            QByteArray(kNs) +
            R"("><sheetData><row><c t="str"><v>&co;</v></c><c t="str"><v>&sp;</v></c><c t="inlineStr" r="&#x43;1"><is><t>&co;!</t></is></c></row></sheetData></worksheet>)",
        R"(<?xml version="1.0"?><!DOCTYPE sst [<!ENTITY x "ex">]><sst xmlns=")" + QByteArray(kNs) +
            R"("><si><t>&x;</t></si></sst>)");
    add("undeclaredEntity",
        sheet(R"(<sheetData><row><c t="str"><v>&nope;</v></c></row></sheetData>)"));
    add("gb2312",
        sheet("<sheetData><row><c t=\"str\"><v>\xd6\xd0\xce\xc4</v></c></row></sheetData>",
              "<?xml version=\"1.0\" encoding=\"GB2312\"?>"));
    const QByteArray utf16 =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-16\"?><worksheet xmlns=\"%1\">"
            "<sheetData><row><c t=\"str\"><v>中文</v></c><c><v> 2.5</v></c></row>"
            "</sheetData></worksheet>")
            .arg(QLatin1String(kNs))
            .toUtf8();
    const QString text = QString::fromUtf8(utf16);
    QByteArray le(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    add("utf16Marked", QByteArray("\xff\xfe") + le);
    add("utf16Unmarked", le);
    add("utf8Declared",
        sheet("<sheetData><row><c t=\"str\"><v>\xe4\xb8\xad</v></c></row></sheetData>",
              "\xef\xbb\xbf<?xml version='1.0' encoding='utf-8' standalone='yes'?>"));
    add("attributeEntities",
        sheet(
            R"(<sheetData><row r="&#49;"><c r="A&#49;" s="&#x31;" t="&#115;tr"><v>v</v></c></row></sheetData><mergeCells><mergeCell ref="A1&#x3A;B1"/></mergeCells>)"));
    add("blankStrings",
        sheet(R"(<sheetData><row><c t="s"><v>2</v></c><c t="s"><v>3</v></c></row></sheetData>)"),
        R"(<?xml version="1.0"?><sst xmlns=")" + QByteArray(kNs) +
            R"("><si><t>a</t></si><si>
  <r><t>b</t></r>
  <r><t> </t></r>
</si><si><t><![CDATA[ ]]></t></si><si xml:space="preserve"><t> </t></si><other><t>no</t></other></sst>)");
    add("badStrings", sheet(R"(<sheetData/>)"), R"(<sst><si><t>a</t></si>)");
    return v;
}

// The digests the earlier reader gave.
const std::map<QString, QByteArray>& expected() {
    static const std::map<QString, QByteArray> digests = {
        {QStringLiteral("foreign/dates1904_openpyxl.xlsx"), "6e40891db4337c86"},
        {QStringLiteral("foreign/formulas_lo.xlsx"), "e58cf86a80c7dec8"},
        {QStringLiteral("foreign/formulas_openpyxl.xlsx"), "a229c8688238b12a"},
        {QStringLiteral("foreign/norefs_openpyxl.xlsx"), "a229c8688238b12a"},
        {QStringLiteral("seed/book-file"), "8965742cedf7b11c"},
        {QStringLiteral("seed/book-parts"), "8965742cedf7b11c"},
        {QStringLiteral("seed/dates1904_openpyxl"), "6e40891db4337c86"},
        {QStringLiteral("seed/decimals_openpyxl"), "9fd58793322c63d1"},
        {QStringLiteral("seed/entity-refs"), "error"},
        {QStringLiteral("seed/errors_openpyxl"), "a38db9da8ec49f44"},
        {QStringLiteral("seed/formulas_lo"), "e58cf86a80c7dec8"},
        {QStringLiteral("seed/formulas_openpyxl"), "a229c8688238b12a"},
        {QStringLiteral("seed/merged_openpyxl"), "5597871c753cc9d2"},
        {QStringLiteral("seed/norefs_openpyxl"), "a229c8688238b12a"},
        {QStringLiteral("seed/sheet-is-styles"), "e195bd119260e798"},
        {QStringLiteral("seed/utf7-empty-root"), "37a59c3f9adc611b"},
        {QStringLiteral("variant/attributeEntities"), "45003a93812945a9"},
        {QStringLiteral("variant/badColumn"), "error"},
        {QStringLiteral("variant/badDimension"), "error"},
        {QStringLiteral("variant/badHeight"), "error"},
        {QStringLiteral("variant/badMerge"), "error"},
        {QStringLiteral("variant/badNumber"), "error"},
        {QStringLiteral("variant/badRef"), "error"},
        {QStringLiteral("variant/badRow"), "error"},
        {QStringLiteral("variant/badString"), "error"},
        {QStringLiteral("variant/badStrings"), "error"},
        {QStringLiteral("variant/badStyle"), "error"},
        {QStringLiteral("variant/baseWidth"), "de44d8c8345db0b5"},
        {QStringLiteral("variant/blankStrings"), "aec2d3a713aa7a6f"},
        {QStringLiteral("variant/dates"), "15859f5376cc333e"},
        {QStringLiteral("variant/elsewhere"), "6356483bab7ad427"},
        {QStringLiteral("variant/empty"), "error"},
        {QStringLiteral("variant/entities"), "e1096625ba3a661b"},
        {QStringLiteral("variant/formulas"), "60a88b253568d066"},
        {QStringLiteral("variant/gb2312"), "0912bd311ebfb52f"},
        {QStringLiteral("variant/infinite"), "error"},
        {QStringLiteral("variant/noRefs"), "51835eeb2dce179d"},
        {QStringLiteral("variant/notASheet"), "af599a28069ae7b6"},
        {QStringLiteral("variant/notWellFormed"), "error"},
        {QStringLiteral("variant/numbers"), "dfbd54f34cb2efb3"},
        {QStringLiteral("variant/outOfOrder"), "623d364a5b884c3f"},
        {QStringLiteral("variant/plain"), "10d4a6c2e2b338fc"},
        {QStringLiteral("variant/prefixed"), "da7eb3158cff77cc"},
        {QStringLiteral("variant/preserveAll"), "9ea0ad096a6372b4"},
        {QStringLiteral("variant/texts"), "034a9379b41629d5"},
        {QStringLiteral("variant/undeclaredEntity"), "error"},
        {QStringLiteral("variant/utf16Marked"), "17f50190ac9b566b"},
        {QStringLiteral("variant/utf16Unmarked"), "17f50190ac9b566b"},
        {QStringLiteral("variant/utf8Declared"), "52983d56c2e7c8a7"},
    };
    return digests;
}

TEST(XlsxReadEquality, SameWorkbooksAsTheTreeReader) {
    const QString dir = oxtest::testDir();
    std::map<QString, QString> files;
    for (const char* name : {"dates1904_openpyxl.xlsx", "formulas_lo.xlsx",
                             "formulas_openpyxl.xlsx", "norefs_openpyxl.xlsx"})
        files[QStringLiteral("foreign/") + QString::fromLatin1(name)] =
            QStringLiteral(QOR_TEST_SOURCE_DIR "/tests/exchange/foreign/") +
            QString::fromLatin1(name);
    const QDir seeds(QStringLiteral(QOR_TEST_SOURCE_DIR "/fuzz/corpus/fuzz_xlsx"));
    for (const QString& seed : seeds.entryList(QDir::Files))
        files[QStringLiteral("seed/") + seed] = fromSeed(seeds.filePath(seed), dir);
    for (const auto& [name, parts] : variants())
        files[QStringLiteral("variant/") + name] = bookWith(dir, name, parts.first, parts.second);

    QByteArray table;
    for (const auto& [name, path] : files) {
        ASSERT_FALSE(path.isEmpty()) << qPrintable(name);
        const QByteArray got = outcome(path);
        table += "        {QStringLiteral(\"" + name.toUtf8() + "\"), \"" + got + "\"},\n";
        const auto it = expected().find(name);
        EXPECT_TRUE(it != expected().end() && it->second == got)
            << qPrintable(name) << ": " << got.constData();
    }
    if (qEnvironmentVariableIsSet("QOR_PRINT_DIGESTS")) printf("%s", table.constData());
}

// With QOR_XLSX_DIGESTS naming a folder of fuzz inputs, prints each
// one's outcome: two builds of the reader are compared over a corpus so.
TEST(XlsxReadEquality, DigestsOfAFolder) {
    const QString folder = qEnvironmentVariable("QOR_XLSX_DIGESTS");
    if (folder.isEmpty()) GTEST_SKIP() << "no folder named";
    const QString dir = oxtest::testDir();
    const QDir inputs(folder);
    for (const QString& name : inputs.entryList(QDir::Files)) {
        const QString path = fromSeed(inputs.filePath(name), dir);
        printf("%s %s\n", qPrintable(name),
               path.isEmpty() ? "unpacked" : outcome(path).constData());
    }
}

}  // namespace
