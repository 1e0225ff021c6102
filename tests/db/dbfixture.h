#pragma once
// One fresh database per test on the backend the test is instantiated for.
// PostgreSQL needs QOR_TEST_PGSQL (set by scripts/with-postgres.sh); without
// it those tests are skipped, unless QOR_REQUIRE_PGSQL is set (CI), which
// makes the missing server a failure.

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <memory>
#include <ostream>

#include "reader/creaderapp.h"

// Failure messages show texts as texts.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace qordbtest {

// A login database that is also account set 001's: the report data
// dictionary over tables with Chinese and mixed-case names, and "big" with
// the numbers 1 to kBigRows.
constexpr int kBigRows = 10000;
extern const QStringList kHostDatabase;

enum class Backend { SQLite, PostgreSQL };

inline void PrintTo(Backend b, std::ostream* os) {
    *os << (b == Backend::SQLite ? "SQLite" : "PostgreSQL");
}

inline std::string BackendName(const ::testing::TestParamInfo<Backend>& info) {
    return info.param == Backend::SQLite ? "SQLite" : "PostgreSQL";
}

class DbTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override;
    void TearDown() override;

    bool OnServer() const { return GetParam() == Backend::PostgreSQL; }
    // The connection text of this test's database.
    QString Text() const { return text_; }
    // The same database with a wrong password (server only).
    QString TextWithPassword(const QString& password) const;
    // Runs statements with plain Qt, apart from the code under test.
    void Exec(const QStringList& statements);
    // The server's connection text as the script gave it.
    static QString ServerText();

    QString dir_;
    QString text_;
    QString serverDb_;
    QByteArray savedRegistry_;
};

// A DbTest whose database is loaded with kHostDatabase and serves as the
// login database and as account set 001 of 2003 of app_.
class HostDbTest : public DbTest {
protected:
    void SetUp() override;
    void TearDown() override;

    std::unique_ptr<CReaderApp> app_;
};

}  // namespace qordbtest
