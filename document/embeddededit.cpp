#include "document/embeddededit.h"

#include <QFile>

#include "charts/coleitem.h"
#include "charts/objectdata.h"
#include "document/cqorsdoc.h"
#include "engine/messages.h"
#include "engine/workfiles.h"

namespace qor {

namespace {

const COleItem* reportObject(const CComItem* item) {
    const auto* o = dynamic_cast<const COleItem*>(item);
    if (!o) return nullptr;
    const items::OleClientRecord& c = o->GetClient();
    if (c.itemType != items::OleClientRecord::kEmbedded) return nullptr;
    if (c.classId != QLatin1String(items::kReportObjectClass)) return nullptr;
    return o->GetObjectData().isEmpty() ? nullptr : o;
}

}  // namespace

bool EmbeddedReportEdit::IsEditable(const CComItem* item) { return reportObject(item) != nullptr; }

std::unique_ptr<EmbeddedReportEdit> EmbeddedReportEdit::Open(CQorsDoc& container, CComItem* item,
                                                             QString* error) {
    auto fail = [error](const QString& why) {
        if (error) *error = why;
        return std::unique_ptr<EmbeddedReportEdit>();
    };
    const COleItem* object = container.Items().FindComItem(item) ? reportObject(item) : nullptr;
    if (!object) return fail(LoadErrorText(str::kNotEmbeddedReport));
    std::unique_ptr<EmbeddedReportEdit> edit(new EmbeddedReportEdit);
    const int fd = CreateWorkFile(QStringLiteral(".rep"), &edit->m_path);
    if (fd < 0) return fail(LoadErrorText(str::kEmbeddedCopyNotMade));
    {
        QFile file;
        const QByteArray& bytes = object->GetObjectData();
        const bool written = file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle) &&
                             file.write(bytes) == bytes.size() && file.flush();
        file.close();
        if (!written) return fail(LoadErrorText(str::kEmbeddedCopyNotWritten).arg(edit->m_path));
    }
    edit->m_doc = std::make_unique<CQorsDoc>();
    if (!edit->m_doc->Files().OnOpenDocument(edit->m_path)) return fail(LoadErrorText(str::kEmbeddedNotOpened));
    edit->m_doc->Items().SetRunningInPlace(true);
    edit->m_container = &container;
    edit->m_item = item;
    static_cast<COleItem*>(item)->SetClientState(items::OleClientRecord::kActiveUI);
    container.Items().SetInPlaceActiveItem(item);
    return edit;
}

EmbeddedReportEdit::~EmbeddedReportEdit() {
    m_doc.reset();
    if (m_container) {
        // The object may have been removed while it was edited.
        if (m_container->Items().FindComItem(m_item))
            static_cast<COleItem*>(m_item)->SetClientState(items::OleClientRecord::kLoaded);
        if (m_container->Items().GetInPlaceActiveItem() == m_item) m_container->Items().SetInPlaceActiveItem(nullptr);
    }
    if (!m_path.isEmpty()) QFile::remove(m_path);
}

std::unique_ptr<CQorsDoc> EmbeddedReportEdit::TakeDocument() { return std::move(m_doc); }

bool EmbeddedReportEdit::StoreBack(CQorsDoc& edited, QString* error, bool* stored) {
    if (stored) *stored = false;
    auto fail = [error](const QString& why) {
        if (error) *error = why;
        return false;
    };
    if (!edited.IsOpen()) return fail(LoadErrorText(str::kEmbeddedClosed));
    if (!edited.IsModified()) return true;
    if (!m_container->Items().FindComItem(m_item)) return fail(LoadErrorText(str::kEmbeddedObjectGone));
    if (!edited.Files().OnSaveDocument(m_path)) return fail(LoadErrorText(str::kEmbeddedNotSaved));
    QString why;
    const QByteArray bytes = edited.Items().SaveEmbeddingCopy(&why);
    if (bytes.isEmpty()) return fail(LoadErrorText(str::kEmbeddedNotReadBack).arg(why));
    const bool taken = m_container->Items().TakeObjectData(m_item, bytes, m_path);
    if (stored) *stored = taken;
    return true;
}

}  // namespace qor
