#include "platform/inifile.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
#include <QSet>
#include <QStringDecoder>
#include <limits>

#include "platform/codepage.h"
#include "platform/safefile.h"

namespace qor {

namespace {

Q_LOGGING_CATEGORY(lcIni, "qor.ini")

// One line of the file as read. Untouched lines are written back from
// their original bytes so that a save changes nothing the user did not
// ask to change, even bytes the decoder could not read.
struct Line {
    enum Kind { Other, Section, Key };
    Kind kind = Other;
    QString text;    // decoded, without the line end
    QByteArray raw;  // original bytes without the line end
    bool hasRaw = false;
    bool cr = true;  // line ended with CR LF
    QString name;    // section or key name
    QString value;   // key value as read back
};

struct Section {
    Line header;
    QList<Line> body;
    QHash<QString, int> firstKey;  // folded key -> index in body

    void index() {
        firstKey.clear();
        for (int i = 0; i < body.size(); ++i)
            if (body[i].kind == Line::Key) {
                const QString k = body[i].name.toCaseFolded();
                if (!firstKey.contains(k)) firstKey.insert(k, i);
            }
    }
};

QString fold(const QString& s) { return s.trimmed().toCaseFolded(); }

// The profile functions drop one pair of matching quotes around a value,
// so a quoted path reads the same as an unquoted one.
QString unquote(const QString& v) {
    if (v.size() >= 2 && v.front() == v.back() &&
        (v.front() == QLatin1Char('"') || v.front() == QLatin1Char('\'')))
        return v.mid(1, v.size() - 2);
    return v;
}

// Written values come back unchanged: blanks at either end and a pair of
// quotes would otherwise be eaten by trimming and unquoting on reading.
QString quoteForWrite(const QString& v) {
    if (v != v.trimmed() || unquote(v) != v) return QLatin1Char('"') + v + QLatin1Char('"');
    return v;
}

void classify(Line& l, bool inSection) {
    l.kind = Line::Other;
    l.name.clear();
    l.value.clear();
    const QString t = l.text.trimmed();
    if (t.startsWith(QLatin1Char('['))) {
        const qsizetype close = t.lastIndexOf(QLatin1Char(']'));
        if (close > 0) {
            l.kind = Line::Section;
            l.name = t.mid(1, close - 1).trimmed();
        }
        return;
    }
    if (!inSection || t.startsWith(QLatin1Char(';'))) return;
    const qsizetype eq = t.indexOf(QLatin1Char('='));
    if (eq < 0) return;
    l.kind = Line::Key;
    l.name = t.left(eq).trimmed();
    l.value = unquote(t.mid(eq + 1).trimmed());
}

bool hasLineBreak(const QString& s) {
    return s.contains(QLatin1Char('\n')) || s.contains(QLatin1Char('\r'));
}

bool isValidUtf8(const QByteArray& bytes) {
    QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString ignored = dec.decode(bytes);
    return !dec.hasError();
}

}  // namespace

struct IniFile::Impl {
    QString path;
    Encoding encoding = Encoding::Utf16Le;
    Encoding readEncoding = Encoding::Utf16Le;  // encoding of the raw bytes
    bool utf8Bom = false;
    bool crlf = true;          // line end used for new lines
    bool finalNewline = true;  // the last line ends with a line end
    QList<Line> preamble;      // lines before the first section
    QList<Section> sections;
    QHash<QString, QList<int>> sectionIndex;  // folded name -> sections

    void clear() {
        preamble.clear();
        sections.clear();
        sectionIndex.clear();
        encoding = readEncoding = Encoding::Utf16Le;
        utf8Bom = false;
        crlf = true;
        finalNewline = true;
    }

    void reindexSections() {
        sectionIndex.clear();
        for (int i = 0; i < sections.size(); ++i)
            sectionIndex[sections[i].header.name.toCaseFolded()].append(i);
    }

    QList<int> sectionsNamed(const QString& section) const {
        return sectionIndex.value(fold(section));
    }

    const Line* findKey(const QString& section, const QString& key) const {
        const QString k = fold(key);
        for (int si : sectionsNamed(section)) {
            const Section& s = sections[si];
            auto it = s.firstKey.constFind(k);
            if (it != s.firstKey.constEnd()) return &s.body[*it];
        }
        return nullptr;
    }

