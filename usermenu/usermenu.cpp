#include "usermenu/usermenu.h"

#include <QFile>

#include "engine/textutil.h"
#include "platform/codepage.h"
#include "resources/stringids.h"

namespace qor::frames {

namespace {

// Field sizes in characters (UTF-16) or bytes (ANSI).
constexpr int kNameLen = 20;
constexpr int kNumberLen = 2;
constexpr int kShortCommandLen = 512;
constexpr int kLongCommandLen = 4096;
constexpr int kPromptLen = 100;
constexpr int kCountLen = 3;
constexpr int kWideHeaderBytes = 40;
constexpr int kAnsiHeaderBytes = 20;
constexpr int kLongFormBase = 100;

// A bounded reader over the file's bytes: every read says whether the
// bytes were there.
class Bytes {
public:
    explicit Bytes(const QByteArray& data) : m_data(data) {}
    qsizetype Remaining() const { return m_data.size() - m_pos; }
    qsizetype Pos() const { return m_pos; }
    void Seek(qsizetype pos) { m_pos = pos; }
    bool Take(qsizetype n, QByteArray* out) {
        if (n < 0 || Remaining() < n) return false;
        *out = m_data.mid(m_pos, n);
        m_pos += n;
        return true;
    }

private:
    const QByteArray& m_data;
    qsizetype m_pos = 0;
};

// UTF-16 little-endian text up to its first zero character.
QString wideText(const QByteArray& field) {
    QString out;
    out.reserve(field.size() / 2);
    for (qsizetype i = 0; i + 1 < field.size(); i += 2) {
        const char16_t c = char16_t(quint8(field[i]) | (quint8(field[i + 1]) << 8));
        if (c == 0) break;
        out.append(QChar(c));
    }
    return out;
}

// Code page 936 text up to its first zero byte, at most maxChars long.
QString ansiText(const QByteArray& field, int maxChars) {
    const qsizetype zero = field.indexOf('\0');
    QString out = qor::decodeCp936(zero < 0 ? field : field.left(zero));
    if (maxChars > 0 && out.size() > maxChars) out.truncate(maxChars);
    return out;
}

// A decimal field: blanks around it are ignored and an empty field is 0;
// anything else that is not a number marks a damaged file.
bool decimal(const QString& text, int* value) {
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        *value = 0;
        return true;
    }
    bool ok = false;
    const int v = t.toInt(&ok, 10);
    if (!ok) return false;
    *value = v;
    return true;
}

struct Layout {
    bool wide = false;
    int commandLen = kShortCommandLen;
    qsizetype recordBytes = 0;
};

class Reader {
public:
    Reader(const QByteArray& data, Layout layout) : m_in(data), m_layout(layout) {}

    Bytes& In() { return m_in; }

    // One record, or the message that stops the read.
    int Record(UserMenuItem* item, int* children) {
        QByteArray name, number, command, prompt, count;
        const int unit = m_layout.wide ? 2 : 1;
        if (m_in.Remaining() < m_layout.recordBytes) return str::kMenuFileEndsEarly;
        m_in.Take(kNameLen * unit, &name);
        m_in.Take(kNumberLen * unit, &number);
        m_in.Take(m_layout.commandLen * unit, &command);
        m_in.Take(kPromptLen * unit, &prompt);
        m_in.Take(kCountLen * unit, &count);
        if (m_layout.wide) {
            item->name = wideText(name);
            item->command = wideText(command);
            item->prompt = wideText(prompt);
        } else {
            item->name = ansiText(name, kNameLen);
            item->command = ansiText(command, 0);
            item->prompt = ansiText(prompt, kPromptLen);
        }
        const QString numberText = m_layout.wide ? wideText(number) : ansiText(number, 0);
        const QString countText = m_layout.wide ? wideText(count) : ansiText(count, 0);
        if (!decimal(numberText, &item->number) || !decimal(countText, children))
            return str::kNotMenuResourceFile;
        return 0;
    }

    // The items of the whole file, depth first.
    int Items(int count, UserMenuTables& t) {
        for (int i = 0; i < count; ++i) {
            UserMenuItem item;
            int children = 0;
            if (int m = Record(&item, &children)) return m;
            t.level1.append(item);
            t.level2.append(QList<UserMenuItem>());
            t.level3.append(QList<QList<UserMenuItem>>());
            for (int j = 0; j < children; ++j) {
                int grandChildren = 0;
                if (int m = Record(&item, &grandChildren)) return m;
                t.level2.last().append(item);
                t.level3.last().append(QList<UserMenuItem>());
                for (int k = 0; k < grandChildren; ++k) {
                    int ignored = 0;  // the third level has no children
                    if (int m = Record(&item, &ignored)) return m;
                    t.level3.last().last().append(item);
                }
            }
        }
        return 0;
    }

private:
    Bytes m_in;
    Layout m_layout;
};

MenuParseResult fail(int* message, int id) {
    if (message) *message = id;
    return MenuParseResult::Failed;
}

}  // namespace

