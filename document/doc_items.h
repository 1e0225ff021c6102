#pragma once
// The document's free-standing items: charts and embedded objects on its
// pages, drawn from the head of the list to its tail and stored in the
// "Contents" stream; the current chart and the chart window's state; the
// object edited in place. The document owns one and hands it out through
// CQorsDoc::Items(); the items see it as their document.

#include <QHash>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <vector>

#include "charts/ccomitem.h"
#include "charts/chartdesc.h"
#include "charts/itemsupport.h"
#include "engine/celltypes.h"

class CGraphItem;
class CQorsDoc;
class QFileSystemWatcher;
namespace qor::charts {
struct ChartData;
}

class DocItems : public qor::items::IItemDocument {
public:
    using ItemPos = CComItem*;  // a place in the item list; null = none

    // The chart window and chart frame of the document (the windows set
    // these; the document and the views read them).
    struct ChartWindowState {
        int32_t frameOpen = 0;
        int32_t windowOpen = 0;
        int32_t changed = 0;
        QObject* view = nullptr;
        int32_t editing = 0;  // the first sheet view edits a chart
    };

    explicit DocItems(CQorsDoc& doc);
    ~DocItems() override;
    DocItems(const DocItems&) = delete;
    DocItems& operator=(const DocItems&) = delete;

    // A new OLE item (ole non-zero) or chart, of the current page (0 in
    // format state), added to the list; a chart becomes the current chart.
    // Null, with message 62722, for a chart in format state.
    std::shared_ptr<CComItem> CreateComItem(int ole);
    void AddComItem(const std::shared_ptr<CComItem>& item);
    void RemoveComItem(CComItem* item) override;
    void RemoveComItemAndRefresh(CComItem* item);
    // Moves the item 10 pixels right and down while its rectangle equals
    // another item's.
    void CascadeComItem(CComItem* item);
    ItemPos FindComItem(const CComItem* item) const;
    ItemPos GetFirstComItemPos() const;
    ItemPos GetLastComItemPos() const;
    // The item at pos; pos moves to the next (previous) one, null at the end.
    CComItem* GetNextComItem(ItemPos& pos) const;
    CComItem* GetPrevComItem(ItemPos& pos) const;
    // Moves the item to the tail of the list (drawn last, on top) or to its
    // head; false when it is not in the list or already there.
    bool MoveComItemToEnd(const CComItem* item, bool toTail);
    int GetComItemCount() const { return int(m_items.size()); }
    std::shared_ptr<CComItem> GetComItemShared(const CComItem* item) const;
    // Drops every item (the report is gone).
    void Clear();

    // Stores the description into the current chart (that chart alone);
    // 1.
    int CreateChart(const qor::items::ChartDesc& desc);
    // Removes the current chart; the next chart (else the previous) becomes
    // current. False when no chart remains.
    bool DeleteCurrentChart();
    int GetChartCount() const;
    void GetChartListInfo(int* count, ItemPos* pos) const;
    bool GetChartName(ItemPos pos, QString* name) const;
    bool SetCurrentChart(ItemPos pos);
    ItemPos GetCurrentChart() const { return m_posCurrentChart; }
    // 0 without pages; else the current chart's description and 1 page,
    // or the page count capped at 12 for a whole-report chart; 1.
    int GetChartPageSpan(qor::items::ChartDesc* desc, int* pages) const;
    // The number the next pasted chart's "GRAPH_<n>" name takes (stored
    // in "OTHERS").
    int32_t ChartCounter() const { return m_nChartCounter; }
    void SetChartCounter(int32_t counter) { m_nChartCounter = counter; }
    ChartWindowState& ChartWindow() { return m_chartWindow; }
    const ChartWindowState& ChartWindow() const { return m_chartWindow; }
    // Forgets the current chart's description, the chart counter, the
    // chart window's flags and the object in place (a new or another
    // report); the list itself stays.
    void ResetState();

    // One cell of a chart's source area: kind 1 a number, else a text (at
    // most 65 characters).
    struct ChartCellRecord {
        int32_t kind = 0;
        QString text;
        double value = 0;
        bool operator==(const ChartCellRecord&) const = default;
    };
    // The chart's source area, page after page (from the description's
    // page, or page 1 for a whole-report chart), row by row, plus one spare
    // record; and one label per page (the value of the description's label
    // keyword, at most 310 characters). False, with a message, for an area
    // outside the table or no pages in data state.
    bool GetChartDataFromArea(const qor::items::ChartDesc& desc, int pages,
                              std::vector<ChartCellRecord>* cells, QStringList* pageLabels);
    // Brings a chart item's picture up to date: drawn again from the cells
    // of the item's page (a format item: the page on screen; a whole-report
    // chart: pages 1 to 12) when the cells, that page or the item's size
    // changed since it was last drawn, or always with `force`. Quiet: an
    // area outside the table, too large, or a report without pages leaves
    // the chart without a picture. True when the item has a fresh picture.
    bool RefreshChartPicture(CComItem* item, bool force = false) override;
    // The page whose cells a chart item shows.
    int ChartItemPage(const CComItem& item) const;
    // A chart item's description (its page set to the page shown) and the
    // cells it draws; false, quietly, when they cannot be read.
    bool ReadChartItemData(const CGraphItem& chart, qor::items::ChartDesc* desc,
                           qor::charts::ChartData* data) const;
    // Adds the chart of a "Graph QOR Data" record (clipboard or drop): a new
    // "GRAPH_<n>" name, the current page in data state (else its own page
    // when that page exists here, else 0), placed at `at` when given and
    // moved off an equal rectangle. Null with *error, adding nothing, for
    // bytes that are not exactly one chart.
    std::shared_ptr<CComItem> PasteChartItem(const QByteArray& record, const QPoint* at,
                                             QString* error = nullptr);
    // Deletes the charts of the current page (format charts in format
    // state) that lie wholly inside the area (a cleared selection).
    void RemoveChartsInArea(const CellArea& area);

