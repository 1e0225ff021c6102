// qor ledger: the drill-down to the detail ledger from one cell, as the
// desktop's 联查明细账 runs it, printing what the ledger component was
// handed. Without the host the recording stand-in takes the call.
#include <QFileInfo>

#include "apps/qor/verbs.h"
#include "document/cqorsdoc.h"
#include "fininterface/ledgerdrill.h"
#include "reader/cappenvironment.h"

namespace qor::app {

int verbLedger(const QStringList& args, Output* out) {
    if (args.size() != 4) return 2;
    bool okPage = false, okRow = false, okCol = false;
    const int page = args[1].toInt(&okPage);
    const int row = args[2].toInt(&okRow);
    const int col = args[3].toInt(&okCol);
    if (!okPage || !okRow || !okCol || page < 0 || row < 1 || col < 1) {
        out->err +=
            QStringLiteral("qor ledger: PAGE counts from 0 (no page), ROW and COL from 1\n");
        return 2;
    }
    if (!QFileInfo(args[0]).isFile()) {
        out->err += QStringLiteral("qor ledger: %1 does not exist\n").arg(args[0]);
        return 1;
    }
    CQorsDoc doc;
    if (!doc.Files().OnOpenDocument(args[0])) {
        out->err += QStringLiteral("qor ledger: cannot open %1\n").arg(args[0]);
        return 1;
    }
    struct Closer {
        CQorsDoc& doc;
        ~Closer() { doc.Files().OnCloseDocument(); }
    } closer{doc};
    // The pages hold the values the ledger calls stand for; a report saved
    // in format state is read as data state shows it (nothing is saved).
    if (page > 0 && !doc.IsDataState() && !doc.EnterDataState()) {
        out->err += QStringLiteral("qor ledger: %1 cannot enter data state\n").arg(args[0]);
        return 1;
    }
    if (page > 0 && !doc.SetCurrentPage(page)) {
        out->err += QStringLiteral("qor ledger: no page %1 in %2\n").arg(page).arg(args[0]);
        return 1;
    }
    doc.Selection().SetCurrentCell(row - 1, col - 1);
    const ledger::LedgerDrillResult r = ledger::DrillToLedger(doc, CAppEnvironment::Instance());
    if (!r.ok) {
        out->err += QStringLiteral("qor ledger: %1\n").arg(r.error);
        return 1;
    }
    out->text +=
        QStringLiteral("codes: %1\nperiod: %2\ninclude: %3\n")
            .arg(r.codeList, r.period, r.include ? QStringLiteral("yes") : QStringLiteral("no"));
    return 0;
}

}  // namespace qor::app
