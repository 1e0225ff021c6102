#pragma once
// The Reader as an automation object: what hosts get from
// AutoRegistry::create("Pagoda2.Reader"). Each method has the name of the
// IReader method it calls, takes its arguments as variants (numbers, or
// texts holding numbers, where IReader takes integers) and answers a map:
//
//   "ok"     bool     the success flag
//   "error"  QString  what went wrong; empty when ok
//   "value"  the out value, only when the method has one and ok is true:
//            a number, a text, a bool, or a list [row, col] / [rows, cols]
//            for the methods with two out values
//
// An argument that cannot be converted gives ok false with a text, like any
// other failure, so that a host always gets an answer it can show. The
// dispatch ids follow the declaration order, from 1.

#include <QObject>
#include <QVariant>
#include <QVariantMap>
#include <atomic>
#include <initializer_list>

#include "reader/creader.h"

class CReaderObject : public QObject {
    Q_OBJECT
    Q_CLASSINFO("DispId:1", "OpenRep8File")
    Q_CLASSINFO("DispId:2", "GetPages")
    Q_CLASSINFO("DispId:3", "SetCurPage")
    Q_CLASSINFO("DispId:4", "GetCurPage")
    Q_CLASSINFO("DispId:5", "GetCellDataMatrix")
    Q_CLASSINFO("DispId:6", "BeginDesign")
    Q_CLASSINFO("DispId:7", "BeginData")
    Q_CLASSINFO("DispId:8", "IsFormatState")
    Q_CLASSINFO("DispId:9", "SetCurCell")
    Q_CLASSINFO("DispId:10", "GetData")
    Q_CLASSINFO("DispId:11", "SetData")
    Q_CLASSINFO("DispId:12", "GetCellFormat")
    Q_CLASSINFO("DispId:13", "SetCellFormat")
    Q_CLASSINFO("DispId:14", "SetRowHeight")
    Q_CLASSINFO("DispId:15", "SetColWidth")
    Q_CLASSINFO("DispId:16", "CombineCells")
    Q_CLASSINFO("DispId:17", "GetTableSize")
    Q_CLASSINFO("DispId:18", "SetTableSize")
    Q_CLASSINFO("DispId:19", "AppendPages")
    Q_CLASSINFO("DispId:20", "DeletePages")
    Q_CLASSINFO("DispId:21", "AppendRows")
    Q_CLASSINFO("DispId:22", "DeleteRows")
    Q_CLASSINFO("DispId:23", "GetKeyword")
    Q_CLASSINFO("DispId:24", "SetKeyword")
    Q_CLASSINFO("DispId:25", "GetKeywordCell")
    Q_CLASSINFO("DispId:26", "SetKeywordCell")
    Q_CLASSINFO("DispId:27", "GetFormula")
    Q_CLASSINFO("DispId:28", "SetFormula")
    Q_CLASSINFO("DispId:29", "Recalc")
    Q_CLASSINFO("DispId:30", "GetLastError")
    Q_CLASSINFO("DispId:31", "Save")
    Q_CLASSINFO("DispId:32", "CloseFile")
    Q_CLASSINFO("DispId:33", "InsertRows")
    Q_CLASSINFO("DispId:34", "GetVarLines")
    Q_CLASSINFO("DispId:35", "SetVarArea")
    // What `qor reader-script --list` and other hosts show of each method.
    Q_CLASSINFO("Help:OpenRep8File", "opens a report (\".rep\" added when the name has no extension); sLangId is kept, not checked")
    Q_CLASSINFO("Help:GetPages", "value: the page count")
    Q_CLASSINFO("Help:SetCurPage", "makes a page (from 1) current; data state")
    Q_CLASSINFO("Help:GetCurPage", "value: the current page, 0 when none")
    Q_CLASSINFO("Help:GetCellDataMatrix", "value: a cell of the current page, a number or a \"text\"; a cell whose formula failed answers ok=false formulaFailed=true with the value it keeps")
    Q_CLASSINFO("Help:BeginDesign", "enters format state")
    Q_CLASSINFO("Help:BeginData", "enters data state")
    Q_CLASSINFO("Help:IsFormatState", "value: true in format state")
    Q_CLASSINFO("Help:SetCurCell", "makes a cell current for the data, format and formula methods")
    Q_CLASSINFO("Help:GetData", "value: the current cell's value; a failed formula as GetCellDataMatrix")
    Q_CLASSINFO("Help:SetData", "writes the current cell: a number, or a text where the cell holds texts (cell kind 2); data state; formulas reading it follow before the next read or save")
    Q_CLASSINFO("Help:GetCellFormat", "value: format attribute 0-14 or 16 of the current cell (see qor --help)")
    Q_CLASSINFO("Help:SetCellFormat", "sets a format attribute of the current cell; format state")
    Q_CLASSINFO("Help:SetRowHeight", "sets a row's height in points; format state")
    Q_CLASSINFO("Help:SetColWidth", "sets a column's width in points; format state")
    Q_CLASSINFO("Help:CombineCells", "combines the cells of an area into one; format state")
    Q_CLASSINFO("Help:GetTableSize", "value: [rows, columns] of the table")
    Q_CLASSINFO("Help:SetTableSize", "sets the table's rows and columns; format state")
    Q_CLASSINFO("Help:AppendPages", "adds pages at the end")
    Q_CLASSINFO("Help:DeletePages", "deletes count pages from pos on")
    Q_CLASSINFO("Help:AppendRows", "adds rows to the table in format state; in data state adds lines after the current page's last used variable line")
    Q_CLASSINFO("Help:DeleteRows", "deletes count rows from pos on in format state; in data state the current page's variable lines at pos on (never the last one)")
    Q_CLASSINFO("Help:GetKeyword", "value: keyword slot 0-6 of the current page (empty when unset)")
    Q_CLASSINFO("Help:SetKeyword", "sets keyword slot 0-6 of the current page; data state")
    Q_CLASSINFO("Help:GetKeywordCell", "value: [row, column] of the cell showing a keyword slot, [0, 0] when none")
    Q_CLASSINFO("Help:SetKeywordCell", "places keyword slot 0-7 in a cell; format state")
    Q_CLASSINFO("Help:GetFormula", "value: the current cell's formula, \"\" when none")
    Q_CLASSINFO("Help:SetFormula", "sets the current cell's formula (\"\" removes it); format state")
    Q_CLASSINFO("Help:Recalc", "recalculates the current page; data state; when formulas failed, ok=false formulaFailed=true naming the count and the first failed cell")
    Q_CLASSINFO("Help:GetLastError", "value: the text of the last failure")
    Q_CLASSINFO("Help:Save", "writes the report back to its file")
    Q_CLASSINFO("Help:CloseFile", "closes the report; what was not saved is dropped")
    Q_CLASSINFO("Help:InsertRows", "inserts count rows before row pos in format state; in data state variable lines before the line at row (column) pos, up to the area's extent")
    Q_CLASSINFO("Help:SetVarArea", "makes rows (kind 1) or columns (kind 2) from start on a variable area of up to extent lines; format state")
    Q_CLASSINFO("Help:GetVarLines", "value: variable lines in use on the current page, 0 without an area; data state")
    // ours: set before OpenRep8File to read a report without keeping its
    // writers out; Save is then refused.
    Q_PROPERTY(bool ReadOnly READ readOnly WRITE setReadOnly)

public:
    explicit CReaderObject(QObject* parent = nullptr);
    ~CReaderObject() override;

