#include "platform/inifile.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStringDecoder>
#include <QtEndian>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/codepage.h"
#include "platform/safefile.h"

namespace qor {

namespace {

Q_LOGGING_CATEGORY(lcIni, "qor.ini")

// One line of the file. A line as read is a stretch of the file's bytes
// and of its decoded text, both kept whole by the file, so reading a large
// library allocates nothing per line. Untouched lines are written back from
// their original bytes so that a save changes nothing the user did not ask
// to change, even bytes the decoder could not read. An edited or new line
// carries its own text.
struct Line {
    enum Kind : quint8 { Other, Section, Key };
    Kind kind = Other;
    bool hasRaw = false;  // the bytes at rawAt still are this line
    bool cr = true;       // line ended with CR LF
    bool owned = false;   // the text is `own`, not a stretch of the file's text
    qsizetype rawAt = 0, rawLen = 0;    // in the file's bytes, without the line end
    qsizetype textAt = 0, textLen = 0;  // in the file's decoded text
    // Section or key name and the key's value as read back, as stretches
    // of the line's text.
    qsizetype nameAt = 0, nameLen = 0;
    qsizetype valueAt = 0, valueLen = 0;
    QString own;
};

struct Section {
    Line header;
    QList<Line> body;
};

// The profile functions drop one pair of matching quotes around a value,
// so a quoted path reads the same as an unquoted one.
QStringView unquote(QStringView v) {
    if (v.size() >= 2 && v.front() == v.back() &&
        (v.front() == QLatin1Char('"') || v.front() == QLatin1Char('\'')))
        return v.mid(1, v.size() - 2);
    return v;
}

// Written values come back unchanged: blanks at either end and a pair of
// quotes would otherwise be eaten by trimming and unquoting on reading.
bool needsQuotes(const QString& v) {
    return QStringView(v) != QStringView(v).trimmed() || unquote(v) != QStringView(v);
}

// Where `part` (a piece of `whole`, possibly empty) lies in `whole`.
void place(QStringView whole, QStringView part, qsizetype* at, qsizetype* len) {
    *len = part.size();
    *at = part.isEmpty() ? 0 : part.data() - whole.data();
}

void classify(Line& l, QStringView text, bool inSection) {
    l.kind = Line::Other;
    l.nameAt = l.nameLen = l.valueAt = l.valueLen = 0;
    const QStringView t = text.trimmed();
    if (t.startsWith(QLatin1Char('['))) {
        const qsizetype close = t.lastIndexOf(QLatin1Char(']'));
        if (close > 0) {
            l.kind = Line::Section;
            place(text, t.mid(1, close - 1).trimmed(), &l.nameAt, &l.nameLen);
        }
        return;
    }
    if (!inSection || t.startsWith(QLatin1Char(';'))) return;
    const qsizetype eq = t.indexOf(QLatin1Char('='));
    if (eq < 0) return;
    l.kind = Line::Key;
    place(text, t.left(eq).trimmed(), &l.nameAt, &l.nameLen);
    place(text, unquote(t.mid(eq + 1).trimmed()), &l.valueAt, &l.valueLen);
}

bool hasLineBreak(const QString& s) {
    return s.contains(QLatin1Char('\n')) || s.contains(QLatin1Char('\r'));
}

bool isAscii(const char* p, qsizetype n) {
    // Eight bytes at a time: the common library file is ASCII throughout.
    qsizetype i = 0;
    for (; i + 8 <= n; i += 8) {
        quint64 w;
        std::memcpy(&w, p + i, 8);
        if (w & 0x8080808080808080ull) return false;
    }
    for (; i < n; ++i)
        if (uchar(p[i]) >= 0x80) return false;
    return true;
}

// Names compare by their case-folded text. Almost every name is ASCII,
// which folds to its lower case without building a folded copy.
char16_t lowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }

size_t foldHash(QStringView s) {
    size_t h = 14695981039346656037ull;
    auto feed = [&h](char16_t u) { h = (h ^ u) * 1099511628211ull; };
    for (QChar c : s) {
        if (c.unicode() >= 0x80) {
            h = 14695981039346656037ull;
            const QString folded = s.toString().toCaseFolded();
            for (QChar f : folded) feed(f.unicode());
            return h;
        }
        feed(lowerAscii(c.unicode()));
    }
    return h;
}

bool foldEqual(QStringView a, QStringView b) {
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t x = a[i].unicode();
        const char16_t y = b[i].unicode();
        if (x >= 0x80 || y >= 0x80)
            return a.toString().toCaseFolded() == b.toString().toCaseFolded();
        // Both ASCII so far: folding keeps their lengths, so a difference
        // here is a difference of the folded names.
        if (lowerAscii(x) != lowerAscii(y)) return false;
    }
    if (a.size() == b.size()) return true;
    // The shorter is ASCII throughout and every character of the longer one
    // folds to at least one: the folded names differ in length.
    return false;
}

