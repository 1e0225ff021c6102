// The Lotus driver: ".wk4" worksheets read through libwps and written by
// our own record writer. libwps knows no Chinese code page, so files are
// parsed as code page 437, whose upper half maps every byte to a character
// of its own; those characters are mapped back to their bytes, which are
// then decoded as any text that names no code page is: UTF-8 when every
// text of the file is valid UTF-8, else GB18030, a text whose bytes are
// neither kept with U+FFFD for them and named with its cell.
//
// Each worksheet is two table definitions, "<sheet>:" and
// "<sheet>:A1..<last cell>", both reading the same cells where they stand
// (see lotusTableShape).

#include <iconv.h>
#include <librevenge-stream/librevenge-stream.h>
#include <librevenge/librevenge.h>
#include <libwps/libwps.h>

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMap>
#include <QMutex>
#include <cmath>
#include <cstring>
#include <map>
#include <set>

#include "engine/textutil.h"
#include "exchange/jetdriver.h"
#include "exchange/losstally.h"
#include "platform/codepage.h"
#include "platform/safefile.h"
#include "engine/messages.h"

namespace qor::jet {
namespace {

constexpr qint64 kMaxLotusBytes = qint64(64) << 20;
constexpr int kMaxLotusRecords = 8191;  // 8,192 rows less the names
constexpr int kMaxLotusFields = 256;
constexpr int kMaxLotusSheets = 256;

// The character code page 437 gives each byte, and back.
struct Cp437 {
    QString toChar[256];
    QMap<QString, char> toByte;
    Cp437() {
        iconv_t cd = iconv_open("UTF-8", "IBM437");
        for (int b = 0; b < 256; ++b) {
            char in = char(b);
            char out[8] = {};
            char* ip = &in;
            char* op = out;
            size_t il = 1, ol = sizeof out;
            QString c;
            if (cd != iconv_t(-1) && iconv(cd, &ip, &il, &op, &ol) != size_t(-1))
                c = QString::fromUtf8(out, int(op - out));
            if (c.isEmpty()) c = QChar(b);
            toChar[b] = c;
            toByte.insert(c, char(b));
        }
        if (cd != iconv_t(-1)) iconv_close(cd);
    }
};

const Cp437& cp437() {
    static const Cp437 table;
    return table;
}

// Text from libwps (parsed as code page 437) back to the file's bytes.
QByteArray fromParsed(const QString& parsed) {
    QByteArray bytes;
    for (qsizetype i = 0; i < parsed.size(); ++i) {
        const qsizetype n = parsed.at(i).isHighSurrogate() && i + 1 < parsed.size() ? 2 : 1;
        const QString c = parsed.mid(i, n);
        i += n - 1;
        auto it = cp437().toByte.constFind(c);
        if (it != cp437().toByte.constEnd())
            bytes.append(*it);
        else if (c == QLatin1String("\t"))
            bytes.append('\t');
        else
            bytes.append(c.toUtf8());
    }
    return bytes;
}

using Sheet = LotusSheet;

// Collects what libwps sends of a spreadsheet: sheet names and cells,
// texts as the file's bytes (decoded once every text is known).
class Collector final : public librevenge::RVNGSpreadsheetInterface {
public:
    QList<Sheet> sheets;
    QList<QByteArray> sheetNames;
    QList<std::map<std::pair<int, int>, QByteArray>> texts;  // a sheet's text cells
    qint64 cellCount = 0;

