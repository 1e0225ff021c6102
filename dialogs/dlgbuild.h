#pragma once
// Small pieces every dialog's widget layer builds with: its caption from
// the template table, labelled rows and the buttons at its foot.

#include <QString>

class CQorDialog;
class QBoxLayout;
class QGridLayout;
class QPushButton;
class QWidget;

namespace qor {

// The template's caption, or fallback when the table has none.
QString DlgCaption(int templateId, const QString& fallback);
// The text of button id of a template: its caption in the template table;
// without one, the system's own words for OK (确定) and Cancel (取消), empty
// for any other button. Never a toolkit's English default.
QString DlgButtonText(int templateId, int id);
// A push button bound under id; clicking it calls the dialog's OnOK for
// IDOK, OnCancel for IDCANCEL, otherwise nothing (the caller connects it).
QPushButton* DlgButton(CQorDialog* dlg, int id, const QString& text);
// OK and Cancel right-aligned at the foot of layout, their texts from the
// dialog's template unless given.
void AddDlgButtons(CQorDialog* dlg, QBoxLayout* layout, const QString& okText = QString(),
                   const QString& cancelText = QString());
// A label and a control in the next row of grid.
void AddDlgRow(QGridLayout* grid, const QString& label, QWidget* control);

}  // namespace qor

#include <functional>

class QLineEdit;

namespace qor {

// The two arrows of a spin beside an edit, bound under id: the up arrow
// sends a negative delta, the down arrow a positive one, as the system's
// spin notifications do; step turns the edit's text and the delta into
// the new text.
QWidget* AttachSpin(CQorDialog* dlg, int id, QLineEdit* edit,
                    std::function<QString(const QString&, int)> step);
// Presses a spin's arrow (delta < 0 up) as a click would.
void PressSpin(QWidget* spin, int delta);

}  // namespace qor
