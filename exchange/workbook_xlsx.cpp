// Writing a workbook of the in-process engine as an .xlsx file.

#include <xlsxwriter.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <map>

#include "exchange/workbook_model.h"
#include "platform/safefile.h"

namespace qor {

namespace {

[[noreturn]] void fail(const QString& what) {
    throw XlError{kXlObjectError, QStringLiteral("Workbook"), what};
}

// 0x00BBGGRR to the writer's 0xRRGGBB, where 0 would mean "automatic".
lxw_color_t writerColour(uint32_t bgr) {
    const uint32_t rgb = (bgr & 0xFF) << 16 | (bgr & 0xFF00) | (bgr >> 16 & 0xFF);
    return rgb ? lxw_color_t(rgb) : lxw_color_t(LXW_COLOR_BLACK);
}

uint8_t writerBorder(const XlBorder& b) {
    const bool heavy = b.weight == xl::kMedium || b.weight == xl::kThick;
    switch (b.lineStyle) {
        case xl::kContinuous:
            if (b.weight == xl::kHairline) return LXW_BORDER_HAIR;
            if (b.weight == xl::kMedium) return LXW_BORDER_MEDIUM;
            if (b.weight == xl::kThick) return LXW_BORDER_THICK;
            return LXW_BORDER_THIN;
        case xl::kDash:
            return heavy ? LXW_BORDER_MEDIUM_DASHED : LXW_BORDER_DASHED;
        case xl::kDot:
            return LXW_BORDER_DOTTED;
        case xl::kDashDot:
            return heavy ? LXW_BORDER_MEDIUM_DASH_DOT : LXW_BORDER_DASH_DOT;
        case xl::kDashDotDot:
            return heavy ? LXW_BORDER_MEDIUM_DASH_DOT_DOT : LXW_BORDER_DASH_DOT_DOT;
        case xl::kSlantDashDot:
            return LXW_BORDER_SLANT_DASH_DOT;
        case xl::kDouble:
            return LXW_BORDER_DOUBLE;
        default:
            return LXW_BORDER_NONE;
    }
}

uint8_t writerHAlign(int code) {
    switch (code) {
        case xl::kLeft:
            return LXW_ALIGN_LEFT;
        case xl::kCenter:
            return LXW_ALIGN_CENTER;
        case xl::kRight:
            return LXW_ALIGN_RIGHT;
        case xl::kJustify:
            return LXW_ALIGN_JUSTIFY;
        default:
            return LXW_ALIGN_NONE;
    }
}

uint8_t writerVAlign(int code) {
    switch (code) {
        case xl::kTop:
            return LXW_ALIGN_VERTICAL_TOP;
        case xl::kCenter:
            return LXW_ALIGN_VERTICAL_CENTER;
        case xl::kJustify:
            return LXW_ALIGN_VERTICAL_JUSTIFY;
        default:
            return LXW_ALIGN_NONE;  // bottom is the default
    }
}

// One writer format per distinct style.
class Formats {
public:
    explicit Formats(lxw_workbook* wb) : m_wb(wb) {}

