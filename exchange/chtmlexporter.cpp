#include "exchange/chtmlexporter.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <cerrno>

#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/openreports.h"
#include "engine/status.h"
#include "engine/textutil.h"
#include "exchange/ownxml_format.h"
#include "platform/uiservices.h"

namespace {

using namespace qor;

// Fills the "%d", "%i", "%s" and "%.0f" of a string-table text in order
// with texts already made; the table's texts are data and never reach
// printf.

void tell(const QString& text) { messageBox(text, QString(), MsgButtons::Ok, MsgIcon::Warning); }

bool endsWithNoCase(const QString& text, QLatin1StringView tail) {
    return text.endsWith(tail, Qt::CaseInsensitive);
}

int32_t attribute(CReportHandle& report, int code, int row, int col) {
    int32_t value = 0;
    const CellArea cell = CellArea::cell(row, col);
    if (report.AccessAreaFormat(0, code, &value, &cell) != 0) return 0;
    return value;
}

// The HTML size of a size index: the browser's seven sizes cover the
// sixteen point sizes in steps.
int htmlFontSize(int sizeIndex) {
    if (sizeIndex <= 2) return 2;
    if (sizeIndex <= 4) return 3;
    if (sizeIndex <= 6) return 4;
    if (sizeIndex <= 9) return 5;
    if (sizeIndex <= 12) return 6;
    return 7;
}

QString keywordText(CReportHandle& report, int slot, int page) {
    KeywordValue value;
    if (report.GetPageKeyword(slot, &value, page) != 0) value = {};
    const QString number = QString::number(value.kind == 1 ? value.number : 0, 'f', 0);
    switch (slot) {
        case 0:
            return qor::FillMessageText(LoadErrorText(qor::str::kUnitNameValue), {value.text});
        case 1:
            return qor::FillMessageText(LoadErrorText(qor::str::kUnitCodeValue), {value.text});
        case 2:
        case 3:
        case 4:
        case 5:
            if (value.kind != 1 || value.number == 0) return LoadErrorText(qor::str::kKeywordYear + slot - 2);
            return qor::FillMessageText(LoadErrorText(qor::str::kYearValue + slot - 2), {number});
        case 6: {
            const CReportFile* file = report.GetReportFile();
            const QString name = file ? file->GetUserKeywordName() : QString();
            if (file && file->GetUserKeywordType() == 1) return number + u' ' + name;
            return LoadErrorText(qor::str::kNameAndText).arg(name, value.text);
        }
        default:
            return QString();
    }
}

// The shown text of a cell, not yet escaped.
QString cellText(CReportHandle& report, int row, int col, int page) {
    QString text;
    CellValue value;
    if (report.GetCellValue(&value, row, col, page) == 0) {
        if (value.kind == kCellNumber) {
            text = FormatNumberText(value.number, attribute(report, kFmtPercent, row, col) != 0,
                                    attribute(report, kFmtThousands, row, col) != 0,
                                    attribute(report, kFmtCurrency, row, col) != 0,
                                    attribute(report, kFmtDecimals, row, col));
        } else if (value.isText()) {
            text = report.GetCellText(row, col, page);
        }
    }
    int slot = -1;
    const CReportFile* file = report.GetReportFile();
    if (file && file->FindKeywordAt(row, col, &slot)) text = keywordText(report, slot, page);
    return text.trimmed();
}

}  // namespace

namespace {
CHtmlExporter::OverwriteAsker& defaultOverwriteAsker() {
    static CHtmlExporter::OverwriteAsker asker;
    return asker;
}
}  // namespace

void CHtmlExporter::SetDefaultOverwriteAsker(OverwriteAsker asker) {
    defaultOverwriteAsker() = std::move(asker);
}

CHtmlExporter::CHtmlExporter() = default;

CHtmlExporter::~CHtmlExporter() {
    m_file.Abort();
    releaseReport();
}

void CHtmlExporter::releaseReport() {
    m_ownedReport.reset();
    m_report = nullptr;
    m_ownsReport = 0;
    m_ready = 0;
}

