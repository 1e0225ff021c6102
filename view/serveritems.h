#pragma once
// The report served to other reports and programs: the whole report
// embedded elsewhere (COlesvrItem, showing a block of its cells) and a
// link to a cell range of one page (COleLinkItem, named "Page<n>!<range>").
// They are plain objects over the document: they say what they show, how
// large it is, draw it into an image and put it on the clipboard.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include "document/cqorsdoc.h"
#include "view/cellpainter.h"

class QMimeData;

namespace qor::view {

// The cells of rows top..bottom and columns left..right (document
// indices from 0) drawn as the sheet shows them, with the items of the
// page over them, at the display scale; null for a document without a
// report, an empty block or one too large.
// Blocks larger than this many pixels a side (or than 8192 x 2048 in all)
// get no picture.
inline constexpr int kMaxRangePicture = 8192;
QImage RenderCellRange(const CQorsDoc& doc, int left, int top, int right, int bottom,
                       float scale = kDefaultViewScale);

// Registers the viewer of our own report class: an embedded or linked
// report shows its first block (A1:E10) as it is drawn now. A report drawn
// inside another report's drawing shows the picture it has.
void InstallReportViewer();
// The picture of a report's bytes as that viewer draws it; null when the
// bytes do not open as a report.
QImage ReportObjectPicture(const QByteArray& bytes);

// "Page<n>!<range>": the page and the range as FormatAreaRef writes it.
QString MakeLinkName(int page, int left, int top, int right, int bottom);
// Reads a link name from outside; false, outputs untouched, without a
// "!", with a page that is not a whole number of at least 1 after
// "Page", or a range ParseAreaRef refuses.
bool ParseLinkName(const QString& name, int* page, int* left, int* top, int* right, int* bottom);

}  // namespace qor::view

class COlesvrItem : public qor::IDocServerItem {
public:
    explicit COlesvrItem(CQorsDoc* doc);
    ~COlesvrItem() override;
    COlesvrItem(const COlesvrItem&) = delete;
    COlesvrItem& operator=(const COlesvrItem&) = delete;

    CQorsDoc* GetDocument() const { return m_doc; }
    // The served block, document indices from 0: left, top, right, bottom.
    int Left() const { return m_left; }
    int Top() const { return m_top; }
    int Right() const { return m_right; }
    int Bottom() const { return m_bottom; }
    void SetRange(int left, int top, int right, int bottom);
    // The block moved back inside the table (its size kept, never before
    // the first row or column; a block larger than the table is cut).
    void ClampedRange(int* left, int* top, int* right, int* bottom) const;
    // The block's size in HIMETRIC (0.01 mm).
    QSize GetExtent() const;
    // The block drawn into an image of its pixel size.
    QImage Render() const;
    // Adds what other programs read the served block by: its picture,
    // the report as "Embed Source" when it is saved, and the descriptor.
    virtual void AddClipboardFormats(QMimeData* data) const;

    void OnDocumentUpdate(const QObject* sender, int hint, bool force) override;
    int UpdateCount() const { return m_updates; }

protected:
    CQorsDoc* m_doc;
    int m_left = 0, m_top = 0, m_right = 4, m_bottom = 9;
    int m_updates = 0;
};

class COleLinkItem : public COlesvrItem {
public:
    // A link by its name; a name that does not parse keeps the defaults
    // (the current page, the first block).
    COleLinkItem(CQorsDoc* doc, const QString& name);
    // A link to a block of the current page.
    COleLinkItem(CQorsDoc* doc, int left, int top, int right, int bottom);

    int GetPage() const { return m_page; }
    QString GetItemName() const;
    bool NameAccepted() const { return m_accepted; }
    // Also "Link Source" (the report's path and the link name) when the
    // report has a file.
    void AddClipboardFormats(QMimeData* data) const override;

private:
    int m_page = 1;
    bool m_accepted = true;
};