    void openSheet(const librevenge::RVNGPropertyList& p) override {
        sheets.append(Sheet());
        sheetNames.append(p["librevenge:sheet-name"]
                              ? fromParsed(QString::fromUtf8(p["librevenge:sheet-name"]->getStr().cstr()))
                              : QByteArray());
        texts.emplace_back();
        m_row = -1;
    }
    // Empty sheets up to count, for labels of sheets libwps sent none of.
    void addSheets(int count) {
        while (sheets.size() < count) {
            sheets.append(Sheet());
            sheetNames.append(QByteArray());
            texts.emplace_back();
        }
    }
    void openSheetRow(const librevenge::RVNGPropertyList& p) override {
        m_row = p["librevenge:row"] ? p["librevenge:row"]->getInt() : m_row + 1;
    }
    void openSheetCell(const librevenge::RVNGPropertyList& p) override {
        m_inCell = true;
        m_text.clear();
        m_col = p["librevenge:column"] ? p["librevenge:column"]->getInt() : 0;
        m_cellRow = p["librevenge:row"] ? p["librevenge:row"]->getInt() : std::max(0, m_row);
        m_number = false;
        if (p["librevenge:value-type"]) {
            const QString t = QString::fromUtf8(p["librevenge:value-type"]->getStr().cstr());
            m_number = t == QLatin1String("float") || t == QLatin1String("double") ||
                       t == QLatin1String("currency") || t == QLatin1String("percent") ||
                       t == QLatin1String("percentage");
        }
        m_value = p["librevenge:value"] ? p["librevenge:value"]->getDouble() : 0.0;
        m_formula = p.child("librevenge:formula") != nullptr;
    }
    void closeSheetCell() override {
        m_inCell = false;
        if (sheets.isEmpty() || m_col < 0 || m_cellRow < 0) return;
        if (m_number) {
            sheets.last().cells[{m_cellRow, m_col}] = m_value;
            texts.last().erase({m_cellRow, m_col});
        } else if (!m_text.isEmpty()) {
            sheets.last().cells[{m_cellRow, m_col}] = QString();
            texts.last()[{m_cellRow, m_col}] = fromParsed(QString::fromUtf8(m_text));
        } else {
            return;
        }
        if (m_formula) sheets.last().formulas.insert({m_cellRow, m_col});
        ++cellCount;
    }
    void insertText(const librevenge::RVNGString& t) override {
        if (m_inCell) m_text += t.cstr();
    }
    void insertSpace() override {
        if (m_inCell) m_text += ' ';
    }
    void insertTab() override {
        if (m_inCell) m_text += '\t';
    }
    void insertLineBreak() override {
        if (m_inCell) m_text += '\n';
    }

