#include "fininterface/indicatorrun.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>
#include <string>
#include <string_view>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "cmdlang/ccalcinterpreter.h"
#include "engine/messages.h"
#include "engine/textutil.h"
#include "platform/codepage.h"
#include "platform/inifile.h"
#include "platform/registry.h"
#include "platform/safefile.h"

namespace qor {

using namespace std::string_view_literals;

namespace {

constexpr double kUnset = -1.7E+308;
const QString kInter = QStringLiteral("InterCS");
const QString kReportSoft = QStringLiteral("ReportSoft");
const QString kFinanceSoft = QStringLiteral("FinanceSoft");
const QString kType = QStringLiteral("TYPE");

// The leading decimal number of a text (0 without one), and where it ends.
// A number too large for an int counts as none (0).
int leadingNumber(QStringView text, qsizetype* end = nullptr) {
    qsizetype i = 0;
    qint64 n = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        if (n <= std::numeric_limits<int>::max()) n = n * 10 + (text[i].unicode() - u'0');
    if (end) *end = i;
    return n <= std::numeric_limits<int>::max() ? int(n) : 0;
}

bool startsWithDigit(QStringView t) {
    return !t.isEmpty() && t[0].unicode() < 128 && t[0].isDigit();
}

// Year, month and day of "y-m-d"; false for any other shape.
bool parseDate(const QString& text, int* y, int* m, int* d) {
    static const QRegularExpression re(
        QStringLiteral("^\\s*(\\d{1,4})-(\\d{1,2})-(\\d{1,2})\\s*$"));
    const auto match = re.match(text);
    if (!match.hasMatch()) return false;
    *y = match.captured(1).toInt();
    *m = match.captured(2).toInt();
    *d = match.captured(3).toInt();
    return true;
}

QString shownDate(const QString& text) {
    QString out = text.trimmed();
    const qsizetype a = out.indexOf(QLatin1Char('-'));
    if (a >= 0) out.replace(a, 1, LoadErrorText(str::kKeywordYear));
    const qsizetype b = out.indexOf(QLatin1Char('-'));
    if (b >= 0) out.replace(b, 1, LoadErrorText(str::kKeywordMonth));
    return out + LoadErrorText(str::kKeywordDay);
}

// A number's decimal digits put straight onto a text.
void appendNumber(QString* out, int value) {
    char buf[16];
    const auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
    *out += QLatin1StringView(buf, end - buf);
}

QString resultDate(int y, int m, int d) {
    return QStringLiteral("%1-%2-%3")
        .arg(y)
        .arg(m, 2, 10, QLatin1Char('0'))
        .arg(d, 2, 10, QLatin1Char('0'));
}

}  // namespace

std::optional<QString> ReadFormulaLibraryPath() {
    const QString v = Registry::readString(QString::fromLatin1(kIndicatorRegistryKey),
                                           QString::fromLatin1(kFormulaLibraryValue));
    if (v.isEmpty()) return std::nullopt;
    return v;
}

bool WriteFormulaLibraryPath(const QString& path) {
    // The key is our own file's section: it is made when missing, so the
    // choice is never dropped silently.
    return Registry::writeString(QString::fromLatin1(kIndicatorRegistryKey),
                                 QString::fromLatin1(kFormulaLibraryValue), path);
}

bool ReadInterfaceFile(const QString& path, IndicatorSettings* s) {
    const IniFile ini(path);
    s->interfacePath = path;
    s->missing.clear();
    s->warnings.clear();
    s->startText = ini.readString(kInter, QStringLiteral("StartTime"));
    s->endText = ini.readString(kInter, QStringLiteral("EndTime"));
    s->indicatorLib = ini.readString(kInter, QStringLiteral("CWZBK_File"));
    s->formulaLib =
        ReadFormulaLibraryPath().value_or(ini.readString(kInter, QStringLiteral("CWGSK_File")));
    s->resultLib = ini.readString(kInter, QStringLiteral("CWSJK_File"));
    s->logFile = ini.readString(kInter, QStringLiteral("Log_File"));
    const std::pair<const QString*, int> named[] = {{&s->indicatorLib, str::kIndicatorLibraryItem},
                                                    {&s->formulaLib, str::kFormulaLibraryItem},
                                                    {&s->resultLib, str::kResultLibraryItem},
                                                    {&s->logFile, str::kErrorLogFileItem}};
    for (const auto& [value, id] : named)
        if (value->isEmpty()) s->missing << LoadErrorText(id);
    if (!s->missing.isEmpty()) return false;

    // A date that is not year-month-day, names no day of the calendar
    // ("2004-13-45", "2004-02-30") or is not there at all would put month
    // 13, day 45 or an unseen 1999 into the expressions: it counts as
    // 1999-01-01, and the trace says so.
    auto date = [s](const char* key, QString* text, int* y, int* m, int* d) {
        const QString name = QLatin1String(key);
        if (text->trimmed().isEmpty())
            s->warnings << LoadErrorText(str::kIndicatorDateMissing).arg(s->interfacePath, name);
        else if (!parseDate(*text, y, m, d) || !QDate(*y, *m, *d).isValid())
            s->warnings << LoadErrorText(str::kIndicatorDateUnreadable).arg(s->interfacePath, name, *text);
        else
            return;
        *text = QStringLiteral("1999-01-01");
        parseDate(*text, y, m, d);
    };
    date("StartTime", &s->startText, &s->startYear, &s->startMonth, &s->startDay);
    date("EndTime", &s->endText, &s->endYear, &s->endMonth, &s->endDay);
    s->startShown = shownDate(s->startText);
    s->endShown = shownDate(s->endText);

    s->accountSet = ini.readString(kInter, QStringLiteral("ZT_NO"));
    const int year = ini.readInt(kInter, QStringLiteral("KJ_ND"), -1);
    s->accountingYear = year > 0 ? year : s->endYear;
    const QString dir = ini.readString(kInter, QStringLiteral("KM_FX"));
    s->direction = dir == LoadErrorText(str::kDebit)    ? 0
                   : dir == LoadErrorText(str::kCredit) ? 1
                                                        : -1;

    s->period = LoadErrorText(str::kWholeYear);
    if (s->startYear == s->endYear)
        s->period =
            LoadErrorText(s->startMonth != s->endMonth ? str::kKeywordMonth : str::kKeywordDay);
    return true;
}

bool LoadIndicatorList(IndicatorSettings* s) {
    s->codes.clear();
    if (s->indicatorLib.isEmpty() || !QFileInfo(s->indicatorLib).isReadable()) return false;
    return LoadIndicatorList(s, IniFile(s->indicatorLib));
}

bool LoadIndicatorList(IndicatorSettings* s, const IniFile& ini) {
    s->codes.clear();
    if (!ini.exists()) return false;
    s->decimals = std::clamp(ini.readInt(kReportSoft, QStringLiteral("Decimal"), 2), 0, 8);
    s->unitName = LoadErrorText(str::kYuan);
    s->moneyUnit = 1;
    if (ini.hasKey(kReportSoft, QStringLiteral("MoneyUnit"))) {
        const QString unit = ini.readString(kReportSoft, QStringLiteral("MoneyUnit")).trimmed();
        qsizetype end = 0;
        s->moneyUnit = std::max(1, leadingNumber(unit, &end));
        const QString name = unit.mid(end).left(19);
        if (!name.isEmpty()) s->unitName = name;
    }
    const int merge = ini.readInt(kReportSoft, QStringLiteral("Merge"), 0);
    s->merge = merge == 1 ? 1 : 0;
    for (const QString& section : ini.sections()) {
        const QString code = section.trimmed().toLower();
        if (code == u"end") break;
        if (code.isEmpty() || code == u"type" || code == u"reportsoft" || code == u"financesoft")
            continue;
        s->codes << code;
    }
    return true;
}

QString ExpandIndicatorPlaceholders(const QString& e, const IndicatorSettings& s) {
    if (!e.contains(u'%')) return e;
    QString out;
    out.reserve(e.size() + 16);
    ExpandIndicatorPlaceholders(e, s, &out);
    return out;
}

void ExpandIndicatorPlaceholders(QStringView e, const IndicatorSettings& s, QString* to) {
    QString& out = *to;
    // The placeholders are lower-case ASCII; a character of the expression
    // matches when it folds to the placeholder's.
    auto take = [&](qsizetype i, QStringView word) {
        if (e.size() - i < word.size()) return false;
        for (qsizetype k = 0; k < word.size(); ++k) {
            const char16_t c = e[i + k].unicode();
            const char16_t folded =
                c < 0x80 ? (c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c) : QChar::toCaseFolded(c);
            if (folded != word[k].unicode()) return false;
        }
        return true;
    };
    // A year may carry "+n" or "-n" straight after it.
    auto year = [&](qsizetype* i, int value) {
        qsizetype j = *i;
        if (j < e.size() && (e[j] == u'+' || e[j] == u'-')) {
            qsizetype k = j + 1;
            while (k < e.size() && e[k].isDigit() && e[k].unicode() < 128) ++k;
            if (k > j + 1) {
                const int n = e.mid(j + 1, k - j - 1).toInt();
                value += e[j] == u'+' ? n : -n;
                *i = k;
            }
        }
        appendNumber(&out, value);
    };
    for (qsizetype i = 0; i < e.size();) {
        if (e[i] != u'%') {
            qsizetype next = e.indexOf(u'%', i);
            if (next < 0) next = e.size();
            out += e.mid(i, next - i);
            i = next;
            continue;
        }
        struct P {
            const char16_t* word;
            int kind;
        };
        static const P places[] = {
            {u"%beginyear%", 0}, {u"%beginmonth%", 1}, {u"%beginday%", 2}, {u"%endyear%", 3},
            {u"%endmonth%", 4},  {u"%endday%", 5},     {u"%ztno%", 6},     {u"%kjnd%", 7},
            {u"%kmfx%", 8},      {u"%during%", 9},
        };
        bool matched = false;
        // Only the letter after '%' can tell the placeholders apart cheaply.
        const char16_t first = i + 1 < e.size() ? QChar::toLower(e[i + 1].unicode()) : u'\0';
        for (const P& p : places) {
            const QStringView word(p.word);
            if (word[1] != first || !take(i, word)) continue;
            matched = true;
            i += word.size();
            switch (p.kind) {
                case 0:
                    year(&i, s.startYear);
                    break;
                case 1:
                    appendNumber(&out, s.startMonth);
                    break;
                case 2:
                    appendNumber(&out, s.startDay);
                    break;
                case 3:
                    year(&i, s.endYear);
                    break;
                case 4:
                    appendNumber(&out, s.endMonth);
                    break;
                case 5:
                    appendNumber(&out, s.endDay);
                    break;
                case 6:
                    out += s.accountSet;
                    break;
                case 7:
                    appendNumber(&out, s.accountingYear);
                    break;
                case 8:
                    if (s.direction >= 0)
                        out += LoadErrorText(s.direction == 0 ? str::kDebit : str::kCredit);
                    break;
                case 9:
                    out += s.period;
                    break;
            }
            break;
        }
        if (!matched) out += e[i++];
    }
}

// ---- the run ----------------------------------------------------------------

namespace {

// GB18030 for the result library and the error log. ASCII, the bulk of
// both, is copied as it is; the other stretches (names, Chinese values)
// repeat from indicator to indicator and are converted once. GB18030 has
// no shift state, so a text converts to its stretches' bytes one after the
// other.
class GbWriter {
public:
    void append(std::string* out, QStringView text) {
        const char16_t* p = text.utf16();
        const qsizetype n = text.size();
        for (qsizetype i = 0; i < n;) {
            const size_t at = out->size();
            out->resize(at + size_t(n - i));
            qsizetype j = copyAscii(p, i, n, out->data() + at);
            out->resize(at + size_t(j - i));
            i = j;
            while (j < n && p[j] >= 0x80) ++j;
            if (j > i) {
                const QStringView stretch = text.mid(i, j - i);
                size_t h = 14695981039346656037ull;
                for (QChar c : stretch) h = (h ^ c.unicode()) * 1099511628211ull;
                Known& k = m_known[h % kKnown];
                if (QStringView(k.text) != stretch) {
                    k.text = stretch.toString();
                    k.bytes = encodeText(k.text, "GB18030").toStdString();
                }
                *out += k.bytes;
                i = j;
            }
        }
    }

private:
    // Copies the ASCII stretch from p[i] on to o as bytes, sixteen
    // characters at a time where the processor allows; returns where the
    // stretch ends.
    static qsizetype copyAscii(const char16_t* p, qsizetype i, qsizetype n, char* o) {
        qsizetype k = i;
#if defined(__SSE2__)
        const __m128i high = _mm_set1_epi16(short(0xFF80));
        for (; k + 16 <= n; k += 16) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k + 8));
            const __m128i over = _mm_and_si128(_mm_or_si128(a, b), high);
            if (_mm_movemask_epi8(_mm_cmpeq_epi8(over, _mm_setzero_si128())) != 0xFFFF) break;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o + (k - i)), _mm_packus_epi16(a, b));
        }
