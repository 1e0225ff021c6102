#pragma once
// One fresh database per test on the backend the test is instantiated for.
// PostgreSQL needs QOR_TEST_PGSQL (set by scripts/with-postgres.sh); without
// it those tests are skipped, unless QOR_REQUIRE_PGSQL is set (CI), which
// makes the missing server a failure.

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <ostream>

// Failure messages show texts as texts.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace qordbtest {

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

}  // namespace qordbtest