QString CHtmlExporter::PaletteColour(int index) {
    return QStringLiteral("#%1").arg(cellPaletteRgb(index & 15), 6, 16, QLatin1Char('0')).toUpper();
}

QString CHtmlExporter::EscapeHtml(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        switch (c.unicode()) {
            case u'&':
                out += QLatin1String("&amp;");
                break;
            case u'<':
                out += QLatin1String("&lt;");
                break;
            case u'>':
                out += QLatin1String("&gt;");
                break;
            case u'"':
                out += QLatin1String("&quot;");
                break;
            case u'\'':
                out += QLatin1String("&#39;");
                break;
            default:
                out += c;
        }
    }
    // What no browser reads as itself is left out, and the export names it.
    return WithoutUncarriedChars(out);
}

int CHtmlExporter::OpenSource(const QString& name, int page) {
    releaseReport();
    m_page = page;
    if (name.isEmpty()) {
        tell(LoadErrorText(qor::str::kSourceTableNameEmpty));
        return 0;
    }
    if (endsWithNoCase(name, QLatin1StringView(".rep"))) {
        m_sourcePath = name;
        m_outputPath = name.left(name.size() - 4) + QStringLiteral(".htm");
    } else {
        m_sourcePath = name + QStringLiteral(".rep");
        m_outputPath = name + QStringLiteral(".htm");
    }
    m_report = FindOpenReport(m_sourcePath);
    if (!m_report) {
        // Only an existing report is read: a mistyped name must not leave a
        // new empty report behind.
        auto owned =
            std::make_unique<CReportHandle>(m_sourcePath, CReportHandle::OpenMode::OpenExisting,
                                            CReportHandle::Access::Read);
        if (!owned->IsOpen() || owned->OpenStatus() != 0) {
            // Only a report of an older version is told to be converted
            // first: one this account may not read, a folder, a FIFO or a
            // damaged file is told as every other reader of a report tells it.
            const QFileInfo source(m_sourcePath);
            const uint16_t status = owned->OpenStatus();
            const QString shown = QDir::toNativeSeparators(m_sourcePath);
            if (source.exists() && !source.isReadable())
                tell(LoadErrorText(qor::str::kNameAndText).arg(shown, FileErrorText(EACCES)));
            else if (status == code(Status::UnsupportedVersion) || status == 0)
                tell(shown + LoadErrorText(qor::str::kNotVersion8File));
            else
                tell(LoadErrorText(qor::str::kNameAndText).arg(shown, StatusText(status)));
            return 0;
        }
        // A report stored in format state still has its pages; they are
        // what is exported. The report is never saved, so the state it was
        // stored in stays.
        if (owned->IsFormatState()) owned->EnterDataState();
        m_ownedReport = std::move(owned);
        m_report = m_ownedReport.get();
        m_ownsReport = 1;
    }
    m_pageCount = std::max(1, m_report->GetPageCount());
    if (page < 0 || page > m_pageCount) {
        tell(qor::FillMessageText(LoadErrorText(qor::str::kPageNotInRange),
                              {QString::number(page), QString::number(m_pageCount)}));
        releaseReport();
        return 0;
    }
    m_ready = 1;
    return 1;
}

int CHtmlExporter::SetOutputPath(const QString& name) {
    if (name.isEmpty()) {
        tell(LoadErrorText(qor::str::kSourceTableNameEmpty));
        return 0;
    }
    m_outputPath =
        endsWithNoCase(name, QLatin1StringView(".htm")) ? name : name + QStringLiteral(".htm");
    return 1;
}

int CHtmlExporter::writePageFile(const QString& fileName) {
    // A page that could not be written whole is dropped, leaving any older
    // file of that name as it was; the user hears why (a full disk).
    bool ok = m_file.Open(fileName);
    if (ok) {
        ok = WritePage() == 1;
        if (!ok) m_file.Abort();
        ok = m_file.Close() && ok;
    }
    if (!ok) {
        QString text = qor::FillMessageText(LoadErrorText(qor::str::kCreateFileFailed),
                                            {QDir::toNativeSeparators(fileName)});
        if (m_file.Error()) text += QStringLiteral(" ") + FileErrorText(m_file.Error());
        tell(text);
        return 0;
    }
    return 1;
}

