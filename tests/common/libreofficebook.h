#pragma once
// A workbook as LibreOffice makes it, for the tests that open what a clerk
// receives: a flat spreadsheet document written here and converted by
// soffice at test time.

#include <gtest/gtest.h>

#include <QFile>
#include <QString>

#include "tests/common/testsupport.h"

namespace qortest {

// Column A 1.5 in, B left at the program's default width, C and D nearly
// as narrow as each other; every cell in General. Row 1: a text longer
// than its column, 23000, 0.125, 80000.5; row 2: 1/3, 0.1 + 0.2, 3, an
// empty cell; row 3: -2.5 and 1e20.
inline const char* kLibreOfficeFlatSheet = R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.2"
 office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
<office:automatic-styles>
<style:style style:name="wide" style:family="table-column"><style:table-column-properties style:column-width="1.5in"/></style:style>
<style:style style:name="narrow" style:family="table-column"><style:table-column-properties style:column-width="0.65in"/></style:style>
<style:style style:name="narrower" style:family="table-column"><style:table-column-properties style:column-width="0.62in"/></style:style>
</office:automatic-styles>
<office:body><office:spreadsheet><table:table table:name="收入">
<table:table-column table:style-name="wide"/><table:table-column/>
<table:table-column table:style-name="narrow"/><table:table-column table:style-name="narrower"/>
<table:table-row>
<table:table-cell office:value-type="string"><text:p>单位名称：北京分公司营业部</text:p></table:table-cell>
<table:table-cell office:value-type="float" office:value="23000"/>
<table:table-cell office:value-type="float" office:value="0.125"/>
<table:table-cell office:value-type="float" office:value="80000.5"/>
</table:table-row>
<table:table-row>
<table:table-cell office:value-type="float" office:value="0.333333333333333"/>
<table:table-cell office:value-type="float" office:value="0.30000000000000004"/>
<table:table-cell office:value-type="float" office:value="3"/>
<table:table-cell/>
</table:table-row>
<table:table-row>
<table:table-cell office:value-type="float" office:value="-2.5"/>
<table:table-cell office:value-type="float" office:value="1e20"/>
<table:table-cell/><table:table-cell office:value-type="string"><text:p>x</text:p></table:table-cell>
</table:table-row>
</table:table></office:spreadsheet></office:body></office:document>
)";

// book.EXT in dir, converted by LibreOffice with filter (for instance
// "xlsx:Calc MS Excel 2007 XML" or "xls:MS Excel 97") from the flat sheet
// above. The caller skips when soffice is missing.
inline QString libreOfficeBook(const QString& dir, const QString& ext, const QString& filter) {
    QFile flat(dir + QStringLiteral("/book.fods"));
    if (!flat.exists()) {
        EXPECT_TRUE(flat.open(QIODevice::WriteOnly));
        flat.write(kLibreOfficeFlatSheet);
        flat.close();
    }
    const ProcessResult lo =
        run(QStringLiteral("soffice"),
            {QStringLiteral("-env:UserInstallation=file://") + dir + QStringLiteral("/lo"),
             QStringLiteral("--headless"), QStringLiteral("--convert-to"), filter,
             QStringLiteral("--outdir"), dir, dir + QStringLiteral("/book.fods")});
    EXPECT_EQ(lo.exitCode, 0) << lo.err.constData();
    const QString path = dir + QStringLiteral("/book.") + ext;
    EXPECT_TRUE(QFile::exists(path)) << lo.out.constData() << lo.err.constData();
    return path;
}

}  // namespace qortest
