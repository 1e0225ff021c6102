#pragma once
// Drill-down from a cell to the host's detail ledger: the cell's formula,
// built from ledger calls (QC, QM, FS, JE and their variants), names the
// accounts and the period the ledger window opens on. Reading the formula
// is plain text work kept apart from the components so that it can be
// checked on its own.

#include <QDate>
#include <QString>
#include <QStringList>
#include <QStringView>

class CQorsDoc;
class CAppEnvironment;

namespace qor::ledger {

// At most this many account codes go to the ledger; further calls are
// left out of the list.
constexpr int kMaxAccountCodes = 20;

// A ledger function's name (any letter case): QC, QM, FS, JE, TFS, DFS,
// LFS, each also with a leading S or W, and any name ending in "EX". The
// host's application services answer them, so a cell formula may call them
// with any arguments.
bool IsLedgerFunctionName(QStringView name);

// True when the whole formula is a chain of ledger calls joined by one
// operator each ("QM(...)+QC(...)"); a call whose name ends in "EX" is
// accepted at once. Blanks are ignored. Expects upper case.
bool IsLedgerFunction(const QString& formula);

// What the formula hands to the ledger.
struct LedgerRequest {
    QStringList codes;     // ascending, at most kMaxAccountCodes
    QString period;        // as written in the call, before resolution
    bool include = false;  // the call's include argument (after the period) is "Y"
    QString codeList() const { return codes.join(u'/'); }
};

// Reads the account codes, the period and the include flag from an
// upper-cased formula. The period and the flag come from the call that
// gave the first (smallest) code.
LedgerRequest ReadLedgerRequest(const QString& formula);

// The page values the period codes "月" and "季" refer to.
struct PeriodContext {
    QString monthKeyword;    // the page's month keyword, "%.0f"; empty when unset
    QString quarterKeyword;  // the page's quarter keyword, "%.0f"; empty when unset
    QDate loginDate;
};

// Turns a period code ("21".."24" quarters, "30" or "全年" the year, "月"
// and "季" the page's month or quarter) into the month the ledger shows:
// the first month of it for an opening balance (a formula with "QC"),
// else its last month. Anything else passes unchanged.
QString ResolvePeriod(const QString& formula, const QString& period, const PeriodContext& context);

// The period context of a document's current page.
PeriodContext PeriodContextOf(const CQorsDoc& doc, const QDate& loginDate);

// What was handed to the ledger component, for the caller to show.
struct LedgerDrillResult {
    bool ok = false;
    QString codeList;
    QString period;  // resolved
    bool include = false;
    QString error;  // why not, when !ok
};

// Runs the drill-down on the document's current cell: reads its formula,
// makes the ledger component and its query object, hands them the host
// login and shows the ledger. Never shows a message itself.
LedgerDrillResult DrillToLedger(const CQorsDoc& doc, CAppEnvironment& env);

// The command handler: DrillToLedger on the environment's login, telling
// the user when the ledger could not be shown.
void RunLedgerDrill(CQorsDoc& doc);

// Installs the drill-down as the document's ledger command.
void InstallLedgerDrill();

}  // namespace qor::ledger
