#include "exchange/dbreaders.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <atomic>
#include <cstring>

#include "cmdlang/ccalcinterpreter.h"
#include "engine/messages.h"
#include "engine/paths.h"
#include "engine/recalccache.h"
#include "exchange/datafilepath.h"
#include "exchange/datafiles.h"
#include "exchange/jetdb.h"
#include "exchange/jetdriver.h"
#include "exchange/jetfilter.h"
#include "exchange/readerhooks.h"
#include "exchange/recordquery.h"
#include "reader/cadoconnection.h"
#include "reader/cadoexception.h"
#include "reader/cadorecordset.h"
#include "reader/cappenvironment.h"
#include "reader/cqordb.h"
#include "reader/creaderapp.h"
#include "reader/sqldialect.h"

using namespace qor::jet;

namespace {

void setError(QString* error, const QString& text) {
    if (error) *error = text;
}

// What a data file looked like when it was read: a changed file (or, for
// a text file, a changed Schema.ini beside it) is read again.
struct FileStamp {
    QDateTime modified;
    qint64 size = -1;
    QDateTime layoutModified;
    bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const QString& path, DataFileKind kind) {
    FileStamp s;
    QFileInfo fi(path);
    // The folder kinds find their file without regard to case.
    if (kind == DataFileKind::Text || kind == DataFileKind::DBase)
        fi = QFileInfo(QDir(fi.absolutePath()).filePath(findInFolder(fi.absolutePath(), fi.fileName())));
    s.modified = fi.lastModified();
    s.size = fi.exists() ? fi.size() : -1;
    if (kind == DataFileKind::Text)
        s.layoutModified = QFileInfo(QDir(fi.absolutePath()).filePath(QStringLiteral("Schema.ini"))).lastModified();
    return s;
}

// The databases of the data files read last, kept while their files stay
// as they were: a sheet of INDB cells reads its file once, not once a
// cell. A few files only, the least recently read going first.
struct OpenedFile {
    QString path;
    DataFileKind kind;
    FileStamp stamp;
    std::shared_ptr<Database> db;
};
constexpr int kOpenedFilesKept = 4;

QList<OpenedFile>& openedFiles() {
    // Emptied when the application ends, while its database connections
    // still can be closed; the list itself is never destroyed.
    static QList<OpenedFile>* files = [] {
        qAddPostRoutine([] { openedFiles().clear(); });
        return new QList<OpenedFile>;
    }();
    return *files;
}

std::shared_ptr<Database> openedDataFile(const QString& path, DataFileKind kind) {
    QList<OpenedFile>& files = openedFiles();
    const FileStamp stamp = stampOf(path, kind);
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (files.at(i).path != path || files.at(i).kind != kind) continue;
        if (files.at(i).stamp == stamp) {
            files.move(i, 0);
            return files.first().db;
        }
        files.removeAt(i);
        break;
    }
    const bool folderKind = kind == DataFileKind::Text || kind == DataFileKind::DBase;
    QString name = path;
    if (folderKind) {
        name = FileNameFromPath(path);
        if (name.isEmpty()) name = QStringLiteral(".");
    }
    std::shared_ptr<Database> db = Database::open(name, connectStringOf(kind), false, true);
    // A file that is not there is not kept: it may come.
    if (stamp.size < 0) return db;
    files.prepend(OpenedFile{path, kind, stamp, db});
    while (files.size() > kOpenedFilesKept) files.removeLast();
    return db;
}

// What reading a file's table named about the field read or a field the
// condition compares (a date its format does not read, a number that is
// no number): an answer from such a field could be wrong without a word,
// so it fails with the note. Empty when the notes concern other fields.
QString noteOnFieldsUsed(Database& db, const QString& table, const QString& field, const QString& condition) {
    const QStringList notes = db.readNotes(table);
    if (notes.isEmpty()) return {};
    for (const FieldInfo& f : db.fields(table)) {
        const bool used = f.name.compare(field, Qt::CaseInsensitive) == 0 ||
                          condition.contains(QRegularExpression(
                              QStringLiteral("(^|[^\\w])%1($|[^\\w])").arg(QRegularExpression::escape(f.name)),
                              QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption));
        if (!used) continue;
        const QString quoted = QStringLiteral("“%1”").arg(f.name);
        for (const QString& note : notes)
            if (note.contains(quoted)) return note;
    }
    return {};
}