    // forced: the encoding the bytes are known to be in (after a save).
    void parse(const QByteArray& data, const Encoding* forced = nullptr, bool forcedBom = false);
    QByteArray render() const;
    QByteArray encodeLine(const QString& text) const;
};

void IniFile::Impl::parse(const QByteArray& data, const Encoding* forced, bool forcedBom) {
    clear();
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

    auto decode = [&](const QByteArray& raw) {
        switch (encoding) {
            case Encoding::Utf16Le:
                return decodeText(raw, "UTF-16LE");
            case Encoding::Utf8:
                return decodeText(raw, "UTF-8");
            case Encoding::Gb18030:
                break;
        }
        return decodeText(raw, "GB18030");
    };

    // Split at LF on code-unit boundaries; LF never occurs inside a
    // multi-byte GB18030 or UTF-8 sequence, so splitting bytes is safe.
    bool firstEol = true;
    bool inSection = false;
    finalNewline = false;
    qsizetype pos = start;
    const qsizetype end = data.size();
    while (pos < end) {
        qsizetype eol = -1;
        for (qsizetype i = pos; i + unit <= end; i += unit) {
            if (data[i] == '\n' && (unit == 1 || data[i + 1] == '\0')) {
                eol = i;
                break;
            }
        }
        Line l;
        l.hasRaw = true;
        const qsizetype stop = eol < 0 ? end : eol;
        l.raw = data.mid(pos, stop - pos);
        if (eol >= 0) {
            l.cr = l.raw.size() >= unit && l.raw[l.raw.size() - unit] == '\r' &&
                   (unit == 1 || l.raw[l.raw.size() - 1] == '\0');
            if (l.cr) l.raw.chop(unit);
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
        QByteArray readable = l.raw;
        if (eol < 0 && readable.size() >= unit && readable[readable.size() - unit] == '\r' &&
            (unit == 1 || readable[readable.size() - 1] == '\0'))
            readable.chop(unit);
        l.text = decode(readable);
        // A UTF-16 file cut in the middle of a unit ends in a stray byte.
        // Kept as it is, it would put every line written after it out of
        // step; the line is written from its text instead.
        if (l.raw.size() % unit != 0) l.hasRaw = false;
        classify(l, inSection);
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
    for (Section& s : sections) s.index();
    reindexSections();
}

QByteArray IniFile::Impl::encodeLine(const QString& text) const {
    switch (encoding) {
        case Encoding::Utf16Le:
            return encodeText(text, "UTF-16LE");
        case Encoding::Utf8:
            return encodeText(text, "UTF-8");
        case Encoding::Gb18030:
            break;
    }
    return encodeText(text, "GB18030");
}

QByteArray IniFile::Impl::render() const {
    QByteArray out;
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
            out.append(l.raw);
        else
            out.append(encodeLine(l.text));
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
    return l ? l->value : defaultValue;
}

int IniFile::readInt(const QString& section, const QString& key, int defaultValue) const {
    const Line* l = d->findKey(section, key);
    if (!l) return defaultValue;
    const QString& v = l->value;
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
    QSet<QString> seen;
    for (const Section& s : d->sections) {
        const QString f = s.header.name.toCaseFolded();
        if (seen.contains(f)) continue;
        seen.insert(f);
        out.append(s.header.name);
    }
    return out;
}

QStringList IniFile::keys(const QString& section) const {
    QStringList out;
    QSet<QString> seen;
    for (int si : d->sectionsNamed(section)) {
        for (const Line& l : d->sections[si].body) {
            if (l.kind != Line::Key) continue;
            const QString f = l.name.toCaseFolded();
            if (seen.contains(f)) continue;
            seen.insert(f);
            out.append(l.name);
        }
    }
    return out;
}

bool IniFile::hasSection(const QString& section) const {
    return d->sectionIndex.contains(fold(section));
}

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
    const QString stored = quoteForWrite(value);

    const QString fk = k.toCaseFolded();
    const QList<int> named = d->sectionsNamed(sec);
    for (int si : named) {
        Section& s = d->sections[si];
        auto it = s.firstKey.constFind(fk);
        if (it == s.firstKey.constEnd()) continue;
        Line& l = s.body[*it];
        // Keep the key as the user spelled and indented it.
        const qsizetype eq = l.text.indexOf(QLatin1Char('='));
        qsizetype after = eq + 1;
        while (after < l.text.size() &&
               (l.text[after] == QLatin1Char(' ') || l.text[after] == QLatin1Char('\t')))
            ++after;
        l.text = l.text.left(after) + stored;
        l.value = value;
        l.hasRaw = false;
        l.raw.clear();
        return true;
    }

    Line nl;
    nl.kind = Line::Key;
    nl.text = k + QLatin1Char('=') + stored;
    nl.name = k;
    nl.value = value;
    nl.cr = d->crlf;

    if (!named.isEmpty()) {
        Section& s = d->sections[named.first()];
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
                if (!s.body[i].text.trimmed().isEmpty()) {
                    at = i + 1;
                    break;
                }
            }
        }
        if (at == s.body.size() && named.first() == d->sections.size() - 1) d->finalNewline = true;
        // Every key lies before the insertion point, so no index moves.
        s.body.insert(at, nl);
        s.firstKey.insert(fk, int(at));
        return true;
    }

    Section s;
    s.header.kind = Line::Section;
    s.header.name = sec;
    s.header.text = QLatin1Char('[') + sec + QLatin1Char(']');
    s.header.cr = d->crlf;
    s.body.append(nl);
    s.index();
    d->sections.append(std::move(s));
    d->sectionIndex[sec.toCaseFolded()].append(d->sections.size() - 1);
    d->finalNewline = true;
    return true;
}

void IniFile::removeKey(const QString& section, const QString& key) {
    const QString fk = fold(key);
    for (int si : d->sectionsNamed(section)) {
        Section& s = d->sections[si];
        if (!s.firstKey.contains(fk)) continue;
        s.body.removeIf(
            [&](const Line& l) { return l.kind == Line::Key && l.name.toCaseFolded() == fk; });
        s.index();
    }
}

void IniFile::removeSection(const QString& section) {
    const QString fs = fold(section);
    if (!d->sectionIndex.contains(fs)) return;
    d->sections.removeIf([&](const Section& s) { return s.header.name.toCaseFolded() == fs; });
    d->reindexSections();
}

bool IniFile::save() {
    const QByteArray bytes = d->render();
    SafeFileWriter f(d->path);
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
