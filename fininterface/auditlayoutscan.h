#pragma once
// Finds an audit-office statement's fields in a report's own layout: the
// header line of the data table, the copies of the table side by side, the
// form number, the currency line and each data column. Pure logic over the
// report's label cells; the mapping dialog lets the user correct it.

#include <QString>
#include <array>
#include <cstdint>

class CReportHandle;

class CAuditLayoutScan {
public:
    static constexpr int kMaxGroups = 20;

    // Finds the header line at once.
    CAuditLayoutScan(CReportHandle* report, const QString& listName);
    virtual ~CAuditLayoutScan();

    // 1 = column mode (the header is a row), 0 = row mode.
    int Mode() const { return m_nMode; }
    // Row (row mode: column) of the header; 0 when none was found.
    int HeaderLine() const { return m_nHeaderLine; }
    // Number of copies of the table (1..20); fills the group starts.
    int CountGroups();
    int GroupStart(int group) const;
    // Where one field of one group lies: a cell, an area, a keyword name,
    // or empty when it cannot be located inside the table.
    QString Locate(const QString& fieldName, int group);

private:
    // Kind and label of a cell of the format; false outside the table.
    bool formatCell(int row, int col, int* kind, QString* label) const;
    QString cellText(int row, int col) const;
    int cellKind(int row, int col) const;
    int rows() const;
    int cols() const;
    void findHeader();
    QString findFormNumber() const;
    QString findCurrency() const;
    QString locateArea(const QString& fieldName, int group);

    CReportHandle* m_pReport = nullptr;
    int32_t m_nMode = 1;
    std::array<int32_t, kMaxGroups> m_groupStart{};
    int32_t m_nHeaderLine = 0;
    int32_t m_nLastMatch = 0;
    QString m_strListName;
};
