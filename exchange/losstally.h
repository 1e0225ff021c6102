#pragma once
// What a conversion could not carry, gathered by kind: a writer meets the
// same loss in many cells, and the user needs each kind once, with how
// many there were and where to find the first.

#include <QString>
#include <QStringList>
#include <QList>
#include <vector>

class CReportHandle;

namespace qor {

class LossTally {
public:
    // One more loss of this kind ("formulas", ...) at place ("page 1, row
    // 3, column 2"); the first place given for a kind is kept.
    void add(const QString& kind, const QString& place, qsizetype count = 1);
    bool empty() const { return m_kinds.empty(); }
    // "<kind>: <count>, the first at <place>", one line a kind, in the
    // order the kinds were first met.
    QStringList lines() const;
    void appendTo(QStringList* notes) const;

private:
    struct Kind {
        QString name, first;
        qsizetype count = 0;
    };
    std::vector<Kind> m_kinds;
};

// "page 2, row 3, column 4"
QString CellPlace(int page, int row, int col);

// Whether a report cell holds number v whole: it keeps at most seven
// decimals (extraDecimals more where the cell shows a fraction in percent).
// Differences below the fifteen digits a double carries are no decimals of
// the file's. Every import names what fails it as RoundedNumbersKind().
bool ReportHoldsDecimals(double v, int extraDecimals = 0);
QString RoundedNumbersKind();

// How many characters of text code page 936 cannot hold (each is written
// as "?").
qsizetype CharactersOutsideCp936(const QString& text);

// Whether a formula's text reads the variable area (a V_ name).
bool ReadsVariableArea(const QString& formula);

// Adds to notes what the type of target (by its extension) cannot hold of
// the report itself, whoever writes it: the own XML keeps formulas and the
// keywords of keyword cells, data files carry values and placed keywords
// (as fields), an HTML page values and placed keywords (in their cells),
// a workbook keeps neither formulas nor keywords (a placed one
// becomes a label's text), and none has a variable area (each page's
// lines become plain rows or columns). pages lists the pages written
// (empty: all).
void TallyReportLosses(CReportHandle& report, const QString& target, QStringList* notes,
                       const QList<int>& pages = {});

}  // namespace qor
