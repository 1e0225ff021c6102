// The text driver: a folder of CSV files, each a table named like
// "sales#txt", laid out by the folder's Schema.ini when it describes the
// file and read by its header row otherwise.

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QSet>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "engine/paths.h"
#include "engine/textutil.h"
#include "exchange/csvline.h"
#include "exchange/filenumber.h"
#include "exchange/jetdriver.h"
#include "exchange/losstally.h"
#include "platform/codepage.h"
#include "platform/safefile.h"
#include "engine/messages.h"

namespace qor::jet {
namespace {

// Files larger than this are refused rather than read into memory.
constexpr qint64 kMaxTextFileBytes = qint64(1) << 30;
// More columns than a report can ever hold are a damaged file.
constexpr int kMaxColumns = 16384;

using Cell = csv::Field;

QChar delimiterOf(const QString& format) {
    const QString f = format.trimmed();
    if (f.isEmpty() || f.compare(QLatin1String("CSVDelimited"), Qt::CaseInsensitive) == 0) return u',';
    if (f.compare(QLatin1String("TabDelimited"), Qt::CaseInsensitive) == 0) return u'\t';
    if (f.startsWith(QLatin1String("Delimited("), Qt::CaseInsensitive) && f.endsWith(u')') &&
        f.size() == 12 && f.at(10) != u'"')
        return f.at(10);
    throw JetError(LoadErrorText(str::kUnsupportedTextFormat).arg(format));
}

bool isNumberType(int type) { return type >= kBoolean && type <= kDouble; }

class TextDriver : public Driver {
public:
    explicit TextDriver(QString folder) : m_folder(std::move(folder)) {}

    QStringList tableNames() override {
        QStringList names;
        const QStringList files = QDir(m_folder).entryList(QDir::Files, QDir::Name);
        for (const QString& f : files) {
            const QString ext = f.right(4).toLower();
            if (ext == QLatin1String(".txt") || ext == QLatin1String(".csv"))
                names.append(JetTableNameFromPath(f));
        }
        return names;
    }

    bool loadTable(const QString& table, LoadedTable* out) override {
        return collectTable([&](RecordSink& sink) { return streamTable(table, sink); }, out);
    }

