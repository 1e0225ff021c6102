#include "dialogs/viewsettings_logic.h"

#include <algorithm>

#include "dialogs/dlgexchange.h"
#include "engine/messages.h"
#include "engine/textutil.h"
#include "resources/stringids.h"
#include "view/displaystyle.h"

namespace qor {

int ZoomSpinStep(const QString& text, int delta) {
    const int value =
        stepSpin(text.trimmed().toInt(), delta, view::kMinZoomPercent, view::kMaxZoomPercent, 5);
    return std::clamp(value, view::kMinZoomPercent, view::kMaxZoomPercent);
}

std::optional<int> ParseZoomEntry(const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < view::kMinZoomPercent || value > view::kMaxZoomPercent) return std::nullopt;
    return value;
}

QString ZoomRangeMessage() {
    return LoadErrorText(str::kZoomRangeMessage)
        .arg(view::kMinZoomPercent)
        .arg(view::kMaxZoomPercent);
}

QStringList CurrencyEntries() {
    QStringList entries;
    for (int i = 0; i < 5; ++i)
        entries << CurrencySymbol(i) + QLatin1Char(' ') + LoadErrorText(str::kCurrencyName0 + i);
    return entries;
}

QStringList TitleFontStyleNames() {
    return {LoadErrorText(str::kFontStyleRegular), LoadErrorText(str::kFontStyleItalic),
            LoadErrorText(str::kFontStyleBold), LoadErrorText(str::kFontStyleBoldItalic)};
}

int TitleFontStyleIndex(bool italic, bool bold) { return (italic ? 1 : 0) + (bold ? 2 : 0); }
bool TitleFontStyleItalic(int index) { return index >= 0 && index % 2 == 1; }
bool TitleFontStyleBold(int index) { return index > 1; }

int TitleFontSizeFromText(const QString& text) {
    const QString head = text.left(9).trimmed();
    int end = 0;
    if (end < head.size() && (head[end] == u'-' || head[end] == u'+')) ++end;
    while (end < head.size() && head[end].isDigit()) ++end;
    return head.left(end).toInt();
}

QString TitleFontFaceFromText(const QString& text) { return text.left(15); }

}  // namespace qor
