#pragma once
// The checked-in sources as the id tests read them: which files, and their
// text.

#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QString>
#include <QStringList>

inline QString readSourceText(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return QString::fromUtf8(f.readAll());
}

// The product and test sources (*.h, *.cpp) relative to the source folder,
// without build folders.
inline QStringList sourceFiles() {
    QStringList files;
    const QString root = QStringLiteral(QOR_TEST_SOURCE_DIR);
    QDirIterator it(root, {QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = path.mid(root.size() + 1);
        if (rel.startsWith(u"build") || rel.startsWith(u'.')) continue;
        files << rel;
    }
    return files;
}