    bool streamTable(const QString& table, RecordSink& sink) override {
        QString fileName = table;
        fileName.replace(u'#', u'.');
        const QString path = QDir(m_folder).filePath(findInFolder(m_folder, fileName));
        if (!QFileInfo(path).isFile()) return false;
        readTextTable(path, sink);
        return true;
    }

private:
    QString m_folder;
};

}  // namespace

QString findInFolder(const QString& folder, const QString& fileName) {
    const QDir dir(folder);
    if (QFileInfo::exists(dir.filePath(fileName))) return fileName;
    const QStringList files = dir.entryList(QDir::Files, QDir::Name);
    for (const QString& f : files)
        if (f.compare(fileName, Qt::CaseInsensitive) == 0) return f;
    return fileName;
}

namespace {

// How a file's bytes are read: in UTF-8, UTF-16 or an 8-bit code page
// (its converter's name beside it).
enum class TextEncoding : char { CodePage, Utf8, Utf16Le, Utf16Be };

bool isUtf16(TextEncoding e) { return e == TextEncoding::Utf16Le || e == TextEncoding::Utf16Be; }

// Text is decoded and split a piece at a time; a piece ends at a line
// feed, which no byte of a UTF-8 or code page 936 character can be, so each
// piece decodes on its own. In UTF-16 the line feed is a whole code unit
// (pieces start at even offsets of the file), so a piece ends on a whole
// character there too.
constexpr qint64 kPieceBytes = qint64(1) << 20;

// The offset of the last byte of the last line feed in buffer at or after
// from; -1 when there is none.
qsizetype lastLineEnd(QByteArrayView buffer, qsizetype from, TextEncoding encoding) {
    if (!isUtf16(encoding)) {
        const qsizetype found = buffer.sliced(from).lastIndexOf('\n');
        return found < 0 ? -1 : from + found;
    }
    const char low = encoding == TextEncoding::Utf16Le ? '\n' : '\0';
    const char high = encoding == TextEncoding::Utf16Le ? '\0' : '\n';
    for (qsizetype i = (buffer.size() - 2) & ~qsizetype(1); i >= (from & ~qsizetype(1)); i -= 2)
        if (buffer[i] == low && buffer[i + 1] == high) return i + 1;
    return -1;
}

template <typename Piece>
void forEachPiece(QIODevice& in, TextEncoding encoding, Piece piece) {
    QByteArray buffer;
    for (;;) {
        const qsizetype kept = buffer.size();
        buffer.resize(kept + kPieceBytes);
        const qint64 got = in.read(buffer.data() + kept, kPieceBytes);
        if (got < 0) {
            const auto* file = qobject_cast<QFile*>(&in);
            throw JetError(LoadErrorText(str::kCannotReadWithReason)
                               .arg(file ? file->fileName() : QString(), in.errorString()));
        }
        buffer.resize(kept + qsizetype(got));
        if (got == 0) {
            if (!buffer.isEmpty()) piece(QByteArrayView(buffer));
            return;
        }
        // Only what was just read is searched: a line longer than a piece
        // is read on without going over its start again.
        const qsizetype end = lastLineEnd(QByteArrayView(buffer), kept, encoding);
        if (end < 0) continue;
        if (!piece(QByteArrayView(buffer.constData(), end + 1))) return;
        buffer.remove(0, end + 1);
    }
}

struct Encoding {
    TextEncoding kind = TextEncoding::Utf8;
    QByteArray codePage;  // the converter's name of an 8-bit code page
};

// How the bytes are read: a byte-order mark (UTF-8 or UTF-16), else the
// code page the section's character set names (one no converter knows is
// refused: any reading would be a guess), else UTF-8 when the whole file
// is valid UTF-8 (other programs write UTF-8 without a mark today), else
// GB18030, where a byte that is no character refuses the file.
Encoding encodingOf(QIODevice& in, const QString& characterSet, const QString& file) {
    static const QByteArray bom("\xEF\xBB\xBF");
    const QByteArray start = in.peek(3);
    if (start == bom) return {TextEncoding::Utf8, {}};
    if (start.startsWith("\xFF\xFE")) return {TextEncoding::Utf16Le, {}};
    if (start.startsWith("\xFE\xFF")) return {TextEncoding::Utf16Be, {}};
    const QString cs = characterSet.trimmed();
    if (!cs.isEmpty()) {
        const QByteArray name = codePageEncoding(cs.toUtf8());
        if (name.isEmpty()) throw JetError(LoadErrorText(str::kUnknownCharacterSet).arg(file, cs));
        if (name == "UTF-8") return {TextEncoding::Utf8, {}};
        return {TextEncoding::CodePage, name};
    }
    bool valid = true;
    forEachPiece(in, TextEncoding::Utf8, [&valid](QByteArrayView piece) {
        valid = isValidUtf8(piece.toByteArray());
        return valid;
    });
    in.seek(0);
    return valid ? Encoding{TextEncoding::Utf8, {}} : Encoding{TextEncoding::CodePage, "GB18030"};
}

QString decodePiece(QByteArrayView piece, const Encoding& encoding) {
    switch (encoding.kind) {
        case TextEncoding::Utf8: return QString::fromUtf8(piece);
        case TextEncoding::Utf16Le: return decodeText(piece.toByteArray(), "UTF-16LE");
        case TextEncoding::Utf16Be: return decodeText(piece.toByteArray(), "UTF-16BE");
        case TextEncoding::CodePage: break;
    }
    // A byte that is no character is a U+FFFD here, which the check of
    // the text refuses.
    QString text;
    decodeStrict(piece.toByteArray(), encoding.codePage, &text);
    return text;
}

// Refuses text that no text file holds: control characters other than
// tab, line and page breaks and the old end-of-file mark, and (outside
// UTF-8, whose bytes were checked whole) the replacement the decoder puts
// for bytes that are no character. *line counts the lines read so far.
void checkIsText(const QString& text, TextEncoding encoding, const QString& file, qint64* line) {
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c == u'\n') {
            ++*line;
            continue;
        }
        const bool control = c < 0x20 && c != u'\t' && c != u'\r' && c != u'\v' && c != u'\f' && c != 0x1A;
        const bool undecoded = c == 0xFFFD && encoding != TextEncoding::Utf8;
        if (!control && !undecoded) continue;
        const QString why = control ? LoadErrorText(str::kControlCharacterAt)
                                          .arg(*line)
                                          .arg(uint(c), 4, 16, QLatin1Char('0'))
                                    : LoadErrorText(str::kNonTextBytesAt).arg(*line);
        throw JetError(LoadErrorText(str::kNotATextFile).arg(file, why));
    }
}