#endif
        for (; k < n && p[k] < 0x80; ++k) o[k - i] = char(p[k]);
        return k;
    }

    // The stretches met last, by hash: a run meets the same few again and
    // again.
    static constexpr size_t kKnown = 512;
    struct Known {
        QString text;
        std::string bytes;
    };
    std::vector<Known> m_known = std::vector<Known>(kKnown);
};

// INI text in GB18030 with CR LF, as the sibling program reads it.
void iniHeader(std::string* out, GbWriter& gb, QStringView name) {
    *out += '[';
    gb.append(out, name);
    *out += "]\r\n";
}

// One INI line; a value never carries a line break into the file. CR and
// LF are ASCII, and no byte of a GB18030 multi-byte sequence is either, so
// they are found among the bytes written.
void iniLine(std::string* out, GbWriter& gb, std::string_view key, QStringView value) {
    *out += key;
    *out += '=';
    const size_t at = out->size();
    gb.append(out, value);
    char* p = out->data();
    for (size_t i = at, n = out->size(); i < n; ++i)
        if (p[i] == '\r' || p[i] == '\n') p[i] = ' ';
    *out += "\r\n";
}

// A fixed text of the run, with its bytes in the error log.
struct FixedText {
    QString text;
    std::string bytes;
    explicit FixedText(const QString& t) : text(t), bytes(encodeText(t, "GB18030").toStdString()) {}
};

}  // namespace