    // An object made from a file, added at `at` (sheet pixels): embedded
    // (its bytes kept in the report) or linked (the file named), shown as
    // its picture or as an icon. Null with *error, adding nothing, for a
    // report file, a file too large or unreadable.
    std::shared_ptr<CComItem> InsertObjectFromFile(const QString& path, QPoint at, bool link,
                                                   bool icon, QString* error = nullptr);
    // An object of bytes already in hand (a dropped or pasted picture, a
    // copied report): embedded, or linked to the file `name`; shown as
    // `picture` (PNG) when given, else as its bytes show. Null with
    // *error, adding nothing, for no bytes or too many.
    struct NewObject {
        QByteArray bytes;
        QString name;     // file name (the class and the placeholder come from it)
        QString classId;  // empty: from the bytes and the name
        QByteArray picture;
        bool link = false;
        bool icon = false;
    };
    std::shared_ptr<CComItem> InsertObject(const NewObject& object, QPoint at,
                                           QString* error = nullptr);
    // Adds the object of an "OLE QOR Data" payload with its bytes (a new
    // embedding number here), at `at` when given, moved off an equal
    // rectangle. Null with *error, adding nothing, for damaged bytes.
    std::shared_ptr<CComItem> PasteObjectItem(const QByteArray& payload, const QPoint* at,
                                              bool keepOwnPage, QString* error = nullptr);
    // The page a pasted or dropped item gets: in format state its own page
    // when that page exists here, else 0; in data state the current page,
    // or with keepOwnPage its own page when that exists here.
    uint32_t PastedItemPage(uint32_t page, bool keepOwnPage) const;
    // The report's bytes as saved, for another report to embed; empty with
    // *error while it has unsaved changes or no file.
    QByteArray SaveEmbeddingCopy(QString* error = nullptr) const;
    // The object's primary verb: an embedded object opens as a copy in the
    // work folder, a linked one as its file, in the desktop's program;
    // changes saved there come back (ObjectFileChanged). False with *error
    // when there is nothing to open or no program opened it.
    bool OpenObject(CComItem* item, QString* error = nullptr);
    // A file opened by OpenObject changed: an embedded object takes the new
    // bytes, a linked one its new picture; both are drawn again and the
    // report is marked modified. False when the file is not one of ours or
    // cannot be read (the object keeps what it had).
    bool ObjectFileChanged(const QString& path);
    // An embedded object takes new bytes (edited elsewhere): its picture is
    // made anew from them, it is drawn again and the report is marked
    // modified. False, changing nothing, for no bytes, the same bytes, a
    // link or an item that is not an object of this report.
    bool TakeObjectData(CComItem* item, const QByteArray& bytes, const QString& fileName);
    // A linked object's picture made anew from its file; false, keeping the
    // stored picture, when the file is gone or unreadable.
    bool RefreshLinkedObject(CComItem* item);

    // The item list as the "Contents" stream, and back (loading replaces
    // the list). False with *error for a damaged stream.
    QByteArray SerializeItems() const;
    bool LoadItems(const QByteArray& contents, QString* error = nullptr);
    // Embedded objects' bytes to and from their "Embedding n" storages of
    // the report file.
    void WriteObjectStorages();
    void ReadObjectStorages();

    // The object of this report now edited in place (null when none). The
    // window that edits it sets and clears it; the document only answers.
    CComItem* GetInPlaceActiveItem() const { return m_pInPlaceItem; }
    void SetInPlaceActiveItem(CComItem* item) { m_pInPlaceItem = item; }
    // Set on a report that is itself an object being edited in place in
    // another report.
    bool IsRunningInPlace() const { return m_bRunningInPlace; }
    void SetRunningInPlace(bool on) { m_bRunningInPlace = on; }

    // What the items ask of their document.
    void UpdateItemViews(CComItem* item) override;
    void SetModifiedFlag(bool modified = true) override;
    QSize SheetSize() const override;
    bool IsFirstViewChartEditing() const override { return m_chartWindow.editing != 0; }

private:
    bool chartAreaInTable(const qor::items::ChartDesc& desc) const;
    uint32_t nextEmbeddingNumber() const;

    CQorsDoc& m_doc;
    std::vector<std::shared_ptr<CComItem>> m_items;
    ItemPos m_posCurrentChart = nullptr;
    int32_t m_nChartCounter = 0;  // for "GRAPH_" names
    qor::items::ChartDesc m_currentChartDesc;
    ChartWindowState m_chartWindow;
    CComItem* m_pInPlaceItem = nullptr;
    bool m_bRunningInPlace = false;
    // Files opened for objects (path -> item) and their watcher.
    QHash<QString, CComItem*> m_openObjects;
    std::unique_ptr<QFileSystemWatcher> m_objectWatcher;
};