// Every record of the text, in order, to take (false stops); the records
// split so far stand when the text turns out malformed. With check, text
// that is no text is refused (naming file).
void splitText(QIODevice& in, const Encoding& encoding, QChar delimiter, const csv::RecordSplitter::Take& take,
               bool check) {
    csv::RecordSplitter splitter(delimiter, kMaxColumns + 1, take);
    const auto checkSplit = [](csv::SplitError e) {
        if (e == csv::SplitError::UnclosedQuote) throw JetError(LoadErrorText(str::kUnclosedQuote));
        if (e == csv::SplitError::TooManyFields)
            throw JetError(LoadErrorText(str::kTooManyFieldsInRecord));
    };
    const auto* file = qobject_cast<QFile*>(&in);
    const QString name = file ? QFileInfo(file->fileName()).fileName() : QString();
    qint64 line = 1;
    bool first = true;
    forEachPiece(in, encoding.kind, [&](QByteArrayView piece) {
        if (first) {
            if (encoding.kind == TextEncoding::Utf8 && piece.startsWith("\xEF\xBB\xBF")) piece = piece.sliced(3);
            if (isUtf16(encoding.kind)) piece = piece.sliced(2);  // the byte-order mark
        }
        first = false;
        QString text = decodePiece(piece, encoding);
        // The old end-of-file mark ends the text; what follows it is no
        // part of the file's records. No byte of a multi-byte character is
        // 0x1A, so the character is the byte.
        const qsizetype end = text.indexOf(QChar(0x1A));
        if (end >= 0) text.truncate(end);
        if (check) checkIsText(text, encoding.kind, name, &line);
        checkSplit(splitter.feed(text));
        return end < 0 && !splitter.stopped();
    });
    if (!splitter.stopped()) checkSplit(splitter.finish());
}

// A column whose type the values decide: a number column while every
// value so far reads as a number.
enum class Seen : char { Nothing, Numbers, Text };

// The symbols a section gives its numbers; the point and no currency
// where it gives none.
NumberSymbols symbolsOf(const SchemaIniTable& def) {
    NumberSymbols symbols;
    if (def.decimalSymbol.size() == 1) {
        symbols.decimal = def.decimalSymbol.at(0);
        // A file whose point is a comma groups its thousands by points.
        if (symbols.decimal == u',') symbols.grouping = u'.';
    }
    symbols.currency = def.currencySymbol;
    const int neg = def.currencyNegFormat;
    symbols.parenNegative = neg == 0 || neg == 4 || neg == 14 || neg == 15;
    return symbols;
}

// A Schema.ini DateTimeFormat ("dd.mm.yyyy", "m/d/yyyy hh:nn:ss") as a Qt
// format: its "m" is the month and "n" the minute.
QString qtDateFormat(const QString& format) {
    QString out;
    for (QChar c : format) {
        if (c == u'm') out += u'M';
        else if (c == u'n') out += u'm';
        else if (c == u'h') out += u'H';
        else out += c;
    }
    return out;
}

// A date column's value: by the section's format alone when it gives one
// (a second convention would read "02/03/2024" in one column as February
// beside "02.03.2024" as March), else the unambiguous forms every writer's
// dates take (yyyy-mm-dd, and m/d/yyyy as the engine's own date literals
// are written); with or without a time.
// A two-digit year ("dd/mm/yy") is one of 1930 to 2029, as the system's
// own date settings read it; Qt alone would make "24" 1924.
QVariant readDate(const QString& text, const QString& format) {
    const QString t = text.trimmed();
    QStringList formats;
    if (!format.isEmpty())
        formats << qtDateFormat(format);
    else
        formats << QStringLiteral("yyyy-M-d") << QStringLiteral("M/d/yyyy") << QStringLiteral("yyyy/M/d");
    const bool twoDigitYear = format.contains(QLatin1String("yy"), Qt::CaseInsensitive) &&
                              !format.contains(QLatin1String("yyyy"), Qt::CaseInsensitive);
    const auto windowed = [twoDigitYear](auto value, const QDate& date) {
        return twoDigitYear && date.year() < 1930 ? value.addYears(100) : value;
    };
    for (const QString& f : std::as_const(formats)) {
        const QDate d = QDate::fromString(t, f);
        if (d.isValid()) return windowed(d, d);
        for (const char* time : {" H:mm:ss", " H:mm", "THH:mm:ss"}) {
            const QDateTime dt = QDateTime::fromString(t, f + QLatin1String(time));
            if (dt.isValid()) return windowed(dt, dt.date());
        }
        const QDateTime dt = QDateTime::fromString(t, f);
        if (dt.isValid()) return windowed(dt, dt.date());
    }
    return {};
}

