#pragma once
// The checks every dialog shares: an integer edit read as the data
// exchange reads it, a spin step, and a refusal that names its message,
// the message's arguments and the control that takes the focus.

#include <QString>
#include <QStringList>
#include <cstdint>

class CQorDialog;

namespace qor {

// The outcome of a dialog check; messageId 0 means accepted.
struct DlgRefusal {
    int messageId = 0;
    QStringList args;  // fill %1, %2 ... or, in order, %d and %s
    int focusId = 0;   // control id to focus
    int followId = 0;  // a second message appended to the first
    bool accepted() const { return messageId == 0; }
    // The message with its arguments filled in.
    QString text() const;
};

// An integer edit: 61712 for a text that is not a whole number, 61714
// naming both bounds for one outside low..high. *out is written only
// when the text is accepted.
DlgRefusal ExchangeInt(const QString& text, int low, int high, int focusId, int32_t* out);

// One spin step: a non-negative delta lowers by step while the value is
// above low, a negative one raises by step while it is below high (the up
// arrow sends a negative delta). A value outside the range (typed so) is
// first brought to its nearer bound, which is where either arrow leaves
// it; a moved value never passes a bound.
int stepSpin(int value, int delta, int low, int high, int step = 1);

// Shows a refusal on the dialog (a warning box with the dialog's caption)
// and moves the focus to its control. True when r was a refusal.
bool RefuseOn(CQorDialog* dlg, const DlgRefusal& r);

}  // namespace qor