// One trace line as its pieces: fixed texts with their bytes ready, and
// values. The line is put together as text only for those who read text
// (the message sink, the caller's trace); the error log takes the bytes.
struct IndicatorTraceLine {
    struct Piece {
        QStringView text;
        const std::string* bytes;  // the text encoded, for fixed texts
    };
    static constexpr int kPieces = 8;
    Piece pieces[kPieces];
    int count = 0;
    QString filled;  // a line filled the general way (MessagePattern)

    IndicatorTraceLine() = default;
    IndicatorTraceLine(std::initializer_list<Piece> list) {
        for (const Piece& p : list) add(p);
    }
    IndicatorTraceLine(const IndicatorTraceLine&) = delete;
    IndicatorTraceLine& operator=(const IndicatorTraceLine&) = delete;
    void add(const Piece& p) {
        if (count < kPieces) pieces[count++] = p;
    }
};

namespace {

using Piece = IndicatorTraceLine::Piece;
Piece fixed(const FixedText& t) { return {t.text, &t.bytes}; }
Piece value(QStringView v) { return {v, nullptr}; }

// A message text with values put in as FillMessageText puts them, for
// lines written once per indicator: the text is filled once with marks
// and cut there, so each line is its pieces with the values between.
class MessagePattern {
public:
    MessagePattern(const QString& text, int values) : m_text(text) {
        static constexpr char16_t kMarks[] = {1, 2, 3, 4};
        if (values > 4) return;
        QStringList marks;
        for (int i = 0; i < values; ++i) {
            if (text.contains(QChar(kMarks[i]))) return;
            marks << QString(QChar(kMarks[i]));
        }
        const QString filled = FillMessageText(text, marks);
        qsizetype from = 0;
        for (int i = 0; i < values; ++i) {
            const qsizetype at = filled.indexOf(QChar(kMarks[i]), from);
            if (at < 0) break;
            m_pieces.emplace_back(filled.mid(from, at - from));
            from = at + 1;
        }
        m_pieces.emplace_back(filled.mid(from));
        m_cut = true;
    }
    void fill(IndicatorTraceLine* line, std::initializer_list<QStringView> values) const {
        if (!m_cut) {
            QStringList list;
            for (QStringView v : values) list << v.toString();
            line->filled = FillMessageText(m_text, list);
            line->add(value(line->filled));
            return;
        }
        line->add(fixed(m_pieces[0]));
        size_t k = 1;
        for (QStringView v : values) {
            if (k >= m_pieces.size()) break;
            line->add(value(v));
            line->add(fixed(m_pieces[k++]));
        }
    }

private:
    QString m_text;
    std::vector<FixedText> m_pieces;  // one more than the values put in
    bool m_cut = false;
};

// The message texts of a run, looked up once.
struct RunTexts {
    MessagePattern started{LoadErrorText(str::kIndicatorStart), 3};
    FixedText expression{LoadErrorText(str::kIndicatorExpression)},
        subExpression{LoadErrorText(str::kRunSubExpression)},
        expanded{LoadErrorText(str::kRunExpression)};
    MessagePattern finished{LoadErrorText(str::kIndicatorDone), 1};
    FixedText noVariable{LoadErrorText(str::kCustomSystemVariableNotFound)};
    MessagePattern notFinished{LoadErrorText(str::kIndicatorNotDone), 1};
};

// Milliseconds of a clock that never goes back, to the few milliseconds
// the error log's pacing needs; cheaper to read than the precise clock.
qint64 coarseMilliseconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &t);
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// The decimal digits of a positive number as text.
QStringView decimalText(int n, char16_t (&buf)[12]) {
    char digits[12];
    const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    const qsizetype len = end - digits;
    for (qsizetype i = 0; i < len; ++i) buf[i] = char16_t(digits[i]);
    return QStringView(buf, len);
}

}  // namespace

