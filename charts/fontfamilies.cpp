#include "charts/fontfamilies.h"

#include <QHash>

namespace qor::items {

namespace {

// The Ming (Song) and Hei families come first: they map each ideograph to
// a glyph of its own. The Noto CJK families share glyphs between
// ideographs and the look-alike radicals (入 and ⼊), and a PDF's text layer
// then gives the radical back, so a printed report could not be searched
// for 收入; they also shape digits beside letters into glyphs the text
// layer cannot name. They stay as the fallback where the others are
// missing.
const QString kSerifCjk = QStringLiteral("AR PL UMing CN");
const QString kSansCjk = QStringLiteral("WenQuanYi Zen Hei");
const QString kSerifFallback = QStringLiteral("Noto Serif CJK SC");
const QString kSansFallback = QStringLiteral("Noto Sans CJK SC");

// Chinese faces of the font table and the families that stand in for them.
// A Kai family is listed first for 楷体 so that it is used where one is
// installed; QFont takes the first family it finds.
const QHash<QString, QStringList>& cjkSubstitutes() {
    static const QStringList serif{kSerifCjk, kSansCjk, kSerifFallback, kSansFallback};
    static const QStringList sans{kSansCjk, kSerifCjk, kSansFallback, kSerifFallback};
    static const QStringList kai =
        QStringList{QStringLiteral("AR PL UKai CN"), QStringLiteral("AR PL KaitiM GB"),
                    QStringLiteral("KaiTi"), QStringLiteral("Kaiti SC")} +
        serif;
    static const QHash<QString, QStringList> table = {
        {QStringLiteral("宋体"), serif}, {QStringLiteral("仿宋_GB2312"), serif},
        {QStringLiteral("仿宋"), serif}, {QStringLiteral("新宋体"), serif},
        {QStringLiteral("黑体"), sans},  {QStringLiteral("楷体_GB2312"), kai},
        {QStringLiteral("楷体"), kai},
    };
    return table;
}

}  // namespace

QStringList SubstituteFontFamilies(const QString& face) {
    // Vertical faces ("@宋体") draw upright: the sheet has no vertical text.
    const QString upright = face.startsWith(QLatin1Char('@')) ? face.mid(1) : face;
    const auto& table = cjkSubstitutes();
    const auto it = table.constFind(upright);
    if (it != table.constEnd()) return *it;
    if (upright.isEmpty()) return {kSansCjk, kSansFallback};
    return {upright, kSansCjk, kSansFallback};
}

}  // namespace qor::items
