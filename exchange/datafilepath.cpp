#include "exchange/datafilepath.h"

#include <QDir>

namespace {

// The longest path the data-file dialogs and readers accept, their path
// buffers holding 260 characters with the terminator.
constexpr qsizetype kMaxDataPath = 259;

}  // namespace

int ResolveDataFilePath(const QString& name, const QString& defaultExtension, QString* out) {
    if (!out) return 0;
    out->clear();
    if (name.isEmpty()) return 0;
    QString full = QDir::cleanPath(QDir::current().absoluteFilePath(name));
    // Only the name as given is looked at: a dot in a folder of the
    // current directory does not count, one in a folder of the name does.
    if (!name.contains(QLatin1Char('.')) && !defaultExtension.isEmpty())
        full += QLatin1Char('.') + defaultExtension;
    if (full.size() > kMaxDataPath) return 0;
    *out = full;
    return 1;
}