    // The interface itself, for hosts in this process.
    IReader* reader() { return &m_reader; }
    bool readOnly() const { return m_reader.ReadOnly(); }
    void setReadOnly(bool on) { m_reader.SetReadOnly(on); }
    // Reader objects alive in this process.
    static int liveCount() { return s_live.load(); }

    Q_INVOKABLE QVariantMap OpenRep8File(const QVariant& sFileName,
                                         const QVariant& sLangId = QVariant());
    Q_INVOKABLE QVariantMap GetPages();
    Q_INVOKABLE QVariantMap SetCurPage(const QVariant& page);
    Q_INVOKABLE QVariantMap GetCurPage();
    Q_INVOKABLE QVariantMap GetCellDataMatrix(const QVariant& iRow, const QVariant& iCol);
    Q_INVOKABLE QVariantMap BeginDesign();
    Q_INVOKABLE QVariantMap BeginData();
    Q_INVOKABLE QVariantMap IsFormatState();
    Q_INVOKABLE QVariantMap SetCurCell(const QVariant& row, const QVariant& col);
    Q_INVOKABLE QVariantMap GetData();
    Q_INVOKABLE QVariantMap SetData(const QVariant& value);
    Q_INVOKABLE QVariantMap GetCellFormat(const QVariant& code);
    Q_INVOKABLE QVariantMap SetCellFormat(const QVariant& code, const QVariant& value);
    Q_INVOKABLE QVariantMap SetRowHeight(const QVariant& row, const QVariant& height);
    Q_INVOKABLE QVariantMap SetColWidth(const QVariant& col, const QVariant& width);
    Q_INVOKABLE QVariantMap CombineCells(const QVariant& row1, const QVariant& col1,
                                         const QVariant& row2, const QVariant& col2);
    Q_INVOKABLE QVariantMap GetTableSize();
    Q_INVOKABLE QVariantMap SetTableSize(const QVariant& rows, const QVariant& cols);
    Q_INVOKABLE QVariantMap AppendPages(const QVariant& count);
    Q_INVOKABLE QVariantMap DeletePages(const QVariant& pos, const QVariant& count);
    Q_INVOKABLE QVariantMap AppendRows(const QVariant& count);
    Q_INVOKABLE QVariantMap DeleteRows(const QVariant& pos, const QVariant& count);
    Q_INVOKABLE QVariantMap GetKeyword(const QVariant& slot);
    Q_INVOKABLE QVariantMap SetKeyword(const QVariant& slot, const QVariant& value);
    Q_INVOKABLE QVariantMap GetKeywordCell(const QVariant& slot);
    Q_INVOKABLE QVariantMap SetKeywordCell(const QVariant& slot, const QVariant& row,
                                           const QVariant& col);
    Q_INVOKABLE QVariantMap GetFormula();
    Q_INVOKABLE QVariantMap SetFormula(const QVariant& text);
    Q_INVOKABLE QVariantMap Recalc();
    Q_INVOKABLE QVariantMap GetLastError();
    Q_INVOKABLE QVariantMap Save();
    Q_INVOKABLE QVariantMap CloseFile();
    Q_INVOKABLE QVariantMap InsertRows(const QVariant& pos, const QVariant& count);
    Q_INVOKABLE QVariantMap GetVarLines();
    Q_INVOKABLE QVariantMap SetVarArea(const QVariant& kind, const QVariant& start,
                                       const QVariant& extent);

private:
    QVariantMap answer(const ReaderResult& r, const QVariant& value = QVariant(),
                       bool hasValue = false);
    // Converts an integer argument; false (and the text in *error) when it
    // is missing or not a whole number.
    static bool toInt(const QVariant& v, const char* name, int* out, QString* error);
    struct IntArg {
        const QVariant& value;
        const char* name;
        int* out;
    };
    // Converts every argument, or answers the first failure in *failed.
    bool ints(std::initializer_list<IntArg> args, QVariantMap* failed);

    CReader m_reader;
    // The last failure this object answered, conversions included.
    QString m_lastError;
    static std::atomic<int> s_live;
};