    // Everything else a spreadsheet can hold is of no use to a table.
    void setDocumentMetaData(const librevenge::RVNGPropertyList&) override {}
    void startDocument(const librevenge::RVNGPropertyList&) override {}
    void endDocument() override {}
    void definePageStyle(const librevenge::RVNGPropertyList&) override {}
    void defineEmbeddedFont(const librevenge::RVNGPropertyList&) override {}
    void openPageSpan(const librevenge::RVNGPropertyList&) override {}
    void closePageSpan() override {}
    void openHeader(const librevenge::RVNGPropertyList&) override {}
    void closeHeader() override {}
    void openFooter(const librevenge::RVNGPropertyList&) override {}
    void closeFooter() override {}
    void defineSheetNumberingStyle(const librevenge::RVNGPropertyList&) override {}
    void closeSheet() override {}
    void closeSheetRow() override {}
    void defineChartStyle(const librevenge::RVNGPropertyList&) override {}
    void openChart(const librevenge::RVNGPropertyList&) override {}
    void closeChart() override {}
    void openChartTextObject(const librevenge::RVNGPropertyList&) override {}
    void closeChartTextObject() override {}
    void openChartPlotArea(const librevenge::RVNGPropertyList&) override {}
    void closeChartPlotArea() override {}
    void insertChartAxis(const librevenge::RVNGPropertyList&) override {}
    void openChartSerie(const librevenge::RVNGPropertyList&) override {}
    void closeChartSerie() override {}
    void defineParagraphStyle(const librevenge::RVNGPropertyList&) override {}
    void openParagraph(const librevenge::RVNGPropertyList&) override {
        if (m_inCell && !m_text.isEmpty()) m_text += '\n';
    }
    void closeParagraph() override {}
    void defineCharacterStyle(const librevenge::RVNGPropertyList&) override {}
    void openSpan(const librevenge::RVNGPropertyList&) override {}
    void closeSpan() override {}
    void openLink(const librevenge::RVNGPropertyList&) override {}
    void closeLink() override {}
    void defineSectionStyle(const librevenge::RVNGPropertyList&) override {}
    void openSection(const librevenge::RVNGPropertyList&) override {}
    void closeSection() override {}
    void insertField(const librevenge::RVNGPropertyList&) override {}
    void openOrderedListLevel(const librevenge::RVNGPropertyList&) override {}
    void openUnorderedListLevel(const librevenge::RVNGPropertyList&) override {}
    void closeOrderedListLevel() override {}
    void closeUnorderedListLevel() override {}
    void openListElement(const librevenge::RVNGPropertyList&) override {}
    void closeListElement() override {}
    void openFootnote(const librevenge::RVNGPropertyList&) override {}
    void closeFootnote() override {}
    void openComment(const librevenge::RVNGPropertyList&) override { ++m_skip; }
    void closeComment() override { --m_skip; }
    void openFrame(const librevenge::RVNGPropertyList&) override {}
    void closeFrame() override {}
    void insertBinaryObject(const librevenge::RVNGPropertyList&) override {}
    void openTextBox(const librevenge::RVNGPropertyList&) override {}
    void closeTextBox() override {}
    void openTable(const librevenge::RVNGPropertyList&) override {}
    void openTableRow(const librevenge::RVNGPropertyList&) override {}
    void closeTableRow() override {}
    void openTableCell(const librevenge::RVNGPropertyList&) override {}
    void closeTableCell() override {}
    void insertCoveredTableCell(const librevenge::RVNGPropertyList&) override {}
    void closeTable() override {}
    void openGroup(const librevenge::RVNGPropertyList&) override {}
    void closeGroup() override {}
    void defineGraphicStyle(const librevenge::RVNGPropertyList&) override {}
    void drawRectangle(const librevenge::RVNGPropertyList&) override {}
    void drawEllipse(const librevenge::RVNGPropertyList&) override {}
    void drawPolygon(const librevenge::RVNGPropertyList&) override {}
    void drawPolyline(const librevenge::RVNGPropertyList&) override {}
    void drawPath(const librevenge::RVNGPropertyList&) override {}
    void drawConnector(const librevenge::RVNGPropertyList&) override {}
    void insertEquation(const librevenge::RVNGPropertyList&) override {}

private:
    bool m_inCell = false;
    int m_skip = 0;
    int m_row = -1;
    int m_cellRow = 0;
    int m_col = 0;
    bool m_number = false;
    bool m_formula = false;
    double m_value = 0;
    QByteArray m_text;
};

QString cellName(int row, int col) { return ColumnLetters(col + 1) + QString::number(row + 1); }

QString numberText(double d) { return QString::number(d, 'g', QLocale::FloatingPointShortest); }

class LotusDriver : public Driver {
public:
    LotusDriver(QList<Sheet> sheets, QString file) : m_sheets(std::move(sheets)), m_file(std::move(file)) {}

    QStringList tableNames() override {
        QStringList names;
        for (const Sheet& s : m_sheets) {
            names.append(s.name + QLatin1Char(':'));
            const LotusTableShape shape = lotusTableShape(s);
            names.append(s.name + QStringLiteral(":A1..") +
                         cellName(std::max(0, shape.rows - 1), std::max(0, shape.cols - 1)));
        }
        return names;
    }

    bool loadTable(const QString& table, LoadedTable* out) override {
        return collectTable([&](RecordSink& sink) { return streamTable(table, sink); }, out);
    }

