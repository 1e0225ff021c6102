// qor data-info: the tables of a data file (dBASE, text, Access, Excel,
// Lotus) and the fields of one of them, read through the same listing
// operations the data-file dialogs fill their lists with.

#include <QFileInfo>
#include <QLoggingCategory>

#include "apps/qor/verbs.h"
#include "exchange/datafilepath.h"
#include "exchange/datafiles.h"
#include "exchange/jetdb.h"

namespace qor::app {

namespace {

QString typeName(int type) {
    switch (type) {
    case qor::jet::kBoolean: return QStringLiteral("Boolean");
    case qor::jet::kByte: return QStringLiteral("Byte");
    case qor::jet::kInteger: return QStringLiteral("Integer");
    case qor::jet::kLong: return QStringLiteral("Long");
    case qor::jet::kCurrency: return QStringLiteral("Currency");
    case qor::jet::kSingle: return QStringLiteral("Single");
    case qor::jet::kDouble: return QStringLiteral("Double");
    case qor::jet::kDate: return QStringLiteral("Date");
    case qor::jet::kText: return QStringLiteral("Text");
    case qor::jet::kMemo: return QStringLiteral("Memo");
    default: return QStringLiteral("type %1").arg(type);
    }
}

}  // namespace

int verbDataInfo(const QStringList& args, Output* out) {
    // The data layer's progress lines repeat what the verb says itself
    // (QT_LOGGING_RULES can still show them).
    QLoggingCategory::setFilterRules(QStringLiteral("qor.trace.debug=false"));
    if (args.isEmpty() || args.size() > 2 || args.first().startsWith(QLatin1String("--"))) {
        out->err += QStringLiteral("qor data-info: give a data file and, for its fields, a table\n");
        return 2;
    }
    QString path;
    if (!ResolveDataFilePath(args.first(), QString(), &path)) {
        out->err += QStringLiteral("qor data-info: \"%1\" is not a usable file name\n").arg(args.first());
        return 1;
    }
    QString error;
    if (args.size() == 1) {
        const int count = GetDataFileTableCount(path, &error);
        if (count == 0) {
            out->err += QStringLiteral("qor data-info: %1: %2\n")
                            .arg(path, error.isEmpty() ? QStringLiteral("no tables") : error);
            return 1;
        }
        for (int i = 0; i < count; ++i) {
            const QString name = GetDataFileTableName(path, i, &error);
            if (name.isNull()) {
                out->err += QStringLiteral("qor data-info: %1: %2\n").arg(path, error);
                return 1;
            }
            out->text += name + u'\n';
        }
        return 0;
    }
    const QString table = args.at(1);
    const int fields = GetDataTableFieldCount(path, table, &error);
    if (fields == 0) {
        out->err += QStringLiteral("qor data-info: %1, table %2: %3\n")
                        .arg(path, table, error.isEmpty() ? QStringLiteral("no fields") : error);
        return 1;
    }
    qint64 records = 0;
    for (int i = 0; i < fields; ++i) {
        qor::jet::FieldInfo info;
        if (!GetDataTableFieldInfo(&info, path, table, i, &error)) {
            out->err += QStringLiteral("qor data-info: %1, table %2: %3\n").arg(path, table, error);
            return 1;
        }
        records = info.recordCount;
        out->text += QStringLiteral("%1\t%2 (%3)\t%4\n").arg(info.name, typeName(info.type)).arg(info.type).arg(info.size);
    }
    out->text += QStringLiteral("records: %1\n").arg(records);
    return 0;
}

}  // namespace qor::app