qint64 readText(QIODevice& in, const std::optional<SchemaIniTable>& layout, RecordSink& sink) {
    const SchemaIniTable def = layout.value_or(SchemaIniTable{});
    const QChar delimiter = delimiterOf(def.format);
    const auto* file = qobject_cast<QFile*>(&in);
    const QString fileName = file ? QFileInfo(file->fileName()).fileName() : QString();
    // Without a section, or a section naming no character set, the bytes
    // decide.
    const Encoding encoding = encodingOf(in, layout ? def.characterSet : QString(), fileName);
    const NumberSymbols symbols = symbolsOf(def);

    // The first reading checks the whole text and learns its header, its
    // width, the columns' types and the count; nothing of it is kept.
    QList<csv::Field> header;
    bool headerRead = !def.colNameHeader;
    qint64 records = 0;
    std::vector<Seen> seen;
    splitText(in, encoding, delimiter, [&](std::span<const csv::Field> r) {
        if (!headerRead) {
            header = QList<csv::Field>(r.begin(), r.end());
            headerRead = true;
            return true;
        }
        ++records;
        if (seen.size() < r.size()) seen.resize(r.size(), Seen::Nothing);
        for (size_t c = size_t(def.columns.size()); c < r.size(); ++c) {
            if (seen[c] == Seen::Text || r[c].text.trimmed().isEmpty()) continue;
            seen[c] = FileTextAsNumber(r[c].text, symbols, nullptr) ? Seen::Numbers : Seen::Text;
        }
        return true;
    }, true);
    const qsizetype columns =
        std::max({header.size(), qsizetype(def.columns.size()), qsizetype(seen.size())});
    if (columns > kMaxColumns) throw JetError(LoadErrorText(str::kTooManyFieldsInRecord));
    if (!layout && def.colNameHeader && headerRead) {
        QStringList names;
        for (const csv::Field& f : header) names.append(f.text);
        sink.namesFromFirstLine(names);
    }

    QList<FieldInfo> fields;
    QSet<QString> names;
    for (qsizetype c = 0; c < columns; ++c) {
        FieldInfo f;
        if (c < def.columns.size()) {
            f.name = def.columns.at(c).name;
            f.type = def.columns.at(c).daoType;
            f.size = def.columns.at(c).width;
        } else {
            f.name = c < header.size() ? header.at(c).text.trimmed() : QString();
            f.type = size_t(c) < seen.size() && seen[size_t(c)] == Seen::Numbers ? kDouble : kText;
        }
        if (f.name.isEmpty() || names.contains(f.name.toCaseFolded()))
            f.name = QStringLiteral("F%1").arg(c + 1);
        names.insert(f.name.toCaseFolded());
        if (f.type == kText && f.size <= 0) f.size = 255;
        if (isNumberType(f.type)) f.size = 8;
        fields.append(f);
    }
    sink.begin(fields);
    if (records == 0) return 0;

    // The second reading hands the records over for as long as the sink
    // takes them. A value of a typed column that does not read as its type
    // is left empty and named, with the first record and field.
    in.seek(0);
    bool skipHeader = def.colNameHeader;
    QVariantList row(columns);
    FieldLosses losses;
    qint64 record = 0;
    splitText(in, encoding, delimiter, [&](std::span<const csv::Field> r) {
        if (skipHeader) {
            skipHeader = false;
            return true;
        }
        ++record;
        for (qsizetype c = 0; c < columns; ++c) {
            QVariant& slot = row[c];
            if (size_t(c) >= r.size() || (!r[c].quoted && r[c].text.isEmpty())) {
                slot.clear();
                continue;
            }
            const int type = fields.at(c).type;
            if (type == kBoolean) {
                // Bit: True and False as well as the numbers 1 and 0.
                const QString t = r[c].text.trimmed();
                double v = 0;
                if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) slot.setValue(1.0);
                else if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) slot.setValue(0.0);
                else if (FileTextAsNumber(t, symbols, &v)) slot.setValue(v != 0 ? 1.0 : 0.0);
                else {
                    slot.clear();
                    if (!t.isEmpty()) losses.add(fields.at(c).name, LoadErrorText(str::kLossTextNotNumber), record);
                }
            } else if (isNumberType(type)) {
                double v = 0;
                if (FileTextAsNumber(r[c].text, symbols, &v)) {
                    slot.setValue(v);
                } else {
                    slot.clear();
                    if (!r[c].text.trimmed().isEmpty())
                        losses.add(fields.at(c).name, LoadErrorText(str::kLossTextNotNumber), record);
                }
            } else if (type == kDate) {
                slot = readDate(r[c].text, def.dateTimeFormat);
                if (!slot.isValid() && !r[c].text.trimmed().isEmpty())
                    losses.add(fields.at(c).name, LoadErrorText(str::kLossImpossibleDate), record);
            } else {
                // A quoted empty field is an empty text, not a missing one.
                slot.setValue(r[c].text.isEmpty() ? QStringLiteral("") : r[c].text);
            }
        }
        return sink.record(row);
    }, false);
    losses.tell(sink, fileName);
    return records;
}

}  // namespace