    lxw_format* of(const XlStyle& s) {
        static const XlStyle plain;
        if (s == plain) return nullptr;
        const QString key = keyOf(s);
        auto it = m_made.find(key);
        if (it != m_made.end()) return it->second;
        lxw_format* f = workbook_add_format(m_wb);
        if (!f) fail(QStringLiteral("out of memory"));
        if (!s.numberFormat.isEmpty())
            format_set_num_format(f, s.numberFormat.toUtf8().constData());
        if (!s.fontName.isEmpty()) format_set_font_name(f, s.fontName.toUtf8().constData());
        if (s.fontSize != xl::kDefaultFontSize) format_set_font_size(f, s.fontSize);
        if (s.bold) format_set_bold(f);
        if (s.italic) format_set_italic(f);
        if (s.underline == xl::kUnderlineSingle) format_set_underline(f, LXW_UNDERLINE_SINGLE);
        if (s.underline == xl::kUnderlineDouble) format_set_underline(f, LXW_UNDERLINE_DOUBLE);
        if (s.fontColor != 0) format_set_font_color(f, writerColour(s.fontColor));
        if (s.hasFill) {
            format_set_pattern(f, LXW_PATTERN_SOLID);
            format_set_bg_color(f, writerColour(s.fillColor));
        }
        if (const uint8_t h = writerHAlign(s.hAlign)) format_set_align(f, h);
        if (const uint8_t v = writerVAlign(s.vAlign)) format_set_align(f, v);
        if (s.wrap) format_set_text_wrap(f);
        format_set_left(f, writerBorder(s.left));
        format_set_top(f, writerBorder(s.top));
        format_set_bottom(f, writerBorder(s.bottom));
        format_set_right(f, writerBorder(s.right));
        m_made.emplace(key, f);
        return f;
    }

private:
    static QString keyOf(const XlStyle& s) {
        return QStringLiteral(
                   "%1|%2|%3|%4%5|%6|%7|%8%9|%10|%11|%12|%13,%14,%15,%16,%17,%18,%19,%20")
            .arg(s.numberFormat, s.fontName)
            .arg(s.fontSize)
            .arg(int(s.bold))
            .arg(int(s.italic))
            .arg(s.underline)
            .arg(s.fontColor)
            .arg(int(s.hasFill))
            .arg(s.fillColor)
            .arg(s.hAlign)
            .arg(s.vAlign)
            .arg(int(s.wrap))
            .arg(s.left.lineStyle)
            .arg(s.left.weight)
            .arg(s.top.lineStyle)
            .arg(s.top.weight)
            .arg(s.bottom.lineStyle)
            .arg(s.bottom.weight)
            .arg(s.right.lineStyle)
            .arg(s.right.weight);
    }
    lxw_workbook* m_wb;
    std::map<QString, lxw_format*> m_made;
};

void check(lxw_error e, const char* what) {
    if (e != LXW_NO_ERROR)
        fail(QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromUtf8(lxw_strerror(e))));
}

void writeCell(lxw_worksheet* ws, int row, int col, const XlCell& cell, lxw_format* f) {
    const lxw_row_t r = lxw_row_t(row - 1);
    const lxw_col_t c = lxw_col_t(col - 1);
    switch (cell.kind) {
        case XlCell::Number:
            check(worksheet_write_number(ws, r, c, cell.number, f), "cell");
            break;
        case XlCell::Text:
            check(worksheet_write_string(ws, r, c, cell.text.toUtf8().constData(), f), "cell");
            break;
        case XlCell::Empty:
            if (f) check(worksheet_write_blank(ws, r, c, f), "cell");
            break;
    }
}

void writeSheet(lxw_workbook* wb, Formats& formats, const XlWorksheet& sheet, bool active) {
    lxw_worksheet* ws = workbook_add_worksheet(wb, sheet.name().toUtf8().constData());
    if (!ws) fail(QStringLiteral("sheet \"%1\" cannot be written").arg(sheet.name()));
    if (active) worksheet_activate(ws);
    for (const auto& [col, width] : sheet.columnWidths())
        check(worksheet_set_column(ws, lxw_col_t(col - 1), lxw_col_t(col - 1), width, nullptr),
              "column width");
    for (const auto& [row, height] : sheet.rowHeights())
        check(worksheet_set_row(ws, lxw_row_t(row - 1), height, nullptr), "row height");
    for (const XlArea& m : sheet.merges()) {
        const XlCell* first = sheet.findCell(m.r1, m.c1);
        check(worksheet_merge_range(ws, lxw_row_t(m.r1 - 1), lxw_col_t(m.c1 - 1),
                                    lxw_row_t(m.r2 - 1), lxw_col_t(m.c2 - 1), "",
                                    first ? formats.of(first->style) : nullptr),
              "merged range");
    }
    // After the merges, so each cell of a merged area keeps its own value
    // and lines rather than the merge's blank.
    for (const auto& [pos, cell] : sheet.cells())
        writeCell(ws, pos.first, pos.second, cell, formats.of(cell.style));
}

}  // namespace

void XlWorkbook::saveAs(const QString& path) const {
    const QFileInfo target(path);
    if (target.fileName().isEmpty()) fail(QStringLiteral("no file name"));
    if (!target.absoluteDir().exists())
        fail(QStringLiteral("the folder of \"%1\" does not exist").arg(path));
    // The library opens the file by name itself: it gets the name of our
    // own open temporary, which no link planted in the folder can redirect.
    SafeFileWriter tmp(target.absoluteFilePath());
    if (!tmp.open()) fail(QStringLiteral("\"%1\" cannot be written").arg(path));
    const QByteArray tmpName = QFile::encodeName(HandlePath(tmp.handle()));

    lxw_workbook* wb = workbook_new(tmpName.constData());
    if (!wb) fail(QStringLiteral("out of memory"));
    try {
        Formats formats(wb);
        for (size_t i = 0; i < m_sheets.size(); ++i)
            writeSheet(wb, formats, *m_sheets[i], int(i) == m_active);
    } catch (...) {
        // Closing writes the file; the temporary is dropped all the same.
        workbook_close(wb);
        throw;
    }
    check(workbook_close(wb), "workbook");
    if (!tmp.commit()) fail(QStringLiteral("\"%1\" cannot be replaced").arg(path));
}

}  // namespace qor
