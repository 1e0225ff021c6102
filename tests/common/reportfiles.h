#pragma once
// Report files made and damaged for the tests of binaries that link the
// engine.

#include <gtest/gtest.h>

#include <QFile>
#include <QList>
#include <QString>

#include "engine/creporthandle.h"
#include "platform/compoundfile.h"

namespace qortest {

// A saved new report at path with the given number of pages.
inline void makeReport(const QString& path, int pages = 1) {
    CReportHandle h(path);
    ASSERT_TRUE(h.IsOpen());
    ASSERT_EQ(h.AppendRowColPage(pages, 2), 0);
    ASSERT_EQ(h.Save(), 0);
}

// Flips one byte of a stream where it lies in the file.
inline void flipStreamByte(const QString& path, const QString& stream, quint64 offset) {
    QList<qor::CompoundFile::Extent> ext;
    {
        auto cf = qor::CompoundFile::open(path, qor::CompoundFile::Mode::ReadOnly);
        ASSERT_TRUE(cf);
        ext = cf->extents(stream, offset, 1);
    }
    ASSERT_EQ(ext.size(), 1);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.seek(qint64(ext[0].fileOffset));
    char c = 0;
    f.getChar(&c);
    f.seek(qint64(ext[0].fileOffset));
    f.putChar(char(c ^ 0x5A));
}

}  // namespace qortest