// A name as looked up: without blanks at either end. Names asked for are
// nearly always trimmed already, which is told by their ends alone.
QStringView trimmedName(QStringView s) {
    if (s.isEmpty() || (!s.front().isSpace() && !s.back().isSpace())) return s;
    return s.trimmed();
}

// A key is looked up within every section of its name at once.
size_t keyHash(int group, QStringView key) {
    return foldHash(key) ^ (size_t(group) * 0x9E3779B97F4A7C15ull);
}

// One entry of the open-addressed name tables: a section (the first of
// its name) or the first key of a name within a section's name.
struct Slot {
    size_t hash = 0;
    int section = -1;  // -1: empty
    int line = -1;     // key slots: index in the section's body
};

size_t tableSize(qsizetype entries) {
    size_t n = 16;
    while (n < size_t(entries) * 2 + 2) n *= 2;
    return n;
}

}  // namespace

struct IniFile::Impl {
    QString path;
    Encoding encoding = Encoding::Utf16Le;
    Encoding readEncoding = Encoding::Utf16Le;  // encoding of the raw bytes
    bool utf8Bom = false;
    bool crlf = true;          // line end used for new lines
    bool finalNewline = true;  // the last line ends with a line end
    QByteArray bytes;          // the file as read; lines point into it
    QString text;              // every line read, decoded, one after the other
    QList<Line> preamble;      // lines before the first section
    QList<Section> sections;

    // Sections and keys by folded name, built in one pass after reading:
    // group[i] is the first section named like section i, nextInGroup[i]
    // the next one after i.
    std::vector<int> group, nextInGroup;
    std::vector<Slot> sectionSlots, keySlots;
    qsizetype sectionEntries = 0, keyEntries = 0;

    void clear() {
        bytes.clear();
        text.clear();
        preamble.clear();
        sections.clear();
        group.clear();
        nextInGroup.clear();
        sectionSlots.clear();
        keySlots.clear();
        sectionEntries = keyEntries = 0;
        encoding = readEncoding = Encoding::Utf16Le;
        utf8Bom = false;
        crlf = true;
        finalNewline = true;
    }

    QStringView textOf(const Line& l) const {
        return l.owned ? QStringView(l.own) : QStringView(text).mid(l.textAt, l.textLen);
    }
    QStringView nameOf(const Line& l) const { return textOf(l).mid(l.nameAt, l.nameLen); }
    QStringView valueOf(const Line& l) const { return textOf(l).mid(l.valueAt, l.valueLen); }

    template <class Same>
    size_t probe(const std::vector<Slot>& table, size_t h, Same same) const {
        const size_t mask = table.size() - 1;
        for (size_t i = h & mask;; i = (i + 1) & mask) {
            const Slot& s = table[i];
            if (s.section < 0 || (s.hash == h && same(s))) return i;
        }
    }

    // The first section of that name, or -1.
    int findGroup(QStringView name) const {
        if (sectionSlots.empty()) return -1;
        name = trimmedName(name);
        const Slot& s = sectionSlots[probe(sectionSlots, foldHash(name), [&](const Slot& s) {
            return foldEqual(nameOf(sections[s.section].header), name);
        })];
        return s.section;
    }