const UserMenuItem* UserMenuTables::Item(int i, int j, int k) const {
    if (i < 0 || i >= level1.size()) return nullptr;
    if (j < 0) return &level1[i];
    if (j >= level2[i].size()) return nullptr;
    if (k < 0) return &level2[i][j];
    if (k >= level3[i][j].size()) return nullptr;
    return &level3[i][j][k];
}

MenuParseResult ParseMenuBytes(const QByteArray& data, UserMenuTables& tables, int* message) {
    if (message) *message = 0;
    const bool wide = data.size() >= 2 && quint8(data[0]) == 0xFF && quint8(data[1]) == 0xFE;
    Layout layout;
    layout.wide = wide;
    // UTF-16 records always carry the long command field.
    if (wide) layout.commandLen = kLongCommandLen;
    QString header;
    qsizetype headerEnd = 0;
    if (wide) {
        if (data.size() < 2 + kWideHeaderBytes) return fail(message, str::kMenuFileEndsEarly);
        header = wideText(data.mid(2, kWideHeaderBytes));
        headerEnd = 2 + kWideHeaderBytes;
    } else {
        if (data.size() < kAnsiHeaderBytes) return fail(message, str::kMenuFileEndsEarly);
        header = ansiText(data.left(kAnsiHeaderBytes), 0);
        headerEnd = kAnsiHeaderBytes;
    }
    if (!header.contains(QLatin1String("MENU"))) return fail(message, str::kNotMenuResourceFile);
    // A UTF-16 menu is read only while no menu is loaded.
    if (wide && !tables.IsEmpty()) return MenuParseResult::NotEmpty;
    int count = 0;
    if (!decimal(header.mid(4), &count)) return fail(message, str::kNotMenuResourceFile);
    if (!wide && count > kLongFormBase) {
        count -= kLongFormBase;
        layout.commandLen = kLongCommandLen;
    }
    const int unit = wide ? 2 : 1;
    layout.recordBytes =
        qsizetype(kNameLen + kNumberLen + layout.commandLen + kPromptLen + kCountLen) * unit;
    const qsizetype endBytes = wide ? kWideHeaderBytes : kAnsiHeaderBytes;
    // The first-level records alone must fit: a header claiming more than
    // the file holds is a short file, found before any record is read.
    if (count > 0 && (data.size() - headerEnd - endBytes) / layout.recordBytes < count)
        return fail(message, str::kMenuFileEndsEarly);

    UserMenuTables read;
    Reader reader(data, layout);
    reader.In().Seek(headerEnd);
    if (count > 0)
        if (int m = reader.Items(count, read)) return fail(message, m);
    QByteArray end;
    if (!reader.In().Take(endBytes, &end)) return fail(message, str::kMenuFileBadEnd);
    const QString endText = wide ? wideText(end) : ansiText(end, 0);
    if (!endText.contains(QLatin1String("END"))) return fail(message, str::kMenuFileBadEnd);
    tables = std::move(read);
    return MenuParseResult::Ok;
}

MenuParseResult ParseMenuFile(const QString& path, UserMenuTables& tables, int* message) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return fail(message, str::kMenuFileEndsEarly);
    // The largest sensible menu (12 x 12 x 12 long records) is a few
    // megabytes; the counts are checked against what was read.
    const QByteArray data = f.readAll();
    return ParseMenuBytes(data, tables, message);
}

int UserMenuCommandId(int i, int j, int k) {
    const QString code = MenuIndexToCode(i, j, k);
    int n = 0;
    if (code.isEmpty() || !LettersToIndex(code, &n)) return 0;
    return kUserMenuFirstId + n;
}

bool UserMenuPosition(int id, int* i, int* j, int* k) {
    if (id < kUserMenuFirstId || id > kUserMenuLastId) return false;
    const QString code = IndexToLetters(id - kUserMenuFirstId);
    const int level = GetMenuCodeLevel(code);
    if (level < 1) return false;
    int idx[3] = {-1, -1, -1};
    for (int l = 0; l < level; ++l) {
        idx[l] = code.at(l).unicode() - u'A';
        if (idx[l] < 0 || idx[l] >= kMaxUserMenuLevelItems) return false;
    }
    *i = idx[0];
    *j = idx[1];
    *k = idx[2];
    return true;
}

bool UserMenuCodable(const UserMenuTables& t) {
    if (t.level1.size() > kMaxUserMenuLevelItems) return false;
    for (qsizetype i = 0; i < t.level1.size(); ++i) {
        if (t.level2[i].size() > kMaxUserMenuLevelItems) return false;
        for (qsizetype j = 0; j < t.level2[i].size(); ++j)
            if (t.level3[i][j].size() > kMaxUserMenuLevelItems) return false;
    }
    return true;
}

}  // namespace qor::frames
