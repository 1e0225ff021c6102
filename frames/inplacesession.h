#pragma once
// An embedded report edited where it is shown, inside the report that
// holds it: the container's side of the editing. A double click on the
// object opens its report in the in-place frame over the object; the main
// window then shows the shared menu bar and the frame's tool bars. A click
// on the containing report beside the frame, Esc on the edited sheet, or
// leaving the containing report's window ends the editing: the edited
// report goes back into the object and the containing report is marked
// modified. One object is edited in place at a time.

#include <QObject>
#include <QPointer>
#include <memory>

#include "frames/coleinplaceframe.h"
#include "view/cqorsview.h"

class CComItem;

namespace qor {
class EmbeddedReportEdit;
}

namespace qor::frames {

class CMainFrame;

class CInPlaceSession : public QObject, public IInPlaceSite {
    Q_OBJECT

public:
    // Sends the sheet views' double clicks on embedded reports here.
    static void Install();
    // Edits the object over the view (ending any other such editing
    // first); false, after telling the user why, when it cannot.
    static bool Activate(CQorsView& container, CComItem* item);
    // The editing now on (null when none).
    static CInPlaceSession* Current();
    // Ends the editing when its containing view lies inside `ancestor`
    // (or is it); false when none did.
    static bool DeactivateWithin(const QWidget* ancestor);

    ~CInPlaceSession() override;

    COleInPlaceFrame* Frame() const { return m_frame; }
    CQorsView* ContainerView() const { return m_view; }
    CComItem* Item() const;
    // Stores what was edited so far into the object and leaves the editing
    // on (the containing report is about to be saved); false when it could
    // not be stored (the user was told).
    bool StoreNow();
    // Stores the edited report and ends the editing; this object goes.
    void Deactivate();

    // IInPlaceSite
    QWidget* ContainerWindow() const override;
    QMainWindow* ContainerFrame() const override;
    bool RequestPositionChange(const QRect& rect) override;
    void StoreItem(CQorsDoc& doc) override;
    void SetChartMenu(bool on) override;
    void CloseRequested() override;
    CommandRouter* ContainerRouter() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CInPlaceSession(CQorsView& container, std::unique_ptr<EmbeddedReportEdit> edit);
    // The object's place on the container's window now.
    QRect itemPlace() const;

    QPointer<CQorsView> m_view;
    QPointer<CMainFrame> m_main;
    std::unique_ptr<EmbeddedReportEdit> m_edit;
    QPointer<COleInPlaceFrame> m_frame;
    bool m_ending = false;
};

}  // namespace qor::frames