bool CHtmlExporter::pagesReadable() {
    // In format state the table shows its labels and reads no page.
    if (m_report->IsFormatState()) return true;
    for (int i = 1; i <= m_pageCount; ++i) {
        if (m_page != 0 && i != m_page) continue;
        if (m_page == 0 && !m_selection.isEmpty() && !m_selection.contains(i)) continue;
        uint16_t status = 0;
        if (!m_report->GetPage(i, &status)) {
            tell(LoadErrorText(qor::str::kNameAndText).arg(QDir::toNativeSeparators(m_sourcePath),
                                          LoadErrorText(qor::str::kXmlPageUnreadable).arg(i).arg(StatusText(status))));
            return false;
        }
    }
    return true;
}

int CHtmlExporter::ExportPages() {
    if (!m_ready || !m_report) {
        tell(LoadErrorText(qor::str::kRunSetTableFirst));
        return 0;
    }
    // A damaged page fails the export before any file is written, rather
    // than giving a page file that looks like an empty table.
    if (!pagesReadable()) {
        if (m_ownsReport) {
            releaseReport();
        } else {
            m_ready = 0;
            m_report = nullptr;
        }
        return 0;
    }
    // A report the user has open stays on the page they were looking at.
    const int shownPage = m_report->GetCurPage();
    int result = 1;
    if (m_page == 0) {
        const QFileInfo source(m_sourcePath);
        const QString folder = m_pagesFolder.isEmpty()
                                   ? source.absoluteDir().filePath(QStringLiteral("html"))
                                   : m_pagesFolder;
        QDir().mkpath(folder);
        m_outputPath = QDir(folder).filePath(source.completeBaseName());
        for (int i = 1; i <= m_pageCount; ++i) {
            if (!m_selection.isEmpty() && !m_selection.contains(i)) continue;
            const QString fileName = QStringLiteral("%1_%2.html").arg(m_outputPath).arg(i);
            if (QFileInfo::exists(fileName) && m_keepChoice == 0) {
                const QString question =
                    QDir::toNativeSeparators(fileName) + LoadErrorText(qor::str::kFileExistsOverwriteShort);
                OverwriteAnswer answer;
                if (m_ask) {
                    answer = m_ask(question);
                } else if (const OverwriteAsker ask = defaultOverwriteAsker()) {
                    answer = ask(question);
                } else {
                    answer.overwrite =
                        messageBox(question, QString(), MsgButtons::YesNo, MsgIcon::Question,
                                   MsgAnswer::Yes) == MsgAnswer::Yes;
                }
                m_overwrite = answer.overwrite ? 1 : 0;
                m_keepChoice = answer.always ? 1 : 0;
            }
            if (QFileInfo::exists(fileName) && m_overwrite == 0) continue;
            m_page = i;
            // The next pages would fail as this one did (a full disk): one
            // failure ends the export.
            if (!writePageFile(fileName)) {
                result = 0;
                break;
            }
        }
        m_page = 0;
    } else if (!writePageFile(m_outputPath)) {
        result = 0;
    }
    if (m_ownsReport) {
        releaseReport();
    } else {
        if (shownPage > 0 && !m_report->IsFormatState()) m_report->SetCurPage(shownPage);
        // The report stays with its document; a new export takes it again.
        m_ready = 0;
        m_report = nullptr;
    }
    return result;
}