// The result library is written as the run goes, into a locked temporary
// beside it: its head once, then each indicator's section appended whole
// as soon as it is computed, so no indicator costs a rewrite of the file.
// The end of a run sets the head's validity flag in place (one byte, "1"
// or "0"), appends the end mark and renames the file onto the library; a
// stopped run puts what it wrote in place as it is (no end mark). A crash
// leaves the library of the run before and a temporary the next write in
// that folder sweeps; a link at the library's name is replaced, never
// written through.
struct CIndicatorRun::Files {
    IniFile indicators;
    IniFile formulas;
    SafeFileWriter resultFile;
    QFile result;  // over resultFile's descriptor
    QFile log;
    qint64 validFlagAt = -1;  // offset of the head's DBValidFlag value
    // The error log's bytes not yet written; see writeLog.
    std::string pendingLog;
    qint64 logWrittenAt = 0;  // coarseMilliseconds()
    std::string section;      // the indicator's section, "[code]" and its lines
    QString defaultUnit, defaultDecimals;
    GbWriter gb;
    RunTexts texts;
    Files(const IndicatorSettings& s)
        : indicators(s.indicatorLib), formulas(s.formulaLib), resultFile(s.resultLib) {}
    // Puts the result in place; false (and the library untouched) when
    // something written to it failed.
    bool commitResult(bool writtenWhole) {
        if (!result.isOpen()) return false;
        result.close();
        if (!writtenWhole) resultFile.fail(EIO);
        return resultFile.commit();
    }
};

