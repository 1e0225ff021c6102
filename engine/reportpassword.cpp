#include "engine/reportpassword.h"

#include "engine/reportlayout.h"
#include "platform/compoundfile.h"
#include "platform/uiservices.h"

QString qor::ReadReportFilePassword(const QString& path) {
    std::unique_ptr<CompoundFile> cf = CompoundFile::open(path, CompoundFile::Mode::ReadOnly);
    const QString others = QString::fromLatin1(kOthersStreamName);
    if (!cf || cf->streamSize(others) < 0) return {};
    // Only the head of the stream holds the password.
    const QByteArray head = cf->read(others, 0, kOthersHeadSize + kFilePasswordFieldSize);
    QString password;
    if (!decodeOthersFilePassword(head, &password)) return {};
    return password;
}

int CheckReportPassword(const QString& path) {
    const QString stored = qor::ReadReportFilePassword(path);
    if (stored.isEmpty()) return 1;
    for (;;) {
        const std::optional<QString> typed = qor::askFilePassword(path);
        if (!typed) return 0;
        if (typed->compare(stored, Qt::CaseInsensitive) == 0) return 1;
    }
}