    const Slot* findKeySlot(int g, QStringView key) const {
        if (g < 0 || keySlots.empty()) return nullptr;
        key = trimmedName(key);
        const Slot& s = keySlots[probe(keySlots, keyHash(g, key), [&](const Slot& s) {
            return group[s.section] == g &&
                   foldEqual(nameOf(sections[s.section].body[s.line]), key);
        })];
        return s.section < 0 ? nullptr : &s;
    }

    const Line* findKey(const QString& section, const QString& key) const {
        const Slot* s = findKeySlot(findGroup(section), key);
        return s ? &sections[s->section].body[s->line] : nullptr;
    }

    // Adds section i to the tables; false when it is not the first of its
    // name (its group is then set, its keys are not indexed here).
    void indexSection(int i, std::vector<int>* lastOfGroup) {
        const QStringView name = nameOf(sections[i].header);
        const size_t h = foldHash(name);
        const size_t at = probe(sectionSlots, h, [&](const Slot& s) {
            return foldEqual(nameOf(sections[s.section].header), name);
        });
        Slot& slot = sectionSlots[at];
        if (slot.section < 0) {
            slot = {h, i, -1};
            ++sectionEntries;
            group[i] = i;
        } else {
            group[i] = slot.section;
            if (lastOfGroup) nextInGroup[(*lastOfGroup)[slot.section]] = i;
        }
        if (lastOfGroup) (*lastOfGroup)[group[i]] = i;
    }

    // Adds the key at body index j of section i unless its name is taken.
    void indexKey(int i, int j) {
        const int g = group[i];
        const QStringView name = nameOf(sections[i].body[j]);
        const size_t h = keyHash(g, name);
        Slot& slot = keySlots[probe(keySlots, h, [&](const Slot& s) {
            return group[s.section] == g &&
                   foldEqual(nameOf(sections[s.section].body[s.line]), name);
        })];
        if (slot.section >= 0) return;  // the first of duplicate keys wins
        slot = {h, i, j};
        ++keyEntries;
    }

    void reindex() {
        const qsizetype n = sections.size();
        qsizetype keyCount = 0;
        for (const Section& s : std::as_const(sections))
            for (const Line& l : s.body) keyCount += l.kind == Line::Key;
        group.assign(size_t(n), -1);
        nextInGroup.assign(size_t(n), -1);
        sectionSlots.assign(tableSize(n), Slot());
        keySlots.assign(tableSize(keyCount), Slot());
        sectionEntries = keyEntries = 0;
        std::vector<int> lastOfGroup(size_t(n), -1);
        for (int i = 0; i < n; ++i) indexSection(i, &lastOfGroup);
        for (int i = 0; i < n; ++i) {
            const QList<Line>& body = sections[i].body;
            for (int j = 0; j < body.size(); ++j)
                if (body[j].kind == Line::Key) indexKey(i, j);
        }
    }

    bool keyTableFull() const { return size_t(keyEntries + 1) * 2 + 2 > keySlots.size(); }
    bool sectionTableFull() const {
        return size_t(sectionEntries + 1) * 2 + 2 > sectionSlots.size();
    }

    void decodeLine(qsizetype at, qsizetype len, Line* l);
    // forced: the encoding the bytes are known to be in (after a save).
    void parse(const QByteArray& data, const Encoding* forced = nullptr, bool forcedBom = false);
    QByteArray render() const;
    QByteArray encodeLine(const QString& text) const;
};

// Appends the line's bytes, decoded, to the file's text.
void IniFile::Impl::decodeLine(qsizetype at, qsizetype len, Line* l) {
    const char* p = bytes.constData() + at;
    l->textAt = text.size();
    switch (encoding) {
        case Encoding::Utf16Le: {
            const qsizetype units = len / 2;
            text.resize(l->textAt + units + len % 2);
            char16_t* out = reinterpret_cast<char16_t*>(text.data()) + l->textAt;
            for (qsizetype i = 0; i < units; ++i)
                out[i] = qFromLittleEndian<quint16>(reinterpret_cast<const uchar*>(p) + 2 * i);
            // A dangling half code unit cannot be a character.
            if (len % 2) out[units] = QChar::ReplacementCharacter;
            break;
        }
        case Encoding::Utf8:
        case Encoding::Gb18030:
            if (isAscii(p, len)) {
                text.append(QLatin1StringView(p, len));
            } else if (encoding == Encoding::Utf8) {
                QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
                text.append(dec.decode(QByteArrayView(p, len)));
            } else {
                text.append(decodeCp936(QByteArray::fromRawData(p, len)));
            }
            break;
    }
    l->textLen = text.size() - l->textAt;
}

