#pragma once
// An embedded report opened for editing where it is shown, inside the
// report that holds it. Its bytes are written to a private working copy
// and opened as a report of its own; when the editing ends the edited
// report is saved there and its bytes go back into the object, which the
// holding report then saves with itself. No window here: the frame that
// shows the report while it is edited sits on top.

#include <QByteArray>
#include <QString>
#include <memory>

class CComItem;
class CQorsDoc;

namespace qor {

class EmbeddedReportEdit {
public:
    // An embedded (not linked) object of our own report class with bytes.
    static bool IsEditable(const CComItem* item);
    // Opens the object of `container` for editing: the object shows as
    // active and is the container's in-place item until this goes. Null
    // with *error when the item is not editable here or its bytes do not
    // open as a report.
    static std::unique_ptr<EmbeddedReportEdit> Open(CQorsDoc& container, CComItem* item,
                                                    QString* error = nullptr);
    // Ends the editing without storing: the object is inactive again and
    // the working copy goes.
    ~EmbeddedReportEdit();
    EmbeddedReportEdit(const EmbeddedReportEdit&) = delete;
    EmbeddedReportEdit& operator=(const EmbeddedReportEdit&) = delete;

    CComItem* Item() const { return m_item; }
    const QString& WorkingCopy() const { return m_path; }
    // The edited report, owned here until a window takes it.
    CQorsDoc* Document() const { return m_doc.get(); }
    std::unique_ptr<CQorsDoc> TakeDocument();

    // Stores an edited report back into the object: saved to the working
    // copy, its bytes become the object's and the container is marked
    // modified. An unchanged report stores nothing (*stored false). False
    // with *error when it could not be saved or read back; the object then
    // keeps what it had.
    bool StoreBack(CQorsDoc& edited, QString* error = nullptr, bool* stored = nullptr);

private:
    EmbeddedReportEdit() = default;

    CQorsDoc* m_container = nullptr;
    CComItem* m_item = nullptr;
    QString m_path;
    std::unique_ptr<CQorsDoc> m_doc;
};

}  // namespace qor
