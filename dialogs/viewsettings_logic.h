#pragma once
// What the view setting dialogs decide, without their widgets: the zoom
// entry's range and spin steps, the currency list and the title font's
// style and size fields.

#include <QString>
#include <QStringList>
#include <optional>

namespace qor {

// The zoom edit after one spin step from text: a non-negative delta lowers
// by 5, a negative one raises by 5. The result always stays inside the
// zoom range, so the spin never offers an entry that OK would refuse.
int ZoomSpinStep(const QString& text, int delta);
// The percent of a zoom entry, or nothing when it is not a whole number
// inside the zoom range.
std::optional<int> ParseZoomEntry(const QString& text);
// The message that refuses a zoom entry.
QString ZoomRangeMessage();

// The currency dialog's entries, index = the common symbol index: the
// symbol, one blank and its name.
QStringList CurrencyEntries();

// The title font's style list ("普通", "斜体", "粗体", "粗斜体") and the
// index of a pair of flags in it.
QStringList TitleFontStyleNames();
int TitleFontStyleIndex(bool italic, bool bold);
bool TitleFontStyleItalic(int index);
bool TitleFontStyleBold(int index);
// The point size at the start of a size entry (its first 9 characters);
// 0 when it starts with no number.
int TitleFontSizeFromText(const QString& text);
// A face name as the member keeps it: at most 15 characters.
QString TitleFontFaceFromText(const QString& text);

}  // namespace qor