void IniFile::Impl::parse(const QByteArray& data, const Encoding* forced, bool forcedBom) {
    clear();
    bytes = data;
    bool ascii = false;  // known to be ASCII throughout
    qsizetype start = 0;
    int unit = 1;
    const bool utf16Bom = data.size() >= 2 && uchar(data[0]) == 0xFF && uchar(data[1]) == 0xFE;
    const bool utf8BomSeen = data.size() >= 3 && uchar(data[0]) == 0xEF && uchar(data[1]) == 0xBB &&
                             uchar(data[2]) == 0xBF;
    if (forced) {
        encoding = *forced;
        utf8Bom = encoding == Encoding::Utf8 && forcedBom;
    } else if (data.isEmpty()) {
        // An empty file is treated like a new one.
    } else if (utf16Bom) {
        encoding = Encoding::Utf16Le;
    } else if (utf8BomSeen) {
        encoding = Encoding::Utf8;
        utf8Bom = true;
    } else if (isValidUtf8(data)) {
        encoding = Encoding::Utf8;
        ascii = isAscii(data.constData(), data.size());
    } else {
        encoding = Encoding::Gb18030;
    }
    if (encoding == Encoding::Utf16Le) {
        unit = 2;
        if (utf16Bom) start = 2;
    } else if (utf8Bom && utf8BomSeen) {
        start = 3;
    }
    readEncoding = encoding;
    const char* d = data.constData();
    const qsizetype end = data.size();
    // An ASCII file is its own text: decoded at once, each line's text lies
    // where its bytes do.
    if (ascii)
        text = QString::fromLatin1(d + start, end - start);
    else
        text.reserve(unit == 2 ? (end - start) / 2 + 1 : end - start);
    if (unit == 1) {
        // Room for the sections, counted by the lines starting with '['.
        qsizetype headers = start < end && d[start] == '[';
        for (const char* p = d + start;
             (p = static_cast<const char*>(std::memchr(p, '\n', size_t(d + end - p))));)
            if (++p < d + end && *p == '[') ++headers;
        sections.reserve(headers);
    }

    // Split at LF on code-unit boundaries; LF never occurs inside a
    // multi-byte GB18030 or UTF-8 sequence, so splitting bytes is safe.
    auto findLf = [&](qsizetype from) -> qsizetype {
        if (unit == 1) {
            const void* hit = std::memchr(d + from, '\n', size_t(end - from));
            return hit ? static_cast<const char*>(hit) - d : -1;
        }
        for (qsizetype i = from; i + 2 <= end; i += 2)
            if (d[i] == '\n' && d[i + 1] == '\0') return i;
        return -1;
    };
    auto endsInCr = [&](qsizetype at, qsizetype len) {
        return len >= unit && d[at + len - unit] == '\r' && (unit == 1 || d[at + len - 1] == '\0');
    };
    bool firstEol = true;
    bool inSection = false;
    finalNewline = false;
    qsizetype pos = start;
    while (pos < end) {
        const qsizetype eol = findLf(pos);
        Line l;
        l.hasRaw = true;
        l.rawAt = pos;
        l.rawLen = (eol < 0 ? end : eol) - pos;
        if (eol >= 0) {
            l.cr = endsInCr(l.rawAt, l.rawLen);
            if (l.cr) l.rawLen -= unit;
            if (firstEol) {
                crlf = l.cr;
                firstEol = false;
            }
        } else {
            l.cr = crlf;
        }
        // A last line without LF keeps its CR in the bytes written back, but
        // is read as it will be once a line follows it (then its CR is the
        // line end): a CR after an unfinished multi-byte sequence would
        // otherwise change how that sequence decodes.
        qsizetype readable = l.rawLen;
        if (eol < 0 && endsInCr(l.rawAt, readable)) readable -= unit;
        if (ascii) {
            l.textAt = l.rawAt - start;
            l.textLen = readable;
        } else {
            decodeLine(l.rawAt, readable, &l);
        }
        // A UTF-16 file cut in the middle of a unit ends in a stray byte.
        // Kept as it is, it would put every line written after it out of
        // step; the line is written from its text instead.
        if (l.rawLen % unit != 0) l.hasRaw = false;
        classify(l, textOf(l), inSection);
        if (l.kind == Line::Section) {
            inSection = true;
            Section s;
            s.header = std::move(l);
            sections.append(std::move(s));
        } else if (sections.isEmpty()) {
            preamble.append(std::move(l));
        } else {
            sections.last().body.append(std::move(l));
        }
        if (eol < 0) {
            pos = end;
        } else {
            pos = eol + unit;
            if (pos >= end) finalNewline = true;
        }
    }
    if (pos == start) finalNewline = true;  // nothing but a BOM
    reindex();
}

