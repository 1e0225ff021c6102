#include "finui/ledgerwindow.h"

#include <QDate>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QTableWidget>
#include <QVBoxLayout>
#include <exception>

#include "engine/messages.h"
#include "platform/automation.h"
#include "reader/cappenvironment.h"
#include "reader/demoledgerservice.h"
#include "reader/ledgerstandins.h"

namespace qor::ledger {

namespace {

QPointer<QWidget>& parentWindow() {
    static QPointer<QWidget> w;
    return w;
}

QString amount(double v) { return QLocale::c().toString(v, 'f', 2); }

}  // namespace

QList<LedgerRow> ReadLedgerRows(const QString& accountCodes, const QString& period, int year,
                                QString* error) {
    QList<LedgerRow> rows;
    bool isMonth = false;
    int last = period.toInt(&isMonth);
    if (!isMonth || last < 1 || last > 12) last = 12;
    DemoLedgerService ledger;
    for (const QString& code : accountCodes.split(u'/', Qt::SkipEmptyParts)) {
        for (int month = 1; month <= last; ++month) {
            // Codes travel as written; quote them so a comma cannot split one.
            const QString quoted = QStringLiteral("\"%1\"").arg(QString(code).remove(u'"'));
            const QString at = QStringLiteral("%1,%2,%3").arg(quoted).arg(month).arg(year);
            LedgerRow row;
            row.account = code;
            row.month = month;
            try {
                row.opening = ledger.evaluate(QStringLiteral("QC"), at);
                row.debit =
                    ledger.evaluate(QStringLiteral("FS"),
                                    QStringLiteral("%1,%2,J,%3").arg(quoted).arg(month).arg(year));
                row.credit =
                    ledger.evaluate(QStringLiteral("FS"),
                                    QStringLiteral("%1,%2,D,%3").arg(quoted).arg(month).arg(year));
                row.closing = ledger.evaluate(QStringLiteral("QM"), at);
            } catch (const std::exception& e) {
                if (error) *error = QString::fromUtf8(e.what());
                return rows;
            }
            rows.append(row);
        }
    }
    return rows;
}

bool LedgerWindowComponent::ShowLedger(const QString& accountCodes, const QString& period,
                                       bool include) {
    int year = 0;
    if (auto* q = qobject_cast<LedgerQueryStandIn*>(m_query.data())) year = q->values().year;
    if (year <= 0) year = QDate::currentDate().year();

    auto* dlg = new QDialog(parentWindow());
    dlg->setObjectName(QStringLiteral("qorLedgerWindow"));
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->setWindowTitle(LoadErrorText(str::kLedgerWindowTitle).arg(accountCodes));
    auto* layout = new QVBoxLayout(dlg);
    auto* head = new QLabel(LoadErrorText(str::kLedgerQueryHeading)
                                .arg(accountCodes)
                                .arg(year)
                                .arg(period.isEmpty() ? LoadErrorText(str::kWholeYear) : period,
                                     include ? LoadErrorText(str::kYesWord) : LoadErrorText(str::kNoWord)),
                            dlg);
    layout->addWidget(head);
    QString error;
    const QList<LedgerRow> rows = ReadLedgerRows(accountCodes, period, year, &error);
    auto* table = new QTableWidget(int(rows.size()), 6, dlg);
    table->setObjectName(QStringLiteral("ledgerRows"));
    table->setHorizontalHeaderLabels({LoadErrorText(str::kAccountColumn), LoadErrorText(str::kMonthColumn),
                                      LoadErrorText(str::kOpeningBalanceColumn), LoadErrorText(str::kDebitColumn),
                                      LoadErrorText(str::kCreditColumn), LoadErrorText(str::kClosingBalanceColumn)});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    for (int i = 0; i < rows.size(); ++i) {
        const LedgerRow& r = rows[i];
        const QStringList cells = {r.account,       QString::number(r.month), amount(r.opening),
                                   amount(r.debit), amount(r.credit),         amount(r.closing)};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c >= 2) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table->setItem(i, c, item);
        }
    }
    table->resizeColumnsToContents();
    layout->addWidget(table);
    if (!error.isEmpty()) {
        auto* why = new QLabel(LoadErrorText(str::kLedgerNotRead).arg(error), dlg);
        why->setObjectName(QStringLiteral("ledgerError"));
        why->setWordWrap(true);
        layout->addWidget(why);
    }
    dlg->resize(640, 420);
    dlg->show();
    return true;
}

void LedgerWindowComponent::SetParentWindow(QWidget* parent) { parentWindow() = parent; }

void InstallLedgerWindow(QWidget* parent) {
    LedgerWindowComponent::SetParentWindow(parent);
    AutoRegistry::addFactory(QLatin1String(LedgerStandIn::kClsid),
                             [](const QString&) -> QObject* { return new LedgerWindowComponent; });
}

}  // namespace qor::ledger