int CHtmlExporter::WritePage() {
    const QString title =
        qor::FillMessageText(LoadErrorText(qor::str::kHtmlTitle), {QFileInfo(m_file.GetFileName()).fileName()});
    const char16_t bom = 0xFEFF;
    bool ok = m_file.WriteString(QString(QChar(bom)));
    const QString head[] = {
        QStringLiteral("<HTML>\r\n"),
        QStringLiteral("<HEAD>\r\n"),
        QStringLiteral("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
                       "charset=unicode\">\r\n"),
        QStringLiteral("<META NAME=\"GENERATOR\" CONTENT=\"Mozilla/4.05 [en] (Win95; I) "
                       "[Netscape]\">\r\n"),
        QStringLiteral("<META NAME=\"Author\" CONTENT=\"Original\">\r\n"),
        QStringLiteral("<TITLE>"),
        EscapeHtml(title),
        QStringLiteral("</TITLE>\r\n"),
        QStringLiteral("</HEAD>\r\n"),
        // The attributes need a blank between them for a browser to see
        // VLINK at all.
        QStringLiteral("<BODY TEXT=\"#000000\" BGCOLOR=\"#FFFFFF\" LINK=\"#0000EE\" "),
        QStringLiteral("VLINK=\"#551A8B\" ALINK=\"#0000EE\" BACKGROUND=\"vantix.jpg\" "
                       "NOSAVE>\r\n"),
    };
    for (const QString& text : head) ok = ok && m_file.WriteString(text);
    ok = ok && WriteTable();
    for (const char* tail : {"</TABLE></CENTER>\r\n", "</BODY>\r\n", "</HTML>\r\n"})
        ok = ok && m_file.WriteString(QString::fromLatin1(tail));
    return ok ? 1 : 0;
}