QByteArray IniFile::Impl::encodeLine(const QString& line) const {
    switch (encoding) {
        case Encoding::Utf16Le:
            return encodeText(line, "UTF-16LE");
        case Encoding::Utf8:
            return encodeText(line, "UTF-8");
        case Encoding::Gb18030:
            break;
    }
    return encodeText(line, "GB18030");
}

QByteArray IniFile::Impl::render() const {
    QByteArray out;
    out.reserve(bytes.size() + 64);
    if (encoding == Encoding::Utf16Le) out.append("\xFF\xFE", 2);
    if (encoding == Encoding::Utf8 && utf8Bom) out.append("\xEF\xBB\xBF", 3);
    const QByteArray lf = encodeLine(QStringLiteral("\n"));
    const QByteArray crlfBytes = encodeLine(QStringLiteral("\r\n"));

    QList<const Line*> all;
    all.reserve(preamble.size() + sections.size() * 4);
    for (const Line& l : preamble) all.append(&l);
    for (const Section& s : sections) {
        all.append(&s.header);
        for (const Line& l : s.body) all.append(&l);
    }
    for (qsizetype i = 0; i < all.size(); ++i) {
        const Line& l = *all[i];
        if (l.hasRaw && encoding == readEncoding)
            out.append(bytes.constData() + l.rawAt, l.rawLen);
        else
            out.append(encodeLine(textOf(l).toString()));
        if (i + 1 < all.size() || finalNewline) out.append(l.cr ? crlfBytes : lf);
    }
    return out;
}

IniFile::IniFile(const QString& path) : d(std::make_unique<Impl>()) {
    d->path = path;
    reload();
}

IniFile::~IniFile() = default;
IniFile::IniFile(IniFile&&) noexcept = default;
IniFile& IniFile::operator=(IniFile&&) noexcept = default;

QString IniFile::path() const { return d->path; }

bool IniFile::exists() const { return QFileInfo::exists(d->path); }

IniFile::Encoding IniFile::encoding() const { return d->encoding; }

void IniFile::setEncoding(Encoding e) { d->encoding = e; }

bool IniFile::reload() {
    QFile f(d->path);
    if (!f.open(QIODevice::ReadOnly)) {
        d->parse(QByteArray());
        return false;
    }
    d->parse(f.readAll());
    return true;
}

QString IniFile::readString(const QString& section, const QString& key,
                            const QString& defaultValue) const {
    const Line* l = d->findKey(section, key);
    return l ? d->valueOf(*l).toString() : defaultValue;
}

QStringList IniFile::readStrings(const QString& section,
                                 std::initializer_list<QStringView> keys) const {
    std::vector<QStringView> views(keys.size());
    readViews(section, keys, views.data());
    QStringList out;
    out.reserve(qsizetype(keys.size()));
    for (QStringView v : views) out.append(v.toString());
    return out;
}