// One field of one record of a data file. Text and dBASE files are tables
// of their folder's database; the other kinds name their table, which must
// be a user table.
int readFileField(QVariant* value, const QString& path, DataFileKind kind, const QString& tableArg,
                  const QString& field, const QString& condition, int record, QString* error) {
    if (error) error->clear();
    if (!value || path.isEmpty() || field.isEmpty()) return 0;
    const bool folderKind = kind == DataFileKind::Text || kind == DataFileKind::DBase;
    if (!folderKind && tableArg.isEmpty()) return 0;
    const bool keepOnFailure = !folderKind;
    try {
        // In a recalculation, cells reading the same field of the same
        // table with the same condition share one snapshot of it.
        const bool shared = qor::RecalcCache::Active();
        QString sharedKey;
        std::shared_ptr<Recordset> snapshot;
        if (shared) {
            const QChar sep(0x1F);
            sharedKey.reserve(12 + path.size() + tableArg.size() + field.size() + condition.size());
            sharedKey.append(QLatin1String("indb")).append(QChar(u'0' + int(kind))).append(sep);
            sharedKey.append(path).append(sep).append(tableArg).append(sep).append(field).append(sep);
            sharedKey.append(condition);
            snapshot = qor::RecalcCache::Find<Recordset>(sharedKey);
        }
        if (!snapshot) {
            std::shared_ptr<Database> db = openedDataFile(path, kind);
            QString table = tableArg;
            if (folderKind) {
                table = JetTableNameFromPath(path);
            } else if (!isUserTable(db->tableDef(table).attributes)) {
                *value = QVariant();
                return 0;
            }
            snapshot = std::make_shared<Recordset>(db->openSnapshot(table, {field}, condition));
            if (const QString note = noteOnFieldsUsed(*db, table, field, condition); !note.isEmpty())
                throw JetError(note);
            if (shared) qor::RecalcCache::Store(sharedKey, snapshot);
        }
        Recordset& rs = *snapshot;
        if (record < 1) record = 1;
        rs.moveFirst();
        rs.move(record - 1);
        if (rs.isEOF()) {
            // Past the last record (after the condition): no value.
            if (!keepOnFailure) *value = QVariant();
            return 0;
        }
        *value = rs.value(0);
        return value->isValid() ? 1 : 0;
    } catch (const JetError& e) {
        if (!keepOnFailure) *value = QVariant();
        setError(error, QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), e.message()));
        return 0;
    }
}

// The inside of "[...]"; the text itself when it is not bracketed.
bool bracketed(const QString& text, QString* inner) {
    if (!text.startsWith(u'[')) return false;
    *inner = text.mid(1, text.size() - 2 >= 0 ? text.size() - 2 : 0);
    return true;
}

// True when the connection no longer reaches its database: a trivial
// query fails too.
bool connectionLost(CAdoConnection* connection) {
    if (!connection->IsOpen()) return true;
    QSqlQuery q(connection->Database());
    return !q.exec(QStringLiteral("select 1"));
}

// Lazily made dictionary: a query without bracketed names never needs it.
class Dictionary {
public:
    QString tableByDefinition(const QString& definition) {
        CQorDB& d = db();
        d.QueryTableByDefinition(definition);
        d.Open();
        const QString name = d.IsEOF() ? QString() : d.m_strTableName;
        d.Close();
        return name;
    }
    QString fieldByDefinition(const QString& table, const QString& definition) {
        CQorDB& d = db();
        d.QueryFieldByDefinition(table, definition);
        d.Open();
        const QString name = d.IsEOF() ? QString() : d.m_strFieldName;
        d.Close();
        return name;
    }

private:
    CQorDB& db() {
        if (!m_db) m_db = std::make_unique<CQorDB>();
        return *m_db;
    }
    std::unique_ptr<CQorDB> m_db;
};

}  // namespace

int ReadDbfFieldValue(QVariant* value, const QString& path, const QString& field,
                      const QString& condition, int record, QString* error) {
    return readFileField(value, path, DataFileKind::DBase, QString(), field, condition, record, error);
}

