// What leaves a report for a data file: a 0 the report holds is written as
// 0 to each kind of file, whatever the cell's type, and an empty cell as no
// value. Each file is read back by another program.
#include <gtest/gtest.h>

#include "tests/common/testsupport.h"

namespace {

qortest::ProcessResult qor(const QString& dir, const QStringList& args) {
    const QString script =
        QStringLiteral("cd '%1' && exec '%2' \"$@\"").arg(dir, QStringLiteral(QOR_APP_BINARY));
    return qortest::run(QStringLiteral("/bin/sh"), QStringList{"-c", script, "qor"} + args);
}

// The first three columns of the first two records of a data file (after
// the line of field names in a text file and a workbook), as
// "A1|B1|C1;A2|B2|C2", each value as Python's repr of a float ("" for
// none).
constexpr const char* kReadBack = R"PY(
import sys, csv, subprocess, io
path = sys.argv[1]
def show(v):
    if v is None or v == "":
        return ""
    return repr(float(v))
rows = []
if path.endswith(".csv"):
    with open(path, encoding="gb18030") as f:
        rows = list(csv.reader(f))[1:]
elif path.endswith(".dbf"):
    from dbfread import DBF
    rows = [list(r.values()) for r in DBF(path)]
elif path.endswith(".mdb"):
    table = subprocess.run(["mdb-tables", "-1", path], capture_output=True, text=True).stdout.split()[0]
    text = subprocess.run(["mdb-export", path, table], capture_output=True, text=True).stdout
    rows = list(csv.reader(io.StringIO(text)))[1:]
else:
    import xlrd
    sheet = xlrd.open_workbook(path).sheet_by_index(0)
    rows = [[sheet.cell_value(r, c) for c in range(sheet.ncols)] for r in range(1, sheet.nrows)]
print(";".join("|".join(show(v) for v in r[:3]) for r in rows[:2]))
)PY";

TEST(QorDataOut, AZeroIsWrittenAsZeroToEveryDataFile) {
    if (!qortest::needPythonModule(QStringLiteral("openpyxl")) || !qortest::needPythonModule(QStringLiteral("dbfread")) ||
        !qortest::needPythonModule(QStringLiteral("xlrd")) || !qortest::needProgram(QStringLiteral("mdb-export")))
        GTEST_SKIP() << "no openpyxl, dbfread, xlrd or mdbtools";
    const QString dir = qortest::freshDir(QStringLiteral("dataout-zero"));
    // General-format zeros (cells whose type the report never sets) beside
    // figures and an empty cell (C2).
    const qortest::ProcessResult made = qortest::python(QStringLiteral(R"PY(
import sys
from openpyxl import Workbook
wb = Workbook()
ws = wb.active
ws.title = "第1页"
ws["A1"] = 0; ws["B1"] = 5.5; ws["C1"] = 1; ws["B2"] = 0
wb.save(sys.argv[1])
)PY"),
                                                        {dir + QStringLiteral("/zero.xlsx")});
    ASSERT_EQ(made.exitCode, 0) << made.err.constData();
    const qortest::ProcessResult in = qor(dir, {"convert", "zero.xlsx", "z.rep"});
    ASSERT_EQ(in.exitCode, 0) << in.err.constData();
    // A zero typed into a cell whose type was never set is one too.
    ASSERT_EQ(qor(dir, {"set", "z.rep", "1", "2", "1", "0"}).exitCode, 0);

    for (const char* target : {"z.csv", "z.dbf", "z.mdb", "z.xls"}) {
        SCOPED_TRACE(target);
        QStringList args{"convert", "z.rep", QString::fromUtf8(target)};
        if (QByteArray(target).endsWith(".xls")) args << "--values-only";
        const qortest::ProcessResult out = qor(dir, args);
        ASSERT_EQ(out.exitCode, 0) << out.err.constData();
        const qortest::ProcessResult read =
            qortest::python(QString::fromUtf8(kReadBack), {dir + u'/' + QString::fromUtf8(target)});
        ASSERT_EQ(read.exitCode, 0) << read.err.constData();
        EXPECT_EQ(QString::fromUtf8(read.out).trimmed(), QStringLiteral("0.0|5.5|1.0;0.0|0.0|"));
    }
}

}  // namespace