void IniFile::readViews(QStringView section, std::initializer_list<QStringView> keys,
                        QStringView* out) const {
    const int g = d->findGroup(section);
    // A section alone of its name with a few lines is read line by line,
    // which takes fewer steps than a look-up per key and finds the same
    // line: the first of the name.
    if (g >= 0 && d->nextInGroup[size_t(g)] < 0 && d->sections[g].body.size() <= 8) {
        const QList<Line>& body = d->sections[g].body;
        for (QStringView key : keys) {
            key = trimmedName(key);
            QStringView value;
            for (const Line& l : body) {
                if (l.kind == Line::Key && foldEqual(d->nameOf(l), key)) {
                    value = d->valueOf(l);
                    break;
                }
            }
            *out++ = value;
        }
        return;
    }
    for (QStringView key : keys) {
        const Slot* s = d->findKeySlot(g, key);
        *out++ = s ? d->valueOf(d->sections[s->section].body[s->line]) : QStringView();
    }
}

int IniFile::readInt(const QString& section, const QString& key, int defaultValue) const {
    const Line* l = d->findKey(section, key);
    if (!l) return defaultValue;
    const QStringView v = d->valueOf(*l);
    qsizetype i = 0;
    bool negative = false;
    if (i < v.size() && (v[i] == QLatin1Char('-') || v[i] == QLatin1Char('+'))) {
        negative = v[i] == QLatin1Char('-');
        ++i;
    }
    const qsizetype digitsStart = i;
    qint64 n = 0;
    constexpr qint64 limit = qint64(std::numeric_limits<int>::max()) + 1;
    for (; i < v.size() && v[i] >= QLatin1Char('0') && v[i] <= QLatin1Char('9'); ++i)
        n = qMin(limit, n * 10 + (v[i].unicode() - '0'));
    if (i == digitsStart) return defaultValue;
    if (negative) return int(-n);  // -2^31 fits; larger magnitudes saturate there
    return int(qMin<qint64>(n, std::numeric_limits<int>::max()));
}

QStringList IniFile::sections() const {
    QStringList out;
    for (int i = 0; i < d->sections.size(); ++i)
        if (d->group[size_t(i)] == i) out.append(d->nameOf(d->sections[i].header).toString());
    return out;
}

QStringList IniFile::keys(const QString& section) const {
    QStringList out;
    const int g = d->findGroup(section);
    for (int si = g; si >= 0; si = d->nextInGroup[size_t(si)]) {
        const QList<Line>& body = d->sections[si].body;
        for (int j = 0; j < body.size(); ++j) {
            if (body[j].kind != Line::Key) continue;
            // Each name once, spelled as its first occurrence.
            const Slot* s = d->findKeySlot(g, d->nameOf(body[j]));
            if (s && s->section == si && s->line == j) out.append(d->nameOf(body[j]).toString());
        }
    }
    return out;
}

bool IniFile::hasSection(const QString& section) const { return d->findGroup(section) >= 0; }

bool IniFile::hasKey(const QString& section, const QString& key) const {
    return d->findKey(section, key) != nullptr;
}