    bool streamTable(const QString& table, RecordSink& sink) override {
        const qsizetype colon = table.indexOf(u':');
        const QString sheetName = colon < 0 ? table : table.left(colon);
        const Sheet* sheet = nullptr;
        for (const Sheet& s : m_sheets)
            if (s.name.compare(sheetName, Qt::CaseInsensitive) == 0) sheet = &s;
        if (!sheet) return false;
        if (sheet->cells.empty()) {
            sink.begin({});
            return true;
        }
        const LotusTableShape shape = lotusTableShape(*sheet);
        CheckWorksheetArea(sheet->name, QStringLiteral("A1..") + cellName(shape.rows - 1, shape.cols - 1),
                           shape.rows, shape.cols);
        sink.begin(shape.fields);
        FieldLosses losses;
        const QString undecoded = LoadErrorText(str::kLossBytesNotInCodePage).arg(sheet->encoding);
        QVariantList row(shape.cols);
        int at = shape.first;  // the row being filled
        bool more = true;
        auto hand = [&] {
            more = sink.record(row);
            row = QVariantList(shape.cols);
            ++at;
        };
        for (const auto& [pos, v] : sheet->cells) {
            if (pos.first < shape.first) continue;
            while (more && at < pos.first) hand();
            if (!more) break;
            const FieldInfo& f = shape.fields.at(pos.second);
            row[pos.second] = v.typeId() == QMetaType::Double && f.type == kText ? QVariant(numberText(v.toDouble())) : v;
            if (sheet->undecoded.count(pos)) losses.add(f.name, undecoded, pos.first - shape.first + 1);
        }
        if (more && at < shape.rows) hand();
        losses.tell(sink, m_file);
        return true;
    }

private:
    QList<Sheet> m_sheets;
    QString m_file;
};

// The record header libwps looks for before it parses anything: a
// beginning-of-file record of 26 bytes naming a 1-2-3 version.
bool looksLikeLotus(const QByteArray& b) {
    return b.size() >= 8 && quint8(b[0]) == 0 && quint8(b[1]) == 0 && quint8(b[2]) == 0x1A &&
           quint8(b[3]) == 0 && quint8(b[5]) == 0x10 && quint8(b[4]) <= 0x05;
}

// The bytes of a file's labels and sheet names as its records hold them,
// by sheet number: libwps reads control bytes in a label as line breaks,
// tabs or code page escapes (a label ends at byte 0x01), where a text is
// every byte up to its NUL.
struct RawTexts {
    std::map<std::tuple<int, int, int>, QByteArray> labels;  // (sheet, row, column)
    std::map<int, QByteArray> sheetNames;
};

// A record's text: up to its NUL or the end of the record.
QByteArray upToNul(const QByteArray& b, qsizetype from) {
    const qsizetype nul = b.indexOf('\0', from);
    return b.mid(from, nul < 0 ? -1 : nul - from);
}

// Walks the records up to the end-of-file record: libwps reads what comes
// before a damaged record and says nothing, so a file cut short or with a
// record running past its end would come in as part of itself. Keeps the
// labels' and sheet names' bytes on the way.
RawTexts readRecords(const QByteArray& b, const QString& path) {
    constexpr quint16 kEndOfFile = 0x0001;
    constexpr quint16 kLabel = 0x0016;
    constexpr quint16 kSheetName = 0x0023;
    constexpr quint16 kSheetNameKind = 14000;
    RawTexts raw;
    qsizetype at = 0;
    while (at < b.size()) {
        if (b.size() - at < 4)
            throw JetError(LoadErrorText(str::kLotusRecordPastEnd).arg(path).arg(at));
        const quint16 type = quint16(quint8(b[at]) | quint8(b[at + 1]) << 8);
        const qsizetype length = quint8(b[at + 2]) | quint8(b[at + 3]) << 8;
        if (length > b.size() - at - 4)
            throw JetError(LoadErrorText(str::kLotusRecordPastEnd).arg(path).arg(at));
        if (type == kEndOfFile) return raw;
        const QByteArray body = b.mid(at + 4, length);
        if (type == kLabel && length >= 5) {
            // Row, sheet, column, then the label prefix (alignment).
            const int row = quint8(body[0]) | quint8(body[1]) << 8;
            const qsizetype text = QByteArray("'\"^\\|").contains(body[4]) ? 5 : 4;
            raw.labels[{quint8(body[2]), row, quint8(body[3])}] = upToNul(body, text);
        } else if (type == kSheetName && length >= 4 &&
                   (quint8(body[0]) | quint8(body[1]) << 8) == kSheetNameKind) {
            raw.sheetNames[quint8(body[2])] = upToNul(body, 4);
        }
        at += 4 + length;
    }
    throw JetError(LoadErrorText(str::kLotusNoEndRecord).arg(path).arg(at));
}

QMutex g_parseLock;

}  // namespace

namespace {

QList<LotusSheet> parseLotus(const QByteArray& bytes, const QString& path) {
    if (!looksLikeLotus(bytes)) throw JetError(LoadErrorText(str::kNotALotusFile).arg(path));
    const RawTexts raw = readRecords(bytes, path);
    Collector collector;
    {
        QMutexLocker lock(&g_parseLock);
        librevenge::RVNGStringStream input(
            reinterpret_cast<const unsigned char*>(bytes.constData()), unsigned(bytes.size()));
        libwps::WPSKind kind = libwps::WPS_TEXT;
        libwps::WPSCreator creator = libwps::WPS_MSWORKS;
        bool needEncoding = false;
        if (libwps::WPSDocument::isFileFormatSupported(&input, kind, creator, needEncoding) !=
                libwps::WPS_CONFIDENCE_EXCELLENT ||
            kind != libwps::WPS_SPREADSHEET || creator != libwps::WPS_LOTUS)
            throw JetError(LoadErrorText(str::kNotALotusFile).arg(path));
        input.seek(0, librevenge::RVNG_SEEK_SET);
        const libwps::WPSResult r = libwps::WPSDocument::parse(&input, &collector, "", "CP437");
        if (r != libwps::WPS_OK)
            throw JetError(LoadErrorText(str::kLotusFileUnreadable).arg(path).arg(int(r)));
    }
    // Labels and sheet names as their records hold them, where libwps
    // would have changed their control bytes or cut them short.
    for (const auto& [where, text] : raw.labels) {
        const auto& [sheet, row, col] = where;
        if (text.isEmpty()) continue;
        collector.addSheets(sheet + 1);
        auto& cells = collector.sheets[sheet].cells;
        const std::pair<int, int> pos{row, col};
        const auto cell = cells.find(pos);
        if (cell != cells.end() && cell->second.typeId() == QMetaType::Double) continue;
        if (cell == cells.end()) ++collector.cellCount;
        cells[pos] = QString();
        collector.texts[sheet][pos] = text;
    }
    for (const auto& [sheet, name] : raw.sheetNames)
        if (sheet < collector.sheets.size()) collector.sheetNames[sheet] = name;
    // A worksheet file names no code page libwps hands over: its texts are
    // read as every text that names none, by the whole file (valid UTF-8
    // throughout is UTF-8, else code page 936, the code page our own writer
    // writes), and a text whose bytes are no character stays with U+FFFD
    // for them, its cell kept in undecoded for the caller to name.
    QByteArray all;
    for (const QByteArray& name : std::as_const(collector.sheetNames)) all += name + '\n';
    for (const auto& texts : std::as_const(collector.texts))
        for (const auto& [pos, bytes] : texts) all += bytes + '\n';
    const QByteArray encoding = unmarkedEncoding(all) == "UTF-8" ? QByteArray("UTF-8") : QByteArray("CP936");
    all.clear();
    for (int i = 0; i < collector.sheets.size(); ++i) {
        LotusSheet& sheet = collector.sheets[i];
        sheet.encoding = QString::fromLatin1(encoding);
        QString name;
        // Sheets without a name of their own, or one that does not read,
        // are named A, B, C ... as 1-2-3 does.
        const bool named = !collector.sheetNames[i].isEmpty() && decodeStrict(collector.sheetNames[i], encoding, &name);
        sheet.name = named && !name.isEmpty() ? name : ColumnLetters(i + 1);
        sheet.givenName = name;
        for (const auto& [pos, bytes] : collector.texts[i]) {
            QString text;
            if (!decodeStrict(bytes, encoding, &text)) sheet.undecoded.insert(pos);
            sheet.cells[pos] = text;
        }
    }
    return std::move(collector.sheets);
}

QByteArray lotusBytes(const QString& path) {
    QFile f;
    OpenDataFileForRead(f, path);
    if (f.size() > kMaxLotusBytes)
        throw JetError(
            LoadErrorText(str::kCannotOpenWithReason).arg(path, LoadErrorText(str::kFileTooLarge)));
    return f.readAll();
}

}  // namespace

std::unique_ptr<Driver> makeLotusDriverFromBytes(const QByteArray& bytes, const QString& path) {
    return std::make_unique<LotusDriver>(parseLotus(bytes, path), QFileInfo(path).fileName());
}

LotusTableShape lotusTableShape(const LotusSheet& sheet) {
    LotusTableShape shape;
    for (const auto& [pos, v] : sheet.cells) {
        shape.rows = std::max(shape.rows, pos.first + 1);
        shape.cols = std::max(shape.cols, pos.second + 1);
    }
    // Row 1 is a report export's letters row only when every column the
    // cells reach holds a text there: the upper-case letters A, B, C ...
    // of the report's columns, then perhaps the names of its placed
    // keywords, each a column with a value in the first record at most.
    QStringList head(shape.cols);
    for (auto it = sheet.cells.cbegin(); it != sheet.cells.cend() && it->first.first == 0; ++it)
        if (it->second.typeId() != QMetaType::Double) head[it->first.second] = it->second.toString();
    int letters = 0;
    while (letters < shape.cols && head.at(letters) == ColumnLetters(letters + 1)) ++letters;
    bool lettersRow = letters > 0;
    for (int c = letters; c < shape.cols && lettersRow; ++c) lettersRow = !head.at(c).isEmpty();
    for (const auto& [pos, v] : sheet.cells)
        if (pos.first > 1 && pos.second >= letters) lettersRow = false;
    if (lettersRow) {
        shape.first = 1;
        shape.head = head;
        shape.letters = letters;
    }
    QList<bool> numbers(shape.cols, true);
    for (const auto& [pos, v] : sheet.cells)
        if (pos.first >= shape.first && v.typeId() != QMetaType::Double) numbers[pos.second] = false;
    for (int c = 0; c < shape.cols; ++c) {
        FieldInfo f;
        f.name = shape.head.value(c).trimmed();
        if (f.name.isEmpty()) f.name = QStringLiteral("F%1").arg(c + 1);
        f.type = numbers.at(c) ? kDouble : kText;
        f.size = numbers.at(c) ? 8 : 255;
        shape.fields.append(f);
    }
    return shape;
}

QList<LotusSheet> readLotusSheets(const QString& path) { return parseLotus(lotusBytes(path), path); }

std::unique_ptr<Driver> makeLotusDriver(const QString& path) {
    return makeLotusDriverFromBytes(lotusBytes(path), path);
}

// ------------------------------------------------------------------ writing

namespace {

void add16(QByteArray& b, quint16 v) {
    b.append(char(v & 0xFF));
    b.append(char(v >> 8));
}

void record(QByteArray& out, quint16 type, const QByteArray& body) {
    add16(out, type);
    add16(out, quint16(body.size()));
    out += body;
}

QByteArray cellHead(int row, int sheet, int col) {
    QByteArray b;
    add16(b, quint16(row));
    b.append(char(sheet));
    b.append(char(col));
    return b;
}

}  // namespace

void writeLotusFile(const QString& path, const QList<NamedTable>& tables, QStringList* notes) {
    if (tables.isEmpty()) throw JetError(LoadErrorText(str::kNothingToWrite));
    auto note = [notes](const QString& s) {
        if (notes) notes->append(s);
    };
    const int sheets = int(std::min<qsizetype>(tables.size(), kMaxLotusSheets));
    if (tables.size() > kMaxLotusSheets)
        note(LoadErrorText(str::kTablesBeyondSheets)
                 .arg(tables.size() - kMaxLotusSheets)
                 .arg(kMaxLotusSheets));

    // Each kind of loss is told once, with its count and its first place.
    qor::LossTally losses;
    QByteArray out;
    {
        QByteArray bof(26, '\0');
        bof[0] = 0x02;  // version 0x1002: 1-2-3 release 4
        bof[1] = 0x10;
        bof[10] = char(sheets - 1);  // the last sheet's number
        record(out, 0x0000, bof);
    }
    for (int s = 0; s < sheets; ++s) {
        const NamedTable& t = tables.at(s);
        // A worksheet name is at most 15 bytes in the file.
        bool lossless = true;
        QByteArray name = encodeCp936(t.name, &lossless);
        if (name.size() > 15 || !lossless || name.isEmpty()) {
            name = ColumnLetters(s + 1).toLatin1();
            note(LoadErrorText(str::kTableWrittenAsSheet).arg(t.name, QString::fromLatin1(name)));
        }
        QByteArray body;
        add16(body, 14000);
        body.append(char(s));
        body.append('\0');
        body += name;
        body.append('\0');
        record(out, 0x0023, body);
    }
    for (int s = 0; s < sheets; ++s) {
        const NamedTable& t = tables.at(s);
        const int cols = int(std::min<qsizetype>(t.table.fields.size(), kMaxLotusFields));
        if (t.table.fields.size() > kMaxLotusFields)
            note(LoadErrorText(str::kFieldsBeyondTarget)
                     .arg(t.name)
                     .arg(t.table.fields.size() - kMaxLotusFields)
                     .arg(kMaxLotusFields));
        const qsizetype records = std::min<qsizetype>(t.table.rows.size(), kMaxLotusRecords);
        if (t.table.rows.size() > kMaxLotusRecords)
            note(LoadErrorText(str::kRecordsBeyondTarget)
                     .arg(t.name)
                     .arg(t.table.rows.size() - kMaxLotusRecords)
                     .arg(kMaxLotusRecords));
        auto label = [&](int row, int col, const QString& text, const QString& where) {
            bool lossless = true;
            const QByteArray b = encodeCp936(text, &lossless);
            if (!lossless)
                losses.add(LoadErrorText(str::kLossCharactersOutside936), where,
                           qor::CharactersOutsideCp936(text));
            QByteArray body = cellHead(row, s, col);
            body.append('\'');
            body += b;
            body.append('\0');
            record(out, 0x0016, body);
        };
        for (int c = 0; c < cols; ++c) {
            const QString name = t.table.fields.at(c).name.isEmpty()
                                     ? QStringLiteral("F%1").arg(c + 1)
                                     : t.table.fields.at(c).name;
            label(0, c, name, LoadErrorText(str::kPlaceTableFieldNumber).arg(t.name).arg(c + 1));
        }
        for (qsizetype r = 0; r < records; ++r) {
            const QVariantList& row = t.table.rows.at(r);
            for (int c = 0; c < cols; ++c) {
                const QVariant v = row.value(c);
                if (!v.isValid() || v.isNull()) continue;
                const int type = t.table.fields.at(c).type;
                bool ok = false;
                const double d = v.toDouble(&ok);
                if (type >= kBoolean && type <= kDouble && ok && std::isfinite(d)) {
                    QByteArray body = cellHead(int(r) + 1, s, c);
                    char raw[8];
                    std::memcpy(raw, &d, 8);
                    body.append(raw, 8);
                    record(out, 0x0027, body);
                } else {
                    const QString text = v.typeId() == QMetaType::QDate
                                             ? v.toDate().toString(Qt::ISODate)
                                             : v.toString();
                    if (!text.isEmpty())
                        label(int(r) + 1, c, text,
                              LoadErrorText(str::kPlaceTableRecordField)
                                  .arg(t.name)
                                  .arg(r + 1)
                                  .arg(c + 1));
                }
            }
        }
    }
    record(out, 0x0001, QByteArray());
    losses.appendTo(notes);
    int error = 0;
    if (!WriteFileSafely(path, out, &error))
        throw JetError(
            LoadErrorText(str::kCannotWriteWithReason).arg(path, qor::FileErrorText(error)));
}

}  // namespace qor::jet
