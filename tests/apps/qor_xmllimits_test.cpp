// Hostile and damaged input files at the command line: each is refused with
// the import's message and exit 1 (or listed, exit 3, when the rest came
// in), in bounded memory, and leaves no report behind.
#include <gtest/gtest.h>

#include <QFile>

#include "engine/messages.h"
#include "tests/common/testsupport.h"

namespace {

// The host under a 1 GiB address limit.
qortest::ProcessResult qorUnderOneGiB(const QStringList& args) {
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer reserves far more address space than any limit allows.
    return qortest::run(QStringLiteral(QOR_APP_BINARY), args);
#endif
    return qortest::run(QStringLiteral("prlimit"),
                        QStringList{QStringLiteral("--as=1073741824"),
                                    QStringLiteral(QOR_APP_BINARY)} +
                            args);
}

using qortest::writeFile;

// 171 KB: 40,000 references to one entity of 50,000 characters.
QByteArray referencesTo50k(const QByteArray& root, const QByteArray& open,
                           const QByteArray& close) {
    return "<?xml version=\"1.0\"?>\n<!DOCTYPE " + root + " [<!ENTITY e \"" +
           QByteArray(50000, 'a') + "\">]>\n" + open + QByteArray("&e;").repeated(40000) + close;
}

TEST(QorXmlLimits, TheEntityFileIsRefusedByBothXmlImportsUnderOneGiB) {
    if (!qortest::needProgram(QStringLiteral("prlimit"))) GTEST_SKIP() << "no prlimit";
    const QString dir = qortest::freshDir(QStringLiteral("qor-entities"));
    writeFile(dir + "/own.xml",
              referencesTo50k("iqor_export",
                              "<iqor_export export_type=\"qor_report\" format=\"1\" data=\"1\" "
                              "formula=\"1\" repname=\"x\"><cell_property><start_row>1</start_row>"
                              "<start_col>1</start_col><end_row>1</end_row><end_col>1</end_col>"
                              "<data_type>15</data_type><cell_value/><cell_value>",
                              "</cell_value></cell_property></iqor_export>\n"));
    writeFile(dir + "/book.xml",
              referencesTo50k("Workbook",
                              "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\" "
                              "xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">"
                              "<Worksheet ss:Name=\"S\"><Table><Row><Cell><Data ss:Type=\"String\">",
                              "</Data></Cell></Row></Table></Worksheet></Workbook>\n"));
    const QString parseMessage = LoadErrorText(qor::str::kUnsupportedXml);
    const auto own = qorUnderOneGiB({"import-xml", dir + "/own.xml", dir + "/own.rep"});
    const auto book = qorUnderOneGiB({"convert", dir + "/book.xml", dir + "/book.rep"});
    for (const auto* r : {&own, &book}) {
        EXPECT_EQ(r->exitCode, 1) << r->err.constData();
        const QString err = QString::fromUtf8(r->err);
        EXPECT_TRUE(err.contains(parseMessage) && err.contains(QStringLiteral("实体")))
            << qPrintable(err);
    }
    EXPECT_FALSE(QFile::exists(dir + "/own.rep"));
    EXPECT_FALSE(QFile::exists(dir + "/book.rep"));
}

// A package whose second sheet (when `twoSheets`) or only sheet is the
// relationship of styles.xml.
const char* kStylesSheet = R"PY(
import sys, zipfile
path, two = sys.argv[1], sys.argv[2] == "2"
ns = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
rt = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
sheets = [("Good", "rId1"), ("Bad", "rId9")] if two else [("Bad", "rId9")]
z = zipfile.ZipFile(path, "w")
z.writestr("_rels/.rels", '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="' + rt + 'officeDocument" Target="xl/workbook.xml"/></Relationships>')
z.writestr("xl/workbook.xml", '<workbook ' + ns + ' xmlns:r="' + rt[:-1] + '"><sheets>' + "".join('<sheet name="%s" sheetId="%d" r:id="%s"/>' % (n, i + 1, r) for i, (n, r) in enumerate(sheets)) + '</sheets></workbook>')
z.writestr("xl/_rels/workbook.xml.rels", '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="' + rt + 'worksheet" Target="worksheets/sheet1.xml"/><Relationship Id="rId9" Type="' + rt + 'styles" Target="styles.xml"/></Relationships>')
z.writestr("xl/styles.xml", '<styleSheet ' + ns + '/>')
z.writestr("xl/worksheets/sheet1.xml", '<worksheet ' + ns + '><sheetData><row r="1"><c r="A1"><v>7</v></c></row></sheetData></worksheet>')
z.close()
)PY";

TEST(QorXmlLimits, AWorkbookSheetThatIsStylesXmlIsNamedAndNotAnEmptyPage) {
    const QString dir = qortest::freshDir(QStringLiteral("qor-stylessheet"));
    for (const char* sheets : {"1", "2"}) {
        const QString book = dir + QStringLiteral("/s%1.xlsx").arg(QLatin1String(sheets));
        ASSERT_EQ(qortest::python(QString::fromUtf8(kStylesSheet), {book, QLatin1String(sheets)})
                      .exitCode,
                  0);
        const QString rep = dir + QStringLiteral("/s%1.rep").arg(QLatin1String(sheets));
        const auto r = qortest::run(QStringLiteral(QOR_APP_BINARY), {"convert", book, rep});
        const QString err = QString::fromUtf8(r.err);
        EXPECT_TRUE(err.contains(QStringLiteral("xl/styles.xml"))) << qPrintable(err);
        if (QByteArray(sheets) == "1") {
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_FALSE(QFile::exists(rep));
        } else {
            // The good sheet came in; the other is listed as left out.
            EXPECT_EQ(r.exitCode, 3) << qPrintable(err);
            const auto got = qortest::run(QStringLiteral(QOR_APP_BINARY), {"get", rep, "1", "1", "1"});
            EXPECT_EQ(got.out.trimmed(), "7");
        }
    }
}

}  // namespace
