#pragma once
// A fresh registry and folder per test, with the built-in components
// registered in it.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <ostream>

#include "reader/builtincomponents.h"
#include "reader/cqordb.h"
#include "tests/common/testsupport.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

class ReaderEnvTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedRegistry_ = qgetenv("QOR_REGISTRY");
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = qortest::freshDir(QString("env-%1-%2").arg(info->test_suite_name(), info->name()));
        qputenv("QOR_REGISTRY", QFile::encodeName(dir_ + "/registry.ini"));
        qor::RegisterBuiltinComponents();
    }
    void TearDown() override {
        CQorDB::SetLoginDbNameSource({});
        qputenv("QOR_REGISTRY", savedRegistry_);
    }

    // Runs statements on a SQLite file with plain Qt, apart from the code
    // under test.
    static void exec(const QString& path, const QStringList& statements) {
        const QString name = QStringLiteral("fixture-") + path;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(path);
            ASSERT_TRUE(db.open()) << db.lastError().text().toStdString();
            QSqlQuery q(db);
            for (const QString& s : statements)
                ASSERT_TRUE(q.exec(s))
                    << s.toStdString() << ": " << q.lastError().text().toStdString();
            q.finish();
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }

    QByteArray savedRegistry_;
    QString dir_;
};