LoadedTable parseTextTable(const QByteArray& bytes, const std::optional<SchemaIniTable>& layout) {
    QByteArray copy = bytes;
    QBuffer in(&copy);
    in.open(QIODevice::ReadOnly);
    LoadedTable out;
    collectTable([&](RecordSink& sink) { readText(in, layout, sink); return true; }, &out);
    return out;
}

qint64 readTextTable(const QString& path, RecordSink& sink) {
    QFile f;
    OpenDataFileForRead(f, path);
    if (f.size() > kMaxTextFileBytes)
        throw JetError(LoadErrorText(str::kTextFileTooLarge).arg(path));
    return readText(f, ReadSchemaIniSection(path), sink);
}

std::unique_ptr<Driver> makeTextDriver(const QString& folder) {
    if (!QFileInfo(folder).isDir()) throw JetError(LoadErrorText(str::kNotAFolderPath).arg(folder));
    return std::make_unique<TextDriver>(folder);
}

}  // namespace qor::jet

// ------------------------------------------------------------------ writing

namespace qor::jet {
namespace {

bool isNumberField(int type) { return type >= kBoolean && type <= kDouble; }

// Distinct texts whose encoded bytes the text writer keeps for reuse.
constexpr qsizetype kEncodedTextsKept = 8192;

// A number in its shortest form that reads back the same, as
// QByteArray::number(v, 'g', QLocale::FloatingPointShortest) writes it.
// The standard library's conversion gives the same characters below 1e16
// (above, it spells out every integer digit) at a fraction of the cost.
void appendNumber(std::string* out, double v) {
    if (v != 0 && std::fabs(v) < 1e16) {
        char buf[32];
        const auto r = std::to_chars(buf, buf + sizeof buf, v);
        if (r.ec == std::errc()) {
            out->append(buf, size_t(r.ptr - buf));
            return;
        }
    }
    const QByteArray q = QByteArray::number(v, 'g', QLocale::FloatingPointShortest);
    out->append(q.constData(), size_t(q.size()));
}

QString valueText(const QVariant& v) {
    if (v.typeId() == QMetaType::QDate) return v.toDate().toString(Qt::ISODate);
    if (v.typeId() == QMetaType::QDateTime) return v.toDateTime().toString(Qt::ISODate);
    return v.toString();
}

}  // namespace

void writeTextTable(const QString& path, const LoadedTable& table, QStringList* notes) {
    writeTextTable(
        path, table.fields,
        [&table](const std::function<void(const QVariantList&)>& take) {
            for (const QVariantList& row : table.rows) take(row);
        },
        notes);
}

void writeTextTable(const QString& path, const QList<FieldInfo>& fields, const RecordSource& records,
                    QStringList* notes) {
    if (fields.isEmpty()) throw JetError(LoadErrorText(str::kTextTableNeedsField));
    // Names a Schema.ini entry cannot hold lose their quotes and line breaks.
    QStringList names;
    QSet<QString> taken;
    for (int c = 0; c < fields.size(); ++c) {
        QString name = fields.at(c).name;
        name.replace(u'"', u'_').replace(u'\r', u'_').replace(u'\n', u'_');
        name = name.trimmed();
        if (name.isEmpty() || taken.contains(name.toCaseFolded())) name = QStringLiteral("F%1").arg(c + 1);
        taken.insert(name.toCaseFolded());
        if (notes && name != fields.at(c).name)
            notes->append(LoadErrorText(str::kFieldRenamed).arg(fields.at(c).name, name));
        names.append(name);
    }
    // The file is built as bytes: each text is encoded once, in code page
    // 936; should one not fit, the whole file is built again in UTF-8.
    QList<int> widths;
    LossTally losses;
    const auto build = [&](bool utf8, QByteArray* out) {
        widths = QList<int>(fields.size(), 1);
        losses = LossTally();
        qint64 record = 0;
        const auto encode = [utf8](const QString& t, bool* fits) {
            if (utf8) return t.toUtf8();
            return encodeCp936(t, fits);
        };
        // A record is built in a plain buffer and joins the file whole.
        std::string line;
        const auto appendQuoted = [&line](QByteArray bytes) {
            // No byte of a code page 936 or UTF-8 character but '"' itself
            // is 0x22, so quotes are doubled byte-wise.
            if (bytes.contains('"')) bytes.replace("\"", "\"\"");
            line += '"';
            line.append(bytes.constData(), size_t(bytes.size()));
            line += '"';
        };
        bool fits = true;
        out->clear();
        out->reserve(qsizetype(1) << 20);
        for (int c = 0; c < names.size(); ++c) {
            if (c) line += ',';
            appendQuoted(encode(names.at(c), &fits));
        }
        line += "\r\n";
        out->append(line.data(), qsizetype(line.size()));
        const QVariant none;
        // A report's pages repeat their item names: each text is encoded
        // once (up to a bound) however often it recurs.
        QHash<QString, QByteArray> encoded;
        std::vector<char> numberField(size_t(fields.size()));
        for (int c = 0; c < fields.size(); ++c) numberField[c] = isNumberField(fields.at(c).type);
        records([&](const QVariantList& row) {
            if (!fits) return;  // built again in UTF-8
            ++record;
            line.clear();
            for (int c = 0; c < fields.size(); ++c) {
                if (c) line += ',';
                const QVariant& v = c < row.size() ? row.at(c) : none;
                if (numberField[c] && v.typeId() == QMetaType::Double) {
                    appendNumber(&line, *static_cast<const double*>(v.constData()));
                    continue;
                }
                if (!v.isValid() || v.isNull()) continue;
                if (numberField[c]) {
                    if (v.typeId() == QMetaType::Bool)
                        line += v.toBool() ? '1' : '0';
                    else
                        appendNumber(&line, v.toDouble());
                    continue;
                }
                QString t = valueText(v);
                // A control character makes the file no text for any
                // reader, and half a surrogate pair has no bytes: both are
                // left out, and named.
                if (const qsizetype n = UncarriedChars(t)) {
                    losses.add(LoadErrorText(str::kLossUncarriedChars),
                               LoadErrorText(str::kPlaceRecordField).arg(record).arg(names.at(c)), n);
                    t = WithoutUncarriedChars(t);
                }
                QByteArray bytes;
                if (const auto hit = encoded.constFind(t); hit != encoded.constEnd()) {
                    bytes = *hit;
                } else {
                    bytes = encode(t, &fits);
                    if (!fits) return;
                    if (encoded.size() < kEncodedTextsKept) encoded.insert(t, bytes);
                }
                widths[c] = std::max(widths[c], int(utf8 ? encodeCp936(t).size() : bytes.size()));
                appendQuoted(std::move(bytes));
            }
            line += "\r\n";
            out->append(line.data(), qsizetype(line.size()));
        });
        return fits;
    };
    QByteArray bytes;
    const bool utf8 = !build(false, &bytes);
    if (utf8) build(true, &bytes);
    losses.appendTo(notes);

    SchemaIniTable layout;
    layout.characterSet = utf8 ? QStringLiteral("65001") : QStringLiteral("936");
    for (int c = 0; c < fields.size(); ++c) {
        SchemaIniColumn col;
        col.name = names.at(c);
        if (isNumberField(fields.at(c).type)) {
            col.daoType = kDouble;
        } else if (widths.at(c) > 255) {
            col.daoType = kMemo;
        } else {
            col.daoType = kText;
            col.width = widths.at(c);
        }
        layout.columns.append(col);
    }
    int error = 0;
    if (!WriteFileSafely(path, bytes, &error))
        throw JetError(
            LoadErrorText(str::kCannotWriteWithReason).arg(path, qor::FileErrorText(error)));
    // The old section goes only once the new file is in place; the fresh
    // one then describes it.
    RemoveSchemaIniSection(path);
    if (!WriteSchemaIniSection(path, layout))
        throw JetError(LoadErrorText(str::kCannotWriteSchemaSection).arg(path));
}

}  // namespace qor::jet
