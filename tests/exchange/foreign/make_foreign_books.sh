#!/bin/sh
# Remakes the workbooks other programs write that the exchange tests read:
#   norefs_openpyxl.xlsx    the same without r attributes on rows and cells
#   formulas_openpyxl.xlsx  formulas, shared and array formulas, inline and
#                           formula strings, booleans, errors, dates (1900)
#   formulas_lo.xlsx        the same workbook saved again by LibreOffice
#   formulas_lo.xls         the same as a binary workbook by LibreOffice
#   dates1904_lo.xls        dates of the 1904 date system, binary workbook
#   dates1904_openpyxl.xlsx dates of the 1904 date system
#   sheet2003_lo.xml        a spreadsheet 2003 XML workbook by LibreOffice
#   percent_lo.xml          percent cells and booleans in that format
# Needs /usr/bin/python3 with openpyxl and LibreOffice (soffice).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

/usr/bin/python3 - "$here" "$work" <<'PY'
import sys, datetime, zipfile, re, shutil
from openpyxl import Workbook
out = sys.argv[1]

wb = Workbook()
ws = wb.active
ws.title = "公式"
ws["A1"] = "项目"
ws["B1"] = "金额"
ws["A2"] = "收入"
ws["B2"] = 120.5
ws["A3"] = "成本"
ws["B3"] = -20.25
ws["A4"] = "合计"
ws["B4"] = "=SUM(B2:B3)"
# C2:C3 share one formula; D2:D3 hold one array formula.
ws["C2"] = "=B2*2"
ws["C3"] = "=B3*2"
ws.formula_attributes["C2"] = {"t": "shared", "ref": "C2:C3", "si": "0"}
ws.formula_attributes["C3"] = {"t": "shared", "si": "0"}
ws["D2"] = "=B2:B3*10"
ws.formula_attributes["D2"] = {"t": "array", "ref": "D2:D3"}
ws["H2"] = "=1/0"
ws["E2"] = True
ws["E3"] = False
ws["F2"] = datetime.date(2024, 1, 9)
ws["F3"] = datetime.datetime(2024, 3, 5, 14, 30, 0)
ws["F3"].number_format = "yyyy-mm-dd hh:mm"
ws["F4"] = datetime.date(2023, 12, 31)
ws["F4"].number_format = 'yyyy"年"m"月"d"日"'
ws["G2"] = "=A2&\"额\""
wb.save(out + "/formulas_openpyxl.xlsx")

# The same cells without r attributes on rows, and on each cell that
# directly follows the one before it, as some writers leave them out.
def col_of(ref):
    n = 0
    for ch in ref.rstrip("0123456789"):
        n = n * 26 + ord(ch) - 64
    return n
def strip_row(m):
    expected = [1]
    def cell(c):
        col = col_of(c.group(1).decode())
        keep = col != expected[0]
        expected[0] = col + 1
        return c.group(0) if keep else b"<c"
    return b"<row" + re.sub(rb'<c\b r="([A-Z]+[0-9]+)"', cell, m.group(1))
def strip_refs(xml):
    return re.sub(rb'<row\b r="[0-9]+"(.*?</row>)', strip_row, xml, flags=re.S)
src = zipfile.ZipFile(out + "/formulas_openpyxl.xlsx")
dst = zipfile.ZipFile(out + "/norefs_openpyxl.xlsx", "w", zipfile.ZIP_DEFLATED)
for item in src.infolist():
    data = src.read(item.filename)
    if item.filename == "xl/worksheets/sheet1.xml":
        data = strip_refs(data)
    dst.writestr(item, data)
dst.close()

wb = Workbook()
wb.epoch = datetime.datetime(1904, 1, 1)
ws = wb.active
ws.title = "日期"
ws["A1"] = datetime.date(2024, 1, 9)
ws["A2"] = datetime.date(1999, 12, 31)
ws["B1"] = 42.5
wb.save(out + "/dates1904_openpyxl.xlsx")

wb = Workbook()
ws = wb.active
ws.title = "比率"
ws["A1"], ws["B1"], ws["C1"] = "项目", "比率", "标志"
ws["A2"], ws["B2"], ws["C2"] = "增长", 0.0125, True
ws["B2"].number_format = "0.00%"
ws["A3"], ws["B3"], ws["C3"] = "下降", -0.5, False
ws["B3"].number_format = "0%"
ws["A4"], ws["B4"] = "金额", 120.5
wb.save(sys.argv[2] + "/percent_openpyxl.xlsx")
PY

# openpyxl writes no cached values; LibreOffice computes and keeps them.
# Shared formulas, inline strings and cells without r attributes are
# written by hand into a copy of what LibreOffice wrote, as other writers
# do.
soffice -env:UserInstallation=file://"$work"/lo --headless --convert-to xlsx:"Calc MS Excel 2007 XML" \
    --outdir "$work" "$here/formulas_openpyxl.xlsx" >/dev/null
cp "$work/formulas_openpyxl.xlsx" "$here/formulas_lo.xlsx"
soffice -env:UserInstallation=file://"$work"/lo --headless --convert-to xls:"MS Excel 97" \
    --outdir "$work" "$here/formulas_openpyxl.xlsx" >/dev/null
cp "$work/formulas_openpyxl.xls" "$here/formulas_lo.xls"
soffice -env:UserInstallation=file://"$work"/lo --headless --convert-to xls:"MS Excel 97" \
    --outdir "$work" "$here/dates1904_openpyxl.xlsx" >/dev/null
cp "$work/dates1904_openpyxl.xls" "$here/dates1904_lo.xls"
# Through the flat document format: the converter's templates follow the
# repeated empty columns and rows one step at a time and give up on the
# thousands a sheet has, so those runs are cut short first.
to2003() {
    soffice -env:UserInstallation=file://"$work"/lo --headless --convert-to fods \
        --outdir "$work" "$1" >/dev/null
    /usr/bin/python3 - "$work/$(basename "$1" .xlsx).fods" "$work/$2.fods" <<'PY'
import re, sys
s = open(sys.argv[1], encoding="utf-8").read()
s = re.sub(r'number-(columns|rows)-repeated="(\d{4,})"', r'number-\1-repeated="2"', s)
open(sys.argv[2], "w", encoding="utf-8").write(s)
PY
    soffice -env:UserInstallation=file://"$work"/lo --headless --convert-to xml:"MS Excel 2003 XML" \
        --outdir "$work" "$work/$2.fods" >/dev/null
    cp "$work/$2.xml" "$here/$2.xml"
}
to2003 "$here/formulas_openpyxl.xlsx" sheet2003_lo
to2003 "$work/percent_openpyxl.xlsx" percent_lo
