#include "dialogs/dlgexchange.h"

#include <QLineEdit>
#include <QWidget>
#include <algorithm>

#include "dialogs/cqordialog.h"
#include "engine/messages.h"
#include "platform/uiservices.h"

namespace qor {

QString DlgRefusal::text() const {
    QString t = LoadErrorText(messageId);
    if (followId) t += LoadErrorText(followId);
    if (t.contains(QLatin1String("%1"))) {
        for (const QString& a : args) t = t.arg(a);
        return t;
    }
    for (const QString& a : args) {
        qsizetype at = -1;
        for (qsizetype i = 0; i + 1 < t.size(); ++i)
            if (t[i] == u'%' && (t[i + 1] == u'd' || t[i + 1] == u's')) {
                at = i;
                break;
            }
        if (at < 0) break;
        t.replace(at, 2, a);
    }
    return t;
}

DlgRefusal ExchangeInt(const QString& text, int low, int high, int focusId, int32_t* out) {
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok);
    if (!ok) return {str::kEnterInteger, {}, focusId};
    if (v < low || v > high)
        return {str::kIntegerOutOfRange, {QString::number(low), QString::number(high)}, focusId};
    if (out) *out = int32_t(v);
    return {};
}

int stepSpin(int value, int delta, int low, int high, int step) {
    if (value < low) return low;
    if (value > high) return high;
    if (delta >= 0) {
        if (value > low) return std::max(value - step, low);
    } else if (value < high) {
        return std::min(value + step, high);
    }
    return value;
}

bool RefuseOn(CQorDialog* dlg, const DlgRefusal& r) {
    if (r.accepted()) return false;
    messageBox(r.text(), dlg ? dlg->windowTitle() : QString(), MsgButtons::Ok, MsgIcon::Warning);
    if (dlg && r.focusId)
        if (QWidget* w = dlg->GetDlgItem(r.focusId)) {
            w->setFocus();
            if (auto* e = qobject_cast<QLineEdit*>(w)) e->selectAll();
        }
    return true;
}

}  // namespace qor
