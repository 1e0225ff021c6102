#include "exchange/xmlfailure.h"

#include <QFileInfo>

#include "engine/messages.h"

namespace qor {

namespace {
constexpr int kMsgReasonAndMessage = 64996;  // "%1（%2）"
constexpr int kMsgFileAndReason = 64995;     // "%1：%2"
}  // namespace

QString XmlFailureLine(const QString& path, const QString& message, const QString& reason) {
    const QString name = QFileInfo(path).fileName();
    QString why = reason.trimmed();
    why.replace(u'\n', u' ');
    if (why.isEmpty()) return LoadErrorText(kMsgFileAndReason).arg(name, message);
    if (!name.isEmpty() && !why.contains(name)) why = LoadErrorText(kMsgFileAndReason).arg(name, why);
    return message.isEmpty() ? why : LoadErrorText(kMsgReasonAndMessage).arg(why, message);
}

QString XmlFailureLine(const QString& path, const QString& composed) {
    const qsizetype lineEnd = composed.indexOf(u'\n');
    if (lineEnd < 0) return XmlFailureLine(path, composed, QString());
    return XmlFailureLine(path, composed.left(lineEnd), composed.mid(lineEnd + 1));
}

}  // namespace qor
