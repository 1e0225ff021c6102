#pragma once
// The report exchange file ("iqor_export"): element names, the code tables
// that turn a cell's format codes into the file's texts and back, and the
// number and date texts. The writer and the reader share these so that the
// two sides cannot drift apart.
//
// The tables are the file's own and stay as they are even where they look
// odd: the colour texts are written as the report stores colours (blue in
// the low byte), so "#000080" is maroon and "#FF0000" is blue, and the
// fill codes are written as "6", "4", "3" and "5".

#include <QString>
#include <QStringList>
#include <QStringView>
#include <array>
#include <optional>

namespace qor::ownxml {

// Root element and its attributes, in the order they are written.
inline constexpr QStringView kRootTag = u"iqor_export";
inline constexpr QStringView kExportTypeAttr = u"export_type";
inline constexpr QStringView kExportTypeValue = u"qor_report";
inline constexpr QStringView kFormatAttr = u"format";
inline constexpr QStringView kDataAttr = u"data";
inline constexpr QStringView kFormulaAttr = u"formula";
inline constexpr QStringView kRepNameAttr = u"repname";

inline constexpr QStringView kCellTag = u"cell_property";
inline constexpr QStringView kDateTag = u"keyword_date";

// The children of a cell element, in file order. Some are written only
// under a condition; cell_value and keyword_value repeat 1 + pages times.
enum CellChild : int {
    kHeight,
    kWidth,
    kStartRow,
    kStartCol,
    kEndRow,
    kEndCol,
    kDataType,
    kCellValue,
    kDecimalDigits,
    kHasComma,
    kCurrencySymbol,
    kHasPercent,
    kMultiLine,
    kFontName,
    kFontStyle,
    kFontSize,
    kFormula,
    kFormulaArea,
    kKeywordValue,
    kKeywordName,
    kHAlign,
    kVAlign,
    kRightLine,
    kBottomLine,
    kTopLine,
    kLeftLine,
    kBackground,
    kForeground,
    kFillType,
    kCellChildCount
};
inline constexpr std::array<QStringView, kCellChildCount> kCellChildTags = {
    u"height",
    u"width",
    u"start_row",
    u"start_col",
    u"end_row",
    u"end_col",
    u"data_type",
    u"cell_value",
    u"decimal_digits",
    u"has_comma",
    u"currency_symbol",
    u"has_percent",
    u"multi_line",
    u"font_name_index",
    u"font_style",
    u"font_size",
    u"formula",
    u"formula_area",
    u"keyword_value",
    u"keyword_name",
    u"horizontal_alignment",
    u"vertical_alignment",
    u"right_line_type",
    u"bottom_line_type",
    u"top_line_type",
    u"left_line_type",
    u"background_color",
    u"foreground_color",
    u"fill_type",
};
// The child index of a tag name; -1 for a name the cell element never has.
int CellChildOf(QStringView tag);

// "data_type" values.
enum DataType : int {
    kDataLabel = 5,
    kDataUnchanged = 13,  // read, never written
    kDataNumber = 14,
    kDataText = 15,
};

// Root flags: 1 when the attribute is absent, empty or "1"; 0 otherwise.
int RootFlag(const std::optional<QString>& attribute);

// Font names by code 0..15; codes 0..7 are the string table's texts.
QString FontName(int code);
// Any other name gives 0.
int FontCodeOf(const QString& name);

QString FontStyleName(int code);
int FontStyleCodeOf(const QString& name);  // any other name gives 0

// Point size of a size code; the code of a point size (any other gives 1,
// 10 points).
int FontSizePoints(int code);
int FontSizeCodeOf(int points);

// "#RRGGBB" texts of palette codes 0..15 (exact, upper case).
QString ColourText(int code);
// The code of a colour text; fallback for any other text.
int ColourCodeOf(const QString& text, int fallback);
inline constexpr int kDefaultBackground = 1;  // white
inline constexpr int kDefaultForeground = 0;  // black

// Fill: codes 0..3 are written 6, 4, 3, 5; read back 3 -> 2, 4 -> 1,
// 5 -> 3 and anything else -> 0.
int FillNumber(int code);
int FillCodeOf(int number);

// Horizontal alignment: automatic (0) is written "right" for number cells
// and "left" otherwise; read back as an explicit alignment.
QString HAlignText(int code, bool numberCell);
int HAlignCodeOf(const QString& text);
QString VAlignText(int code);
int VAlignCodeOf(const QString& text);

// Keyword slots 0..5 are named by the string table; slot 6 carries the
// user keyword's own name.
QString KeywordName(int slot, const QString& userKeywordName);
// Slots 0..5 for their names; 6 for any other text.
int KeywordSlotOf(const QString& name);
inline constexpr int kUserKeywordSlot = 6;

QString BoolText(bool on);
// Lower-cased "true" or "false"; nullopt for anything else.
std::optional<bool> ParseBoolText(const QString& text);

// A cell value as the file writes it: the shortest text that reads back
// as the same double, with "." as the decimal point and without exponent
// for the magnitudes a report normally holds. Empty for NaN or infinity.
QString NumberText(double value);
// NumberText into buf, which holds kNumberCharsMax bytes (ASCII): the
// length, 0 for NaN or infinity.
inline constexpr int kNumberCharsMax = 400;
int NumberChars(double value, char* buf);
// Reads what NumberText writes, whatever the user's locale. With
// decimalComma, digits around a single "," and no "." read the comma as the
// decimal point (files from systems that wrote numbers in such a locale);
// every other text is read by the number rule of a cell (TextAsCellNumber:
// commas only grouping digits by three, nothing past what a double holds).
std::optional<double> ParseNumberText(QStringView text, bool decimalComma = true);

// A keyword value of slots 2..6 as a whole number ("%.0f").
QString WholeNumberText(double value);

// The report's name for "repname": the file name without its folder and
// without anything from its first "." on; empty when the name has no ".".
QString ReportNameOf(const QString& reportPath);

// The page date of "keyword_date": the year, month and day keywords where
// the report has them (has* tells), else the current year, December and
// the month's last day. "0000-00-00" when that makes no valid date.
QString KeywordDateText(bool hasYear, long long year, bool hasMonth, long long month, bool hasDay,
                        long long day, int currentYear);

}  // namespace qor::ownxml