int ReadTextFieldValue(QVariant* value, const QString& path, const QString& field,
                       const QString& condition, int record, QString* error) {
    return readFileField(value, path, DataFileKind::Text, QString(), field, condition, record, error);
}

int ReadMdbFieldValue(QVariant* value, const QString& path, const QString& table,
                      const QString& field, const QString& condition, int record, QString* error) {
    return readFileField(value, path, DataFileKind::Access, table, field, condition, record, error);
}

int ReadXlsFieldValue(QVariant* value, const QString& path, const QString& table,
                      const QString& field, const QString& condition, int record, QString* error) {
    return readFileField(value, path, DataFileKind::Excel, table, field, condition, record, error);
}

int ReadWk4FieldValue(QVariant* value, const QString& path, const QString& table,
                      const QString& field, const QString& condition, int record, QString* error) {
    return readFileField(value, path, DataFileKind::Lotus, table, field, condition, record, error);
}

namespace {

// The first records of a host query, as far as they were fetched: cells of
// one recalculation that run the same query share it.
struct HostAnswer {
    QVariantList values;  // the field's value of each record fetched
    qint64 asked = 0;     // how many records were asked for
    bool complete = false;  // fewer came than were asked: the last is known
    QString error;
};

// Runs the host query of an account set (key "001_2003") for at most limit
// records into *out.
void fetchHostRecords(const QString& key, const QString& table, const QString& field,
                      const QString& authorCondition, const QList<qor::cmd::TextPiece>& pieces,
                      qint64 limit, HostAnswer* out) {
    out->asked = limit;
    CReaderApp* app = CReaderApp::Current();
    if (!app) app = &CAppEnvironment::Instance().App();
    QString* error = &out->error;
    try {
        CAdoConnection* connection = app->GetAccountConnection(key, CQorDB::LoginDbName());
        // The account sets are known once the user has logged in: the
        // first read that misses one logs in, once for the process (only
        // for the application the environment serves).
        static std::atomic_bool loginTried = false;
        CAppEnvironment* env = CAppEnvironment::Current();
        if (!connection && env && &env->App() == app && !env->IsLoggedIn() &&
            !loginTried.exchange(true)) {
            env->EnsureLoggedIn();
            connection = app->GetAccountConnection(key, CQorDB::LoginDbName());
        }
        if (!connection) {
            setError(error, LoadErrorText(qor::str::kNoAccountSet).arg(key));
            return;
        }
        // Names are quoted the way the host's server quotes them.
        const QSqlDriver* driver = connection->Database().driver();
        Dictionary dict;
        // The table: a definition text in brackets, the application's list
        // first, then the dictionary.
        QString tableName = table;
        QString inner;
        bool tableFromList = false;
        const bool tableBracketed = bracketed(table, &inner);
        if (tableBracketed) {
            tableName = app->m_tableDefs.FindName(inner);
            tableFromList = !tableName.isNull();
            if (!tableFromList) tableName = dict.tableByDefinition(inner);
            if (tableName.isEmpty()) tableName = inner;
        }
        QString fieldName = field;
        if (bracketed(field, &inner)) {
            fieldName.clear();
            if (!(tableBracketed && !tableFromList)) fieldName = app->m_fieldDefs.FindName(inner);
            if (fieldName.isEmpty() && !tableFromList) fieldName = dict.fieldByDefinition(tableName, inner);
            if (fieldName.isEmpty()) fieldName = inner;
        }
        // The condition's bracketed definition texts become field names; a
        // bracketed part naming the table goes. Each is resolved once, left
        // to right, so a replacement is never read again.
        qor::BoundStatement bound;
        if (!qor::BindHostText(authorCondition, pieces, connection->Dialect(),
                               qor::HostText::Condition, &bound, error))
            return;
        const QString& condition = bound.sql;
        QString where;
        qsizetype at = 0;
        while (at < condition.size()) {
            // A "[" inside a quoted text is part of the text.
            const qsizetype open = NextDefinitionBracket(condition, at, connection->Dialect().kind);
            if (open < 0) {
                where += condition.mid(at);
                break;
            }
            where += condition.mid(at, open - at);
            const qsizetype close = condition.indexOf(u']', open + 1);
            if (close < 0) {
                setError(error,
                         LoadErrorText(qor::str::kConditionSyntax)
                             .arg(condition, QString::number(open + 1),
                                  LoadErrorText(qor::str::kConditionMissing).arg(QChar(u']'))));
                return;
            }
            const QString part = condition.mid(open, close - open + 1);
            if (table.isEmpty() || !part.contains(table)) {
                const QString def = part.mid(1, part.size() - 2);
                QString found = dict.fieldByDefinition(tableName, def);
                if (found.isEmpty()) found = def;
                where += qor::QuoteIdentifier(driver, found, false);
            }
            at = close + 1;
        }
        QString sql = QStringLiteral("select ") + qor::QuoteIdentifier(driver, fieldName, false) +
                      QStringLiteral(" from ") + qor::QuoteIdentifier(driver, tableName, true);
        if (!where.trimmed().isEmpty()) sql += QStringLiteral(" where ") + where;
        // One statement only: a second one (or a comment cutting off the
        // limit) could end the read-only transaction it runs in.
        if (!qor::IsSingleStatement(sql)) {
            // Where the second statement or the comment begins.
            qsizetype at = authorCondition.size(), length = 0;
            for (const char* mark : {";", "--", "/*"}) {
                const qsizetype i = authorCondition.indexOf(QLatin1String(mark));
                if (i >= 0 && i < at) {
                    at = i;
                    length = qsizetype(std::strlen(mark));
                }
            }
            setError(error, LoadErrorText(qor::str::kCheckSqlStatement) + u'：' +
                                LoadErrorText(qor::str::kConditionSyntax)
                                    .arg(authorCondition, QString::number(at + 1),
                                         LoadErrorText(qor::str::kConditionCannotUse)
                                             .arg(authorCondition.mid(at, length))));
            return;
        }
        // Only the records up to the one wanted travel. The count is a
        // number worked out here, never text of the formula, so it is
        // written as digits: bound, it made the server prepare and drop a
        // statement for each query, which took longer than the records.
        const QString limited = connection->Dialect().LimitRecords(sql, limit);
        for (int attempt = 0;; ++attempt) {
            // An account set's connection serves these reads only: it
            // refuses writes for good. On PostgreSQL a statement can switch
            // the session's default back, so each query also runs in its
            // own read-only transaction.
            try {
                connection->SetReadOnly(true);
                connection->ReadOnlyTransaction([&] {
                    out->values = CAdoRecordset::ReadColumn(connection, limited, bound.values, limit);
                });
                out->complete = out->values.size() < limit;
                return;
            } catch (const CAdoException& e) {
                // A server that dropped the kept connection (restarted, or
                // an idle session ended) gets one new connection; any other
                // failure is the query's own.
                if (attempt == 0 && connectionLost(connection)) {
                    const QString text = connection->GetConnectionText();
                    connection->Close();
                    connection->Open(text);
                    continue;
                }
                // The server's own words say why; the condition says where.
                setError(error, LoadErrorText(qor::str::kConditionRefused)
                                    .arg(authorCondition, e.GetErrorMessage()));
                return;
            }
        }
    } catch (const CAdoException& e) {
        setError(error, e.GetErrorMessage());
    }
}

}  // namespace

