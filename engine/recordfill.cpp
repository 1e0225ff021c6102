#include "engine/recordfill.h"

namespace qor {

int RecordCellList::CellKind(int index) const {
    return index >= 0 && index < m_cells.size() ? m_cells[index].first : 0;
}

QString RecordCellList::CellText(int index) const {
    return index >= 0 && index < m_cells.size() ? m_cells[index].second : QString();
}

RecordFillQueue& RecordFillQueue::instance() {
    static RecordFillQueue queue;
    return queue;
}

void RecordFillQueue::Append(RecordFillRequest request) {
    ++m_pending;
    m_requests.push_back(std::move(request));
}

void RecordFillQueue::Clear() {
    m_requests.clear();
    m_pending = 0;
}

}  // namespace qor
