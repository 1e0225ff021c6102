#pragma once
// Shared by the interpreter tests: a fresh interpreter context per test,
// reports made in a temporary folder, and readers of what commands left.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <memory>

#include "cmdlang/calcerrors.h"
#include "cmdlang/ccalcinterpreter.h"
#include "cmdlang/enginehooks.h"
#include "engine/creporthandle.h"
#include "engine/errorlog.h"
#include "platform/uiservices.h"
#include "qstringprint.h"
#include "tests/common/testsupport.h"

namespace interp {

// Keyword slots.
constexpr int kName = 0, kCode = 1, kYear = 2, kQuarter = 3, kMonth = 4, kDay = 5;

class InterpTest : public ::testing::Test {
public:
    void SetUp() override {
        qor::cmd::InstallEngineHooks();
        dir = qortest::freshDir(
            QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        SetErrorLogPath(dir + "/qorerr.log");
        ci = std::make_unique<CCalcInterpreter>();
        savedUi = qor::installUiServices(quietUi());
    }
    void TearDown() override {
        ci.reset();
        reports.clear();
        qor::installUiServices(savedUi);
        SetErrorLogPath(QString());
    }

    // Message boxes are collected instead of logged.
    qor::UiServices quietUi() {
        qor::UiServices ui;
        ui.messageBox = [this](const qor::MessageRequest& r) {
            messages << r.text;
            return r.defaultAnswer;
        };
        return ui;
    }

    // A report in data state with `pages` pages, the current one page 1;
    // varKind 1 puts a row area of up to 20 lines at varStart.
    CReportHandle* makeReport(const QString& name, int rows, int cols, int pages, int varKind = 0,
                              int varStart = 0) {
        auto r = std::make_unique<CReportHandle>(dir + "/" + name);
        EXPECT_TRUE(r->IsOpen());
        uint16_t rr = uint16_t(rows), cc = uint16_t(cols);
        EXPECT_EQ(r->AccessTableSize(1, &rr, &cc), 0);
        if (varKind) {
            int kind = varKind, start = varStart, extent = 20;
            EXPECT_EQ(r->AccessVarArea(1, &kind, &start, &extent), 0);
        }
        EXPECT_EQ(r->EnterDataState(), 0);
        if (pages) {
            EXPECT_EQ(r->AppendRowColPage(pages, 2), 0);
            EXPECT_EQ(r->SetCurPage(1), 0);
        }
        reports.push_back(std::move(r));
        return reports.back().get();
    }

    // Runs one line as a user-interface command; the result of RunCommand.
    int run(const QString& line) {
        ci->SetRunMode(0, CCalcInterpreter::kModeUi);
        return ci->RunLine(line);
    }
    // Runs and expects success, showing the error otherwise.
    void ok(const QString& line) {
        EXPECT_EQ(run(line), 0) << line.toStdString() << ": " << ci->LastErrorText().toStdString();
    }
    // Runs and expects the error code.
    void fails(const QString& line, int code) {
        EXPECT_EQ(run(line), -1) << line.toStdString();
        EXPECT_EQ(ci->LastErrorCode(), code)
            << line.toStdString() << ": " << ci->LastErrorText().toStdString();
    }

    static void setKeyword(CReportHandle* r, int page, int slot, const QVariant& v) {
        qor::KeywordValue k;
        if (v.typeId() == QMetaType::QString)
            k = {2, 0, v.toString()};
        else
            k = {1, v.toDouble(), {}};
        ASSERT_EQ(r->SetPageKeyword(slot, k, page), 0);
    }
    static void setNumber(CReportHandle* r, int page, int row, int col, double v) {
        ASSERT_EQ(r->SetCellValue(CellValue::ofNumber(v), row, col, page), 0);
    }
    static double number(CReportHandle* r, int page, int row, int col) {
        CellValue v;
        EXPECT_EQ(r->GetCellValue(&v, row, col, page), 0);
        return v.kind == kCellNumber ? v.number : -12345;
    }
    static bool empty(CReportHandle* r, int page, int row, int col) {
        CellValue v;
        EXPECT_EQ(r->GetCellValue(&v, row, col, page), 0);
        return v.kind == kCellUnset;
    }
    static QVariant keyword(CReportHandle* r, int page, int slot) {
        qor::KeywordValue k;
        EXPECT_EQ(r->GetPageKeyword(slot, &k, page), 0);
        if (k.kind == 1) return k.number;
        if (k.kind == 2) return k.text;
        return {};
    }
    std::optional<double> variable(const QString& name) const {
        const std::optional<qor::cmd::Value> v = ci->Runtime().VariableValue(name);
        if (!v || !v->isNumber()) return std::nullopt;
        return v->asNumber();
    }
    void writeFile(const QString& name, const QByteArray& bytes) {
        QFile f(dir + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QString dir;
    std::unique_ptr<CCalcInterpreter> ci;
    std::vector<std::unique_ptr<CReportHandle>> reports;
    QStringList messages;
    qor::UiServices savedUi;
};

// A stand-in document: the interpreter only passes the pointer to the hooks.
inline CQorsDoc* fakeDocument() {
    static char storage;
    return reinterpret_cast<CQorsDoc*>(&storage);
}

}  // namespace interp
