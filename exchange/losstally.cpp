#include "exchange/losstally.h"

#include "platform/codepage.h"

namespace qor {

void LossTally::add(const QString& kind, const QString& place, qsizetype count) {
    if (count <= 0) return;
    for (Kind& k : m_kinds) {
        if (k.name == kind) {
            k.count += count;
            return;
        }
    }
    m_kinds.push_back(Kind{kind, place, count});
}

QStringList LossTally::lines() const {
    QStringList out;
    for (const Kind& k : m_kinds)
        out << QStringLiteral("%1: %2, the first at %3").arg(k.name).arg(k.count).arg(k.first);
    return out;
}

void LossTally::appendTo(QStringList* notes) const {
    if (notes) *notes += lines();
}

QString CellPlace(int page, int row, int col) {
    return QStringLiteral("page %1, row %2, column %3").arg(page).arg(row).arg(col);
}

qsizetype CharactersOutsideCp936(const QString& text) {
    bool whole = true;
    encodeCp936(text, &whole);
    if (whole) return 0;
    qsizetype lost = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        // A character beyond the basic plane is one character in two units.
        const qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        bool ok = true;
        encodeCp936(text.mid(i, n), &ok);
        if (!ok) ++lost;
        i += n - 1;
    }
    return lost;
}

}  // namespace qor
