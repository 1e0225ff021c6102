#include "exchange/xmlfailure.h"

#include <QFileInfo>

#include "engine/messages.h"

namespace qor {

QString XmlFailureLine(const QString& path, const QString& message, const QString& reason) {
    const QString name = QFileInfo(path).fileName();
    QString why = reason.trimmed();
    why.replace(u'\n', u' ');
    if (why.isEmpty()) return LoadErrorText(str::kNameAndText).arg(name, message);
    if (!name.isEmpty() && !why.contains(name))
        why = LoadErrorText(str::kNameAndText).arg(name, why);
    return message.isEmpty() ? why : LoadErrorText(str::kReasonAndMessage).arg(why, message);
}

QString XmlFailureLine(const QString& path, const QString& composed) {
    const qsizetype lineEnd = composed.indexOf(u'\n');
    if (lineEnd < 0) return XmlFailureLine(path, composed, QString());
    return XmlFailureLine(path, composed.left(lineEnd), composed.mid(lineEnd + 1));
}

}  // namespace qor