int ReadDatabaseFieldValue(QVariant* value, const QString& name, const QString& table,
                           const QString& field, const QString& condition, int record,
                           QString* error, const QList<qor::cmd::TextPiece>& pieces) {
    if (error) error->clear();
    if (!value) return 0;
    // The key is the set's three characters and the year that begins eight
    // characters before the end: 001xxx20030101 gives 001_2003.
    if (name.size() < 8) {
        setError(error, LoadErrorText(qor::str::kNoAccountSet).arg(name));
        return 0;
    }
    // Cells share a query by the condition and where its parts came from:
    // the same text joined from other parts is another query.
    QString sharedCondition = condition;
    if (!pieces.isEmpty()) {
        sharedCondition.clear();
        for (const qor::cmd::TextPiece& p : pieces)
            sharedCondition += QChar(p.written ? 0x1E : 0x1D) + p.text;
    }
    // Made only when needed: a cell repeating the previous cell's query
    // does not need it.
    const auto keyOf = [&name] { return name.left(3) + u'_' + name.mid(name.size() - 8, 4); };
    if (record < 1) record = 1;
    // In a recalculation, cells running the same query on the same account
    // set share its records: a column of cells reading records 1, 2, 3 ...
    // of one query runs it a few times, not once a cell.
    const bool shared = qor::RecalcCache::Active();
    QString sharedKey;
    std::shared_ptr<HostAnswer> answer;
    // The query the previous cell ran, while its answer is kept: a column
    // of cells asks the same query again and again, and is spared building
    // and looking up the key each time. The answer going (the
    // recalculation ended) ends the shortcut.
    struct LastQuery {
        QString name, table, field, condition;
        std::weak_ptr<HostAnswer> answer;
    };
    thread_local LastQuery last;
    const auto sameAsLast = [&] {
        return last.name == name && last.table == table && last.field == field &&
               last.condition == sharedCondition;
    };
    if (shared) {
        answer = last.answer.lock();
        if (answer && !sameAsLast()) answer.reset();
    }
    const auto sharedKeyOf = [&] {
        // Built in one piece: every query of a recalculation makes one.
        const QChar sep(0x1F);
        const QString key = keyOf();
        QString k;
        k.reserve(8 + key.size() + table.size() + field.size() + sharedCondition.size() + 4);
        k.append(QLatin1String("indbsql")).append(sep).append(key).append(sep).append(table);
        k.append(sep).append(field).append(sep).append(sharedCondition);
        return k;
    };
    if (shared && !answer) {
        sharedKey = sharedKeyOf();
        answer = qor::RecalcCache::Find<HostAnswer>(sharedKey);
    }
    if (!answer || (answer->error.isEmpty() && !answer->complete && answer->values.size() < record)) {
        // A further record of a shared query fetches well ahead: the cells
        // after it are likely to want the records after it. Each query
        // starts from the first record again, so the steps are steep: a
        // column of ten thousand cells runs three queries (1, 256 and
        // 16,384 records), not four or more.
        qint64 limit = record;
        if (answer) limit = std::max<qint64>(record, std::min<qint64>(std::max<qint64>(answer->asked * 64, 256), 1 << 30));
        auto fresh = std::make_shared<HostAnswer>();
        fetchHostRecords(keyOf(), table, field, condition, pieces, limit, fresh.get());
        answer = fresh;
        if (shared) {
            if (sharedKey.isEmpty()) sharedKey = sharedKeyOf();
            qor::RecalcCache::Store(sharedKey, answer);
        }
    }
    if (shared && last.answer.lock() != answer) {
        last.answer = answer;
        last.name = name;
        last.table = table;
        last.field = field;
        last.condition = sharedCondition;
    }
    if (!answer->error.isEmpty()) {
        setError(error, answer->error);
        return 0;
    }
    if (answer->values.isEmpty()) {
        // The query ran and found nothing: a null, which INDB shows as 0.
        *value = QVariant();
        return 1;
    }
    // Past the last record the last one is the answer.
    *value = answer->values.at(std::min<qsizetype>(record, answer->values.size()) - 1);
    return 1;
}