namespace {

// The error log is appended to, never through a link planted at its name,
// and only when it is a plain file (a pipe there would stall the run).
bool openLog(QFile& log, const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 ||
        !log.open(fd, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered,
                  QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

}  // namespace

CIndicatorRun::CIndicatorRun(IndicatorSettings settings, LineRunner run, TraceSink trace)
    : m_settings(std::move(settings)),
      m_run(std::move(run)),
      m_trace(std::move(trace)),
      // Seeded from the system's source, which costs one call rather than
      // the processor probes std::random_device makes each time.
      m_random(QRandomGenerator::system()->generate()) {}

CIndicatorRun::~CIndicatorRun() {
    // A stopped run still leaves its trace in the error log, and what it
    // computed in the result library.
    if (m_files) {
        writeLog(true);
        m_files->commitResult(true);
    }
}

void CIndicatorRun::trace(const IndicatorTraceLine& line) {
    if (m_files && m_files->log.isOpen()) {
        // Written out with the sections (saveResult).
        std::string& out = m_files->pendingLog;
        for (int i = 0; i < line.count; ++i) {
            const Piece& p = line.pieces[i];
            if (p.bytes)
                out += *p.bytes;
            else
                m_files->gb.append(&out, p.text);
        }
        out += "\r\n";
    }
    const bool sink = TraceMessageWanted();
    if (!sink && !m_trace) return;
    QString text;
    qsizetype size = 0;
    for (int i = 0; i < line.count; ++i) size += line.pieces[i].text.size();
    text.reserve(size);
    for (int i = 0; i < line.count; ++i) text += line.pieces[i].text;
    if (sink) TraceMessage(text);
    if (m_trace) m_trace(text);
}

void CIndicatorRun::trace(QStringView text) { trace(IndicatorTraceLine{value(text)}); }

bool CIndicatorRun::Start(QString* message) {
    IndicatorSettings& s = m_settings;
    const QString cannotOpen = LoadErrorText(str::kCannotOpenFile);
    const QString checkIt = LoadErrorText(str::kCheckFileExists);
    m_files.reset();
    // Both libraries are read once, here, and serve the whole run.
    auto files = std::make_unique<Files>(s);
    if (s.indicatorLib.isEmpty() || !QFileInfo(s.indicatorLib).isReadable() ||
        !LoadIndicatorList(&s, files->indicators)) {
        *message = cannotOpen + s.indicatorLib + checkIt;
        return false;
    }
    if (s.codes.isEmpty()) {
        *message = LoadErrorText(str::kNoIndicatorCodes);
        return false;
    }
    if (s.formulaLib.isEmpty() || !QFileInfo(s.formulaLib).isReadable()) {
        *message = cannotOpen + s.formulaLib + checkIt;
        return false;
    }
    if (s.resultLib.isEmpty()) {
        *message = LoadErrorText(str::kResultFileEmpty);
        return false;
    }
    // A new run starts the result library afresh.
    if (!files->resultFile.open() ||
        !files->result.open(files->resultFile.handle(), QIODevice::ReadWrite | QIODevice::Unbuffered,
                            QFileDevice::DontCloseHandle)) {
        *message = LoadErrorText(str::kCreateResultFileFailed);
        return false;
    }
    m_files = std::move(files);
    if (!openLog(m_files->log, s.logFile)) {
        m_files.reset();
        *message = LoadErrorText(str::kCreateLogFileFailed);
        return false;
    }
    // What the sibling program reads: GB18030 with CR LF.
    const IniFile& f = m_files->formulas;
    const IniFile& i = m_files->indicators;
    GbWriter& gb = m_files->gb;
    std::string head;
    iniHeader(&head, gb, kFinanceSoft);
    iniLine(&head, gb, "FCorp"sv, f.readString(kFinanceSoft, QStringLiteral("FCorp")));
    iniLine(&head, gb, "FVersion"sv, f.readString(kFinanceSoft, QStringLiteral("FVersion")));
    iniLine(&head, gb, "RCorp"sv, i.readString(kReportSoft, QStringLiteral("RCorp")));
    iniLine(&head, gb, "RVersion"sv, i.readString(kReportSoft, QStringLiteral("RVersion")));
    iniLine(&head, gb, "Class"sv, f.readString(kFinanceSoft, QStringLiteral("Class")));
    iniLine(&head, gb, "StartTime"sv, resultDate(s.startYear, s.startMonth, s.startDay));
    iniLine(&head, gb, "EndTime"sv, resultDate(s.endYear, s.endMonth, s.endDay));
    iniLine(&head, gb, "CreateTime"sv, QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
    head += "DBValidFlag=";
    const qint64 validFlagAt = head.size();
    head += "1\r\n";
    for (const char* key : {"MoneyUnit", "Decimal", "Merge"})
        iniLine(&head, gb, key, i.readString(kReportSoft, QString::fromLatin1(key)));
    iniHeader(&head, gb, kType);
    for (const char* key : {"1", "2", "3", "4"})
        iniLine(&head, gb, key, f.readString(kType, QString::fromLatin1(key)));
    if (m_files->result.write(head.data(), qint64(head.size())) != qint64(head.size())) {
        m_files.reset();
        *message = LoadErrorText(str::kCreateResultFileFailed);
        return false;
    }
    m_files->validFlagAt = validFlagAt;
    // What an indicator without its own unit or decimals gets: the same
    // for the whole run.
    m_files->defaultUnit = QString::number(s.moneyUnit) + s.unitName;
    if (leadingNumber(m_files->defaultUnit) <= 0) m_files->defaultUnit = s.unitName;
    m_files->defaultDecimals = QString::number(s.decimals);
    m_files->logWrittenAt = coarseMilliseconds();
    m_index = 0;
    m_failed = false;
    m_written = m_failedCount = 0;
    m_firstFailed.clear();
    return true;
}

// The error log is for reading after the run, so its lines are gathered
// and written a tenth of a second's worth at a time, and whenever the run
// ends or stops. A run paced by the window writes them with every
// indicator; a crash can lose at most the last tenth of a second of trace,
// never a section of the result library.
void CIndicatorRun::writeLog(bool now) {
    Files& f = *m_files;
    if (f.pendingLog.empty()) return;
    if (!now && f.pendingLog.size() < (1 << 15) && coarseMilliseconds() - f.logWrittenAt < 100)
        return;
    f.log.write(f.pendingLog.data(), qint64(f.pendingLog.size()));
    f.pendingLog.clear();  // keeps its room
    f.logWrittenAt = coarseMilliseconds();
}

bool CIndicatorRun::saveResult() {
    if (m_files->section.empty()) return true;
    writeLog(false);
    std::string& block = m_files->section;
    // Unbuffered: the section is in the file when this returns.
    const bool ok =
        m_files->result.write(block.data(), qint64(block.size())) == qint64(block.size());
    block.clear();
    if (!ok)
        trace(QStringLiteral("%1: %2").arg(m_settings.resultLib, m_files->result.errorString()));
    return ok;
}

// A random name no variable has. The value is freed as soon as it is read,
// so the name serves again until something else takes it.
QString CIndicatorRun::freshVariableName() {
    const CCalcRuntime& rt = CCalcInterpreter::Instance().Runtime();
    while (m_variable.isEmpty() || rt.FindVariable(m_variable) >= 0) {
        QString name(8, Qt::Uninitialized);
        name[0] = u'&';
        for (int i = 0; i < 7; ++i)
            name[i + 1] = QChar(u'a' + char16_t((m_random() % unsigned(11 + 10 * i)) % 26));
        m_variable = name;
    }
    return m_variable;
}

CIndicatorRun::Evaluated CIndicatorRun::evaluate(QStringView expression) {
    Evaluated out;
    CCalcRuntime& rt = CCalcInterpreter::Instance().Runtime();
    const QString name = freshVariableName();
    QString& line = m_line;
    line.resize(0);
    line.reserve(name.size() + expression.size() + 7);
    line += QLatin1String("let ");
    line += name;
    line += QLatin1String(" = ");
    line += expression;
    // A line the command buffer cannot hold fails whole; it is never cut.
    if (line.size() > CCalcRuntime::kCommandBufferChars) {
        trace(QStringLiteral("%1 characters: the expression does not fit the command buffer")
                  .arg(line.size()));
        return out;
    }
    // The variable starts out unset, so an expression the language rejects
    // leaves the mark behind. It is put straight into the table: the let
    // line would only parse the constant to do the same.
    rt.SetVariable(name, qor::cmd::Value::number(kUnset));
    m_run(line);
    const int at = rt.FindVariable(name);
    if (at < 0) {
        trace(IndicatorTraceLine{fixed(m_files->texts.noVariable)});
        return out;
    }
    const CalcVariable& v = rt.GetVariable(at);
    if (v.type == 0) {
        out.ok = v.number != kUnset;
        out.numeric = true;
        out.number = v.number;
    } else {
        out.ok = true;
        out.text = v.text;
    }
    rt.FreeVariable(name);
    return out;
}

bool CIndicatorRun::expandSubIndicators(QStringView expression, QString* out, QStringList* chain) {
    // "%zb", a code of one to twenty characters without '%', then '%'.
    auto codeAt = [&](qsizetype i, qsizetype* end) -> QStringView {
        if (i + 3 >= expression.size() || expression[i] != u'%' ||
            (expression[i + 1] != u'z' && expression[i + 1] != u'Z') ||
            (expression[i + 2] != u'b' && expression[i + 2] != u'B'))
            return {};
        qsizetype j = i + 3;
        int characters = 0;
        while (j < expression.size() && expression[j] != u'%' && characters < 21) {
            const bool pair = expression[j].isHighSurrogate() && j + 1 < expression.size() &&
                              expression[j + 1].isLowSurrogate();
            j += pair ? 2 : 1;
            ++characters;
        }
        if (characters < 1 || characters > 20 || j >= expression.size()) return {};
        *end = j + 1;
        return expression.mid(i + 3, j - i - 3);
    };
    out->resize(0);
    qsizetype from = 0;
    for (qsizetype i = expression.indexOf(u'%'); i >= 0 && i < expression.size();
         i = expression.indexOf(u'%', i)) {
        qsizetype end = 0;
        const QStringView code = codeAt(i, &end);
        if (code.isEmpty()) {
            ++i;
            continue;
        }
        *out += expression.mid(from, i - from);
        from = i = end;
        QStringView sub;
        m_files->formulas.readViews(code, {u"Expressions"}, &sub);
        // A sub-indicator that no library defines has no value: counting
        // it as 0 would write a wrong result marked valid.
        if (sub.isEmpty()) {
            trace(LoadErrorText(str::kSubIndicatorMissing).arg(QStringLiteral("%zb") + code.toString() + u'%'));
            return false;
        }
        // A sub-indicator may use others in turn, to any depth the run
        // follows; one that comes back to itself has no value.
        const QString key = code.toString().toCaseFolded();
        const QString reference = QStringLiteral("%zb") + code.toString() + u'%';
        if (chain->contains(key)) {
            trace(LoadErrorText(str::kSubIndicatorCycle).arg(reference, chain->join(QStringLiteral(" → "))));
            return false;
        }
        if (chain->size() > kMaxSubIndicatorDepth) {
            trace(LoadErrorText(str::kSubIndicatorTooDeep)
                      .arg(kMaxSubIndicatorDepth)
                      .arg(chain->join(QStringLiteral(" → "))));
            return false;
        }
        // Within one indicator a sub-indicator has one value: computed again
        // for every use, a library whose indicators each use the next a few
        // times would take exponential time and fill the error log. A use
        // past the depth the run follows fails all the same, whatever came
        // before it.
        if (const auto known = m_subOperands.constFind(key); known != m_subOperands.cend()) {
            *out += *known;
            continue;
        }
        chain->append(key);
        QString withSubs;
        const bool expandedAll = expandSubIndicators(sub, &withSubs, chain);
        chain->removeLast();
        if (!expandedAll) return false;
        QString expanded;
        ExpandIndicatorPlaceholders(withSubs, m_settings, &expanded);
        trace(IndicatorTraceLine{fixed(m_files->texts.subExpression), value(expanded)});
        const Evaluated v = evaluate(expanded);
        // A sub-indicator without a value fails the indicator using it.
        if (!v.ok) return false;
        QString operand = v.text;
        if (v.numeric) {
            // The value enters as one operand: "-3" put bare into "%zbn%^2"
            // or "100-%zbn%" would be read as part of the operators around it.
            operand = QString::number(v.number, 'g', 17);
            if (operand.startsWith(u'-')) operand = u'(' + operand + u')';
        }
        *out += operand;
        m_subOperands.insert(key, operand);
    }
    *out += expression.mid(from);
    return true;
}

void CIndicatorRun::Step() {
    if (Done() || !m_files) return;
    const IndicatorSettings& s = m_settings;
    Files& f = *m_files;
    const RunTexts& texts = f.texts;
    const QString& code = s.codes[m_index];
    const int number = m_index + 1;
    ++m_index;

    QStringView read[3];
    f.indicators.readViews(code, {u"Name", u"MoneyUnit", u"Decimal"}, read);
    const QStringView name = read[0];
    QStringView unit = read[1];
    if (unit.isEmpty()) unit = f.defaultUnit;
    QStringView decimals = read[2];
    if (decimals.isEmpty() || !startsWithDigit(decimals) || leadingNumber(decimals) > 8)
        decimals = f.defaultDecimals;
    QStringView expression;
    f.formulas.readViews(code, {u"Expressions"}, &expression);

    char16_t numberBuf[12];
    const QStringView numberText = decimalText(number, numberBuf);
    {
        IndicatorTraceLine started;
        texts.started.fill(&started, {numberText, code, name});
        trace(started);
    }
    trace(IndicatorTraceLine{fixed(texts.expression), value(expression)});
    auto notFinished = [&] {
        IndicatorTraceLine line;
        texts.notFinished.fill(&line, {numberText});
        trace(line);
    };

    // The section goes out whole once the value is known: Name, MoneyUnit,
    // Decimal, Value and ZBValidFlag.
    auto save = [&](QStringView value, bool valid) {
        std::string& out = f.section;
        GbWriter& gb = f.gb;
        iniHeader(&out, gb, code);
        iniLine(&out, gb, "Name"sv, name);
        iniLine(&out, gb, "MoneyUnit"sv, unit);
        iniLine(&out, gb, "Decimal"sv, decimals);
        iniLine(&out, gb, "Value"sv, value);
        iniLine(&out, gb, "ZBValidFlag"sv, valid ? u"1" : u"0");
        ++m_written;
        if (!valid) {
            m_failed = true;
            if (m_failedCount++ == 0) m_firstFailed = code + u' ' + name.toString();
        }
        saveResult();
    };
    if (expression.isEmpty()) return save({}, false);
    if (expression.size() > kMaxExpressionChars) {
        trace(QStringLiteral("%1: the expression has %2 characters, more than %3")
                  .arg(code)
                  .arg(expression.size())
                  .arg(kMaxExpressionChars));
        return save(u"ERROR", false);
    }
    QStringList chain{code.toCaseFolded()};
    m_subOperands.clear();
    if (!expandSubIndicators(expression, &m_withSubs, &chain)) {
        notFinished();
        return save(u"ERROR", false);
    }
    m_full.resize(0);
    ExpandIndicatorPlaceholders(m_withSubs, s, &m_full);
    trace(IndicatorTraceLine{fixed(texts.expanded), value(m_full)});
    const Evaluated v = evaluate(m_full);
    if (!v.ok) {
        notFinished();
        return save(u"ERROR", false);
    }
    QString valueText = v.text;
    if (v.numeric) {
        const int div = startsWithDigit(unit) && leadingNumber(unit) > 0 ? leadingNumber(unit) : 1;
        const int dec = startsWithDigit(decimals) ? std::clamp(leadingNumber(decimals), 0, 8) : 2;
        valueText = FormatFixedNumber(v.number / div, dec);
    }
    {
        IndicatorTraceLine finished;
        texts.finished.fill(&finished, {numberText});
        trace(finished);
    }
    save(valueText, true);
}

bool CIndicatorRun::Finish() {
    if (!m_files) return false;
    QFile& r = m_files->result;
    // The end mark is the section itself: a bare "=" line would stop
    // ordinary INI readers, so the section is written without keys.
    bool ok = r.write("[End]\r\n") == 7;
    if (m_failed) ok = r.seek(m_files->validFlagAt) && r.write("0", 1) == 1 && ok;
    if (!ok) trace(QStringLiteral("%1: %2").arg(m_settings.resultLib, r.errorString()));
    if (!m_files->commitResult(ok) && ok) {
        ok = false;
        trace(QStringLiteral("%1: %2").arg(m_settings.resultLib, m_files->resultFile.errorString()));
    }
    writeLog(true);
    m_files.reset();
    return ok;
}

}  // namespace qor
