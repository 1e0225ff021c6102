// The audit-office files: a statement list ("shenjishu.xml") and a mapping
// file, read as the mapping dialog reads them. The input is the list, the
// part separator, then the mapping of the list's first statement.

#include <QDir>
#include <QString>
#include <cstdint>

#include "engine/paths.h"
#include "fininterface/auditstatements.h"
#include "fuzz/fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    // The scratch folder first: it points the data directory, and so the
    // configuration folder cleared below, away from the user's own.
    qorfuzz::scratchDir();
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype cut = input.indexOf(qorfuzz::kPartSeparator);
    const QByteArray list = cut < 0 ? input : input.left(cut);
    const QByteArray mapping =
        cut < 0 ? QByteArray() : input.mid(cut + qsizetype(sizeof(qorfuzz::kPartSeparator)) - 1);
    QDir config(GetConfigDir());
    for (const QString& f : config.entryList(QDir::Files)) config.remove(f);
    qorfuzz::writeFile(CAuditStatementList::DefinitionPath(), list.constData(),
                       size_t(list.size()));
    const CAuditStatementList statements;
    if (statements.GetCount() == 0) return 0;
    const QString first = statements.GetListName(0);
    const QString path = CAuditStatementList::MappingPath(statements.GetFileName(0));
    if (!path.startsWith(config.absolutePath())) __builtin_trap();
    qorfuzz::writeFile(path, mapping.constData(), size_t(mapping.size()));
    CAuditIfaceDef def;
    def.LoadMapping(first);
    for (int g = 0; g < def.GetGroupCount(); ++g) def.GetCell(g, QStringLiteral("报表编号"));
    return 0;
}
