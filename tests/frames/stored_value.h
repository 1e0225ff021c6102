#pragma once
// What the command-line program reads back from a saved report, for the
// window tests that prove a save by a reader other than the window's own.

#include <gtest/gtest.h>

#include <QString>

#include "tests/common/testsupport.h"

namespace frametest {

// What `qor get` prints for a cell of the saved report: page, row, column
// from 1.
inline QString StoredValue(const QString& rep, int page, int row, int col) {
    const qortest::ProcessResult r =
        qortest::run(QStringLiteral(QOR_APP_BINARY),
                     {QStringLiteral("get"), rep, QString::number(page), QString::number(row),
                      QString::number(col)});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    return QString::fromUtf8(r.out).trimmed();
}

}  // namespace frametest
