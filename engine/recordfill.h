#pragma once
// Values fetched by the formula function "getrecord" wait here until the
// report's recalculation writes them into their cells
// (CReportHandle::FillFromRecordset). The fetched values arrive as a "rep"
// document with one "cell" element per value; the engine reads it through
// IRecordCellSource, so it needs no XML of its own.

#include <QList>
#include <QString>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace qor {

// The "cell" elements of a "rep" document, in document order: for each
// field, its value in every record.
class IRecordCellSource {
public:
    virtual ~IRecordCellSource() = default;
    virtual int CellCount() const = 0;
    // Attribute "CellPropertiy": 1 number, 2 text.
    virtual int CellKind(int index) const = 0;
    // The text of the element's first child.
    virtual QString CellText(int index) const = 0;
};

// A source held in memory.
class RecordCellList : public IRecordCellSource {
public:
    RecordCellList() = default;
    explicit RecordCellList(QList<std::pair<int, QString>> cells) : m_cells(std::move(cells)) {}
    void Append(int kind, const QString& text) { m_cells.append({kind, text}); }
    int CellCount() const override { return int(m_cells.size()); }
    int CellKind(int index) const override;
    QString CellText(int index) const override;

private:
    QList<std::pair<int, QString>> m_cells;
};

}  // namespace qor

// One queued fill: the target area counted from 0 as ParseAreaRef gives it
// (after fitting it to the fetched values), the direction ("1": records
// down the rows, fields across the columns; anything else the other way),
// the page, whether the whole table was asked for (no area text), and the
// values. Copies share the values.
struct RecordFillRequest {
    int32_t c1 = 0;
    int32_t r1 = 0;
    int32_t c2 = 0;
    int32_t r2 = 0;
    QString direction;
    int32_t page = 0;
    int32_t wholeTable = 0;
    std::shared_ptr<const qor::IRecordCellSource> cells;
};

namespace qor {

// The process-wide queue of fill requests and its pending count. Used from
// the thread that runs the command language only.
class RecordFillQueue {
public:
    static RecordFillQueue& instance();

    // Raises the pending count by one and appends the request.
    void Append(RecordFillRequest request);
    int PendingCount() const { return m_pending; }
    const std::vector<RecordFillRequest>& Requests() const { return m_requests; }
    // Empties the array and sets the count to 0.
    void Clear();

private:
    RecordFillQueue() = default;
    int m_pending = 0;
    std::vector<RecordFillRequest> m_requests;
};

}  // namespace qor