namespace qor {

namespace {

// Why a data piece cannot be bound where it stands.
enum class Misplaced : uint8_t { Nowhere, AsName, InQuote };

// BindHostText without its checks. The author's text is read as the
// dialect's servers read it (SqlQuoteReader): data is bound only where the
// server reads code or a plain '...' literal of the author's; where it
// lands inside a name, an escaping or dollar-quoted literal, or after
// text the server's versions read differently, the piece is returned in
// *data (and in *quote what opened the quote) and nothing is bound.
Misplaced BindTextPieces(const QList<qor::cmd::TextPiece>& given, const SqlDialect& dialect,
                         HostText kind, BoundStatement* out, QString* data, QString* quote) {
    const bool doubleQuotesAreTexts = kind == HostText::Condition;
    out->sql.clear();
    out->values.clear();
    QString& sql = out->sql;
    // Pieces of one kind side by side are one piece: a quote's opening may
    // not be cut in two.
    QList<qor::cmd::TextPiece> pieces;
    for (const qor::cmd::TextPiece& p : given) {
        if (p.text.isEmpty()) continue;
        if (!pieces.isEmpty() && pieces.last().written == p.written) pieces.last().text += p.text;
        else pieces.append(p);
    }
    SqlQuoteReader reader(SqlReading::ForDialect(dialect.kind));
    using In = SqlQuoteReader::In;
    // The author's plain literal being read, with the data inside it, kept
    // until it ends so that a literal holding data becomes an expression.
    struct LiteralPart {
        QString text;
        bool data = false;
    };
    QList<LiteralPart> literal;
    bool inLiteral = false;
    // Data as the dialect's exact literal (a condition), or bound.
    const auto dataOperand = [&](const QString& text) {
        QString literal = kind == HostText::Condition ? dialect.TextLiteral(text) : QString();
        if (!literal.isNull()) return literal;
        out->values.append(text);
        return QStringLiteral("?");
    };
    const auto authorText = [&]() -> QString& {
        if (literal.isEmpty() || literal.last().data) literal.append(LiteralPart{});
        return literal.last().text;
    };
    // The literal as written, or the author's parts and the data joined
    // by the dialect: the data bound, each part a literal of its own.
    const auto endLiteral = [&](bool closed) {
        bool anyData = false;
        for (const LiteralPart& p : std::as_const(literal)) anyData = anyData || p.data;
        if (!anyData) {
            sql += u'\'';
            for (const LiteralPart& p : std::as_const(literal)) sql += p.text;
            if (closed) sql += u'\'';
        } else {
            QString expression;
            for (const LiteralPart& p : std::as_const(literal)) {
                if (!p.data && p.text.isEmpty()) continue;
                const QString operand = p.data ? dataOperand(p.text) : u'\'' + p.text + u'\'';
                expression =
                    expression.isEmpty() ? operand : dialect.Concatenate(expression, operand);
            }
            sql += expression;
            // Never closed: left open for the server to refuse.
            if (!closed) sql += QStringLiteral(" '");
        }
        literal.clear();
        inLiteral = false;
    };
    static const QString kSingleQuote = QStringLiteral("'");
    for (const qor::cmd::TextPiece& piece : std::as_const(pieces)) {
        if (!piece.written) {
            reader.Break();
            if (inLiteral && reader.Inside() != In::Literal) endLiteral(true);
            const auto misplaced = [&](Misplaced why, const QString& opener) {
                *data = piece.text;
                *quote = opener;
                return why;
            };
            // What comes after a text the server's versions read in two
            // ways has no certain place.
            if (reader.Ambiguous()) return misplaced(Misplaced::InQuote, reader.Opener());
            switch (reader.Inside()) {
            case In::Code:
                sql += dataOperand(piece.text);
                break;
            case In::Literal:
                literal.append(LiteralPart{piece.text, true});
                break;
            case In::EscapeLiteral:
            case In::DollarBody:
                return misplaced(Misplaced::InQuote, reader.Opener());
            case In::Name:
            case In::BackName:
            case In::BracketName:
                // A value cannot be a name.
                return misplaced(Misplaced::AsName, reader.Opener());
            }
            continue;
        }
        const QString& text = piece.text;
        for (qsizetype i = 0; i < text.size();) {
            // In a condition the author's " quotes a text as ' does (but
            // not inside a name or a dollar-quoted body, which are read
            // as they stand).
            const In before = reader.Inside();
            const bool pending = reader.ClosePending();
            const bool asSingle = doubleQuotesAreTexts && text.at(i) == u'"' &&
                                  (before == In::Code || before == In::Literal ||
                                   before == In::EscapeLiteral);
            const qsizetype taken = asSingle ? reader.Read(kSingleQuote, 0) : reader.Read(text, i);
            const QStringView read =
                asSingle ? QStringView(kSingleQuote) : QStringView(text).mid(i, taken);
            i += taken;
            if (inLiteral) {
                if (reader.Inside() == In::Literal) {
                    // The closing quote waits: a second one doubles it.
                    if (pending) authorText() += QStringLiteral("''");
                    else if (!reader.ClosePending()) authorText() += read;
                    continue;
                }
                endLiteral(true);
            }
            if (reader.Inside() == In::Literal && before != In::Literal) {
                inLiteral = true;
                continue;
            }
            sql += read;
        }
    }
    reader.Break();
    if (inLiteral) endLiteral(reader.Inside() != In::Literal);
    return Misplaced::Nowhere;
}

}  // namespace

namespace {

// Text that is not blank, none of it the author's: a cell's text is never
// a condition or a statement itself.
bool onlyData(const QList<qor::cmd::TextPiece>& pieces) {
    bool blank = true;
    for (const qor::cmd::TextPiece& p : pieces) {
        if (p.text.trimmed().isEmpty()) continue;
        if (p.written) return false;
        blank = false;
    }
    return !blank;
}

// Digits with at most one point inside and a leading minus: read as a
// number and nothing else.
bool isPlainNumber(const QString& text) {
    static const QRegularExpression number(QStringLiteral("^-?[0-9]+(\\.[0-9]+)?$"));
    return number.match(text).hasMatch();
}

// A data file's condition with each data part quoted the way the
// condition translator reads texts (exchange/jetfilter.h), so that it can
// only be a text: between the author's quotes its quote doubled, outside
// them a number as it is and any other text in quotes of its own, inside
// a #date# as it is when it cannot end
// the date. False with the part in *data where it would stand as a name.
bool quoteDataForFilter(const QList<qor::cmd::TextPiece>& pieces, QString* out, QString* data) {
    QChar in;  // the quote, '#' or '[' the author's text is inside
    for (const qor::cmd::TextPiece& piece : pieces) {
        if (piece.written) {
            for (const QChar c : piece.text) {
                *out += c;
                if (in.isNull()) {
                    if (c == u'\'' || c == u'"' || c == u'#' || c == u'[') in = c;
                } else if (c == (in == u'[' ? QChar(u']') : in)) {
                    in = QChar();
                }
            }
        } else if (in.isNull() && isPlainNumber(piece.text)) {
            *out += piece.text;
        } else if (in == u'\'' || in == u'"' || in.isNull()) {
            const QChar quote = in.isNull() ? QChar(u'"') : in;
            if (in.isNull()) *out += quote;
            for (const QChar c : piece.text) {
                *out += c;
                if (c == quote) *out += c;
            }
            if (in.isNull()) *out += quote;
        } else if (in == u'#' && !piece.text.contains(u'#')) {
            *out += piece.text;
        } else {
            *data = piece.text;
            return false;
        }
    }
    return true;
}

}  // namespace

bool BindHostText(const QString& text, const QList<qor::cmd::TextPiece>& pieces,
                  const SqlDialect& dialect, HostText kind, BoundStatement* out,
                  QString* error) {
    const QList<qor::cmd::TextPiece> all =
        pieces.isEmpty() ? QList<qor::cmd::TextPiece>{{text, true}} : pieces;
    if (onlyData(all)) {
        setError(error, LoadErrorText(str::kNothingWritten).arg(text));
        return false;
    }
    QString data, quote;
    switch (BindTextPieces(all, dialect, kind, out, &data, &quote)) {
    case Misplaced::Nowhere:
        return true;
    case Misplaced::AsName:
        setError(error, LoadErrorText(str::kDataAsName).arg(text, data));
        return false;
    case Misplaced::InQuote:
        setError(error, LoadErrorText(str::kDataInQuote).arg(text, data, quote));
        return false;
    }
    return false;
}

HostReadOnlyScope::HostReadOnlyScope(CAdoConnection* connection)
    : m_connection(connection), m_wasReadOnly(connection && connection->IsReadOnly()) {
    if (m_connection && !m_wasReadOnly) m_connection->SetReadOnly(true);
}

HostReadOnlyScope::~HostReadOnlyScope() {
    if (m_connection && !m_wasReadOnly) m_connection->SetReadOnly(false);
}

qor::cmd::Value VariantToFormulaValue(const QVariant& v) {
    using qor::cmd::Value;
    if (!v.isValid() || v.isNull()) return Value::empty();
    switch (v.typeId()) {
    case QMetaType::QString:
    case QMetaType::QByteArray:
        return Value::text(v.toString());
    case QMetaType::Bool:
        return Value::number(v.toBool() ? 1 : 0);
    case QMetaType::QDate:
    case QMetaType::QDateTime: {
        // Serial day numbers, day 0 being 30 December 1899.
        const QDateTime dt = v.toDateTime();
        const qint64 days = QDate(1899, 12, 30).daysTo(dt.date());
        return Value::number(double(days) + dt.time().msecsSinceStartOfDay() / 86400000.0);
    }
    default:
        break;
    }
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? Value::number(d) : Value::text(v.toString());
}

qor::cmd::Value ReadDatabaseForFormula(const qor::cmd::DatabaseRequest& r) {
    using qor::cmd::Value;
    QVariant value;
    QString error;
    int found = 0;
    const QString function = r.hostDatabase ? QStringLiteral("INDBSQL") : QStringLiteral("INDB");
    QString ext;
    if (!r.hostDatabase) {
        const qsizetype dot = r.file.lastIndexOf(u'.');
        if (dot >= 0) ext = r.file.mid(dot + 1).toUpper();
    }
    // ".csv" is comma-separated text like ".txt".
    if (ext == QLatin1String("CSV")) ext = QStringLiteral("TXT");
    const bool dataFile = ext == QLatin1String("DBF") || ext == QLatin1String("TXT") ||
                          ext == QLatin1String("WK4") || ext == QLatin1String("XLS") ||
                          ext == QLatin1String("MDB");
    if (dataFile) {
        QString condition = r.condition;
        if (!r.conditionPieces.isEmpty()) {
            QString data;
            condition.clear();
            if (onlyData(r.conditionPieces))
                return Value::error(QStringLiteral("%1: %2").arg(
                    function, LoadErrorText(str::kNothingWritten).arg(r.condition)));
            if (!quoteDataForFilter(r.conditionPieces, &condition, &data))
                return Value::error(QStringLiteral("%1: %2").arg(
                    function, LoadErrorText(str::kDataAsName).arg(r.condition, data)));
        }
        QString path;
        if (!ResolveDataFilePath(r.file, QStringLiteral("MDB"), &path))
            return Value::error(QStringLiteral("%1: \"%2\" is not a usable file name").arg(function, r.file));
        if (ext == QLatin1String("DBF"))
            found = ReadDbfFieldValue(&value, path, r.field, condition, r.record, &error);
        else if (ext == QLatin1String("TXT"))
            found = ReadTextFieldValue(&value, path, r.field, condition, r.record, &error);
        else if (ext == QLatin1String("WK4"))
            found = ReadWk4FieldValue(&value, path, r.table, r.field, condition, r.record, &error);
        else if (ext == QLatin1String("XLS"))
            found = ReadXlsFieldValue(&value, path, r.table, r.field, condition, r.record, &error);
        else
            found = ReadMdbFieldValue(&value, path, r.table, r.field, condition, r.record, &error);
    } else {
        // The host database's tables and fields are the author's choice:
        // a name from a cell could read any table the login may read.
        if (!r.tableWritten)
            return Value::error(
                QStringLiteral("%1: %2").arg(function, LoadErrorText(str::kNameFromData).arg(r.table)));
        if (!r.fieldWritten)
            return Value::error(
                QStringLiteral("%1: %2").arg(function, LoadErrorText(str::kNameFromData).arg(r.field)));
        found = ReadDatabaseFieldValue(&value, r.file, r.table, r.field, r.condition, r.record, &error,
                                       r.conditionPieces);
    }
    if (!error.isEmpty()) return Value::error(QStringLiteral("%1: %2").arg(function, error));
    if (!found) return Value::text(QString());  // no value: shown empty
    return VariantToFormulaValue(value);
}

void InstallDatabaseFunctionHooks() {
    CCalcInterpreter& ci = CCalcInterpreter::Instance();
    qor::cmd::CalcSubsystemHooks hooks = ci.SubsystemHooks();
    hooks.readDatabase = ReadDatabaseForFormula;
    hooks.getRecord = GetRecordForFormula;
    ci.SetSubsystemHooks(hooks);
}

}  // namespace qor