bool CHtmlExporter::WriteTable() {
    if (!m_report) return false;
    CReportHandle& report = *m_report;
    const CReportFile* file = report.GetReportFile();
    if (!file) return false;
    // In format state the table shows its labels (page 0).
    int page = 0;
    if (!report.IsFormatState()) {
        // A page that cannot be read has no table to show; the page file
        // is dropped rather than written empty.
        if (report.SetCurPage(m_page) != 0) return false;
        page = report.GetCurPage();
    }
    const int rows = file->GetShownRowCount();
    const int cols = file->GetShownColCount();
    std::vector<int> widths(size_t(cols) + 1, 0);
    int tableWidth = 0;
    for (int c = 1; c <= cols; ++c) {
        uint16_t w = 0;
        report.AccessRowColSize(0, 1, c, &w);
        widths[size_t(c)] = w;
        tableWidth += w;
    }
    bool ok = m_file.WriteString(
        QStringLiteral("<CENTER><TABLE BORDER=0 CELLPADDING=0 cellspacing=0 bordercolor=#E6CACA "
                       "bordercolorlight=#000000 bordercolordark=#E6CACA "));
    ok = ok && m_file.WriteString(QStringLiteral("WIDTH=\"%1").arg(tableWidth * 11 / 8));
    ok = ok && m_file.WriteString(QStringLiteral("\" >\r\n"));

    for (int r = 1; r <= rows && ok; ++r) {
        uint16_t rowHeight = 0;
        report.AccessRowColSize(0, 0, r, &rowHeight);
        const int h = rowHeight * 4 / 3;
        QString out = QStringLiteral("<TR>\r\n");
        for (int c = 1; c <= cols; ++c) {
            uint16_t storedRow = 0, storedCol = 0;
            if (!file->MapCellAddress(r, c, &storedRow, &storedCol)) break;
            int colSpan = 1, rowSpan = 1;
            CellArea area;
            if (report.GetCombinedArea(CellArea::cell(r, c), &area)) {
                // Inside a combined area only its first cell is written.
                if (area.first.row != r || area.first.col != c) continue;
                rowSpan = std::min<int>(area.last.row, rows) - r + 1;
                colSpan = std::min<int>(area.last.col, cols) - c + 1;
            }
            const QString text = cellText(report, r, c, page);
            const bool number = [&] {
                CellValue v;
                return report.GetCellValue(&v, r, c, page) == 0 &&
                       (v.kind == kCellNumber || v.kind == kCellUnset);
            }();
            const int hAlign = attribute(report, kFmtHAlign, r, c);
            const QString align = hAlign == kAlignStart           ? QStringLiteral("align = left")
                                  : hAlign == kAlignCentre        ? QStringLiteral("align = center")
                                  : hAlign == kAlignEnd || number ? QStringLiteral("align = right")
                                                                  : QStringLiteral("align = left");
            const int vAlign = attribute(report, kFmtVAlign, r, c);
            const QString valign = vAlign == kAlignStart ? QStringLiteral("valign = top")
                                   : vAlign == kAlignEnd ? QStringLiteral("valign = bottom")
                                                         : QStringLiteral("valign = middle");
            const QString width =
                QStringLiteral(" width=%1 ").arg(widths[size_t(c)] * 11 / 8 * colSpan);
            const QString height = c == 1 ? QStringLiteral(" height=%1 ").arg(h) : QString();

            const bool top = r == 1;
            const bool bottom = (r != 1 && r == rows) || (rowSpan > 1 && r + rowSpan - 1 == rows) ||
                                attribute(report, kFmtBottomLine, r, c) != 0;
            const bool left = c == 1;
            const bool right = (c != 1 && c == cols) || (colSpan > 1 && c + colSpan - 1 == cols) ||
                               attribute(report, kFmtRightLine, r, c) != 0;
            QString style;
            if (top || bottom || left || right) {
                style = QStringLiteral("style=\"");
                if (top) style += QStringLiteral("border-top: 1px groove rgb(0,0,0);");
                if (bottom) style += QStringLiteral("border-bottom: 1px groove rgb(0,0,0);");
                if (left) style += QStringLiteral("border-left: 1px groove rgb(0,0,0);");
                if (right) style += QStringLiteral("border-right: 1px groove rgb(0,0,0);");
                style.chop(1);
                style += u'"';
            }
            // White, the cells' own background, keeps the page's usual tint.
            const int background = attribute(report, kFmtBackground, r, c);
            const QString bgColour =
                background == kColourWhite ? QStringLiteral("#E6CACA") : PaletteColour(background);
            out += QStringLiteral(
                       "<TD %1 %2 %3 %4 COLSPAN=\"%5\" ROWSPAN = \"%6\" "
                       "BGCOLOR=\"%7\" %8>\r\n")
                       .arg(align, valign, width, height)
                       .arg(colSpan)
                       .arg(rowSpan)
                       .arg(bgColour, style);

            const int fontStyle = attribute(report, kFmtFontStyle, r, c);
            const bool bold = fontStyle == kFontBold || fontStyle == kFontBoldItalic ||
                              fontStyle == kFontBoldUnderline ||
                              fontStyle == kFontBoldItalicUnderline;
            const bool italic = fontStyle == kFontItalic || fontStyle == kFontBoldItalic ||
                                fontStyle == kFontItalicUnderline ||
                                fontStyle == kFontBoldItalicUnderline;
            const bool underline = fontStyle == kFontUnderline || fontStyle == kFontBoldUnderline ||
                                   fontStyle == kFontItalicUnderline ||
                                   fontStyle == kFontBoldItalicUnderline;
            if (bold) out += QStringLiteral("<B>");
            if (underline) out += QStringLiteral("<U>");
            if (italic) out += QStringLiteral("<EM>");
            out += QStringLiteral("<FONT SIZE=\"%1\" FACE=\"%2\" COLOR=\"%3\">")
                       .arg(htmlFontSize(attribute(report, kFmtFontSize, r, c)))
                       .arg(EscapeHtml(ownxml::FontName(attribute(report, kFmtFont, r, c))),
                            PaletteColour(attribute(report, kFmtForeground, r, c)));
            out += text.isEmpty() ? QStringLiteral("<BR>") : EscapeHtml(text);
            out += QStringLiteral("</FONT>");
            if (italic) out += QStringLiteral("</EM>");
            if (underline) out += QStringLiteral("</U>");
            if (bold) out += QStringLiteral("</B>");
            out += QStringLiteral("\r\n</TD>\r\n");
        }
        out += QStringLiteral("</TR>\r\n");
        ok = m_file.WriteString(out);
    }
    return ok;
}
