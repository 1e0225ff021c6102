#pragma once
// A small report data dictionary in a SQLite file, built with plain Qt
// apart from the code under test; shared by the reader and dialog tests.

#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

namespace qortest {

// Builds a SQLite file with plain Qt, apart from the code under test.
inline void makeDatabase(const QString& path, const QStringList& statements) {
    const QString name = QStringLiteral("fixture-") + path;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open()) << db.lastError().text().toStdString();
        QSqlQuery q(db);
        for (const QString& s : statements)
            ASSERT_TRUE(q.exec(s)) << s.toStdString() << ": " << q.lastError().text().toStdString();
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

inline const QStringList kDictionary = {
    "create table rpt_grpdef(systemid TEXT, systemname TEXT, tablename TEXT, tabledefine TEXT)",
    "create table rpt_itmdef(tablename TEXT, tabledef TEXT, fieldname TEXT, fielddef TEXT, "
    "fieldid INTEGER)",
    "insert into rpt_grpdef values('02','工资','wa_data','工资数据')",
    "insert into rpt_grpdef values('01','总账','gl_voucher','凭证表')",
    "insert into rpt_grpdef values('01','总账','gl_accsum','科目余额表')",
    "insert into rpt_grpdef values('02','工资','wa_obrien','O''Brien表')",
    "insert into rpt_itmdef values('gl_accsum','科目余额表','md','借方',3)",
    "insert into rpt_itmdef values('gl_accsum','科目余额表','ccode','科目编码',1)",
    "insert into rpt_itmdef values('gl_accsum','科目余额表','mb','期初余额',2)",
    "insert into rpt_itmdef values('wa_data','工资数据','f''x','it''s',1)",
};

}  // namespace qortest