bool IniFile::setString(const QString& section, const QString& key, const QString& value) {
    const QString sec = section.trimmed();
    const QString k = key.trimmed();
    // Anything that would read back as a different line is refused rather
    // than written into the file's structure.
    if (hasLineBreak(sec) || hasLineBreak(k) || hasLineBreak(value) ||
        k.contains(QLatin1Char('=')) || k.startsWith(QLatin1Char(';')) ||
        k.startsWith(QLatin1Char('['))) {
        qCWarning(lcIni) << "refusing to write" << sec << k << "to" << d->path;
        return false;
    }
    const bool quoted = needsQuotes(value);
    const QString stored = quoted ? QLatin1Char('"') + value + QLatin1Char('"') : value;

    const int g = d->findGroup(sec);
    if (const Slot* found = d->findKeySlot(g, k)) {
        Line& l = d->sections[found->section].body[found->line];
        // Keep the key as the user spelled and indented it.
        const QStringView old = d->textOf(l);
        const qsizetype eq = old.indexOf(QLatin1Char('='));
        qsizetype after = eq + 1;
        while (after < old.size() &&
               (old[after] == QLatin1Char(' ') || old[after] == QLatin1Char('\t')))
            ++after;
        QString edited = old.left(after).toString() + stored;
        l.own = std::move(edited);
        l.owned = true;
        l.hasRaw = false;
        l.valueAt = after + (quoted ? 1 : 0);
        l.valueLen = value.size();
        return true;
    }

    Line nl;
    nl.kind = Line::Key;
    nl.owned = true;
    nl.own = k + QLatin1Char('=') + stored;
    nl.nameLen = k.size();
    nl.valueAt = k.size() + 1 + (quoted ? 1 : 0);
    nl.valueLen = value.size();
    nl.cr = d->crlf;

    if (g >= 0) {
        Section& s = d->sections[g];
        // After the last key, so comments and blank lines that lead into
        // the next section stay where they are.
        qsizetype at = -1;
        for (qsizetype i = s.body.size() - 1; i >= 0; --i) {
            if (s.body[i].kind == Line::Key) {
                at = i + 1;
                break;
            }
        }
        if (at < 0) {
            at = 0;
            for (qsizetype i = s.body.size() - 1; i >= 0; --i) {
                if (!d->textOf(s.body[i]).trimmed().isEmpty()) {
                    at = i + 1;
                    break;
                }
            }
        }
        if (at == s.body.size() && g == d->sections.size() - 1) d->finalNewline = true;
        // Every key lies before the insertion point, so no indexed line moves.
        s.body.insert(at, std::move(nl));
        if (d->keyTableFull())
            d->reindex();
        else
            d->indexKey(g, int(at));
        return true;
    }

    Section s;
    s.header.kind = Line::Section;
    s.header.owned = true;
    s.header.own = QLatin1Char('[') + sec + QLatin1Char(']');
    s.header.nameAt = 1;
    s.header.nameLen = sec.size();
    s.header.cr = d->crlf;
    s.body.append(std::move(nl));
    d->sections.append(std::move(s));
    d->finalNewline = true;
    const int i = int(d->sections.size() - 1);
    if (d->sectionTableFull() || d->keyTableFull()) {
        d->reindex();
    } else {
        d->group.push_back(i);
        d->nextInGroup.push_back(-1);
        d->indexSection(i, nullptr);
        d->indexKey(i, 0);
    }
    return true;
}

void IniFile::removeKey(const QString& section, const QString& key) {
    const int g = d->findGroup(section);
    if (!d->findKeySlot(g, key)) return;
    const QStringView k = QStringView(key).trimmed();
    for (int si = g; si >= 0; si = d->nextInGroup[size_t(si)])
        d->sections[si].body.removeIf(
            [&](const Line& l) { return l.kind == Line::Key && foldEqual(d->nameOf(l), k); });
    d->reindex();
}

void IniFile::removeSection(const QString& section) {
    const int g = d->findGroup(section);
    if (g < 0) return;
    QList<Section> kept;
    kept.reserve(d->sections.size());
    for (int i = 0; i < d->sections.size(); ++i)
        if (d->group[size_t(i)] != g) kept.append(std::move(d->sections[i]));
    d->sections = std::move(kept);
    d->reindex();
}

bool IniFile::save(bool ownerOnly) {
    const QByteArray bytes = d->render();
    SafeFileWriter f(d->path);
    if (ownerOnly) f.setMode(0600);
    if (!f.open() || !f.write(bytes) || !f.commit()) {
        qCWarning(lcIni) << "cannot write" << d->path << f.errorString();
        return false;
    }
    // What is on disk is now the reference for untouched lines.
    const Encoding e = d->encoding;
    d->parse(bytes, &e, d->utf8Bom);
    return true;
}

QString IniFile::getProfileString(const QString& path, const QString& section, const QString& key,
                                  const QString& defaultValue) {
    return IniFile(path).readString(section, key, defaultValue);
}

int IniFile::getProfileInt(const QString& path, const QString& section, const QString& key,
                           int defaultValue) {
    return IniFile(path).readInt(section, key, defaultValue);
}

bool IniFile::writeProfileString(const QString& path, const QString& section, const QString& key,
                                 const QString& value) {
    IniFile f(path);
    if (!f.setString(section, key, value)) return false;
    return f.save();
}

}  // namespace qor
