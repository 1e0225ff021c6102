// The start-up both programs run: twice is as good as once.
#include "document/startup.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QScopeGuard>

#include "document/doc_files.h"
#include "engine/formulaeval.h"
#include "engine/paths.h"
#include "platform/automation.h"
#include "tests/common/testsupport.h"

using namespace qor;

TEST(StartUp, RunningItTwiceIsHarmless) {
    const QString home = qortest::freshDir("startup-twice");
    const QByteArray oldHome = qgetenv("QOR_HOME");
    const auto restore = qScopeGuard([&] { qputenv("QOR_HOME", oldHome); });
    qputenv("QOR_HOME", QFile::encodeName(home));
    ASSERT_TRUE(QDir().mkpath(home + "/qor/config"));
    {
        QFile f(home + "/qor/config/shenjishu.xml");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<list/>");
    }

    int more = 0;
    StartOptions options;
    options.isServiceFunction = [](QStringView name) { return name == u"LEDGER"; };
    options.installMore = [&] { ++more; };
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        EXPECT_EQ(StartUp(options), QStringList());
        // The old configuration moved on the first run and stays moved.
        EXPECT_TRUE(QFile::exists(home + "/config/shenjishu.xml"));
        EXPECT_FALSE(QFile::exists(home + "/qor"));
        EXPECT_EQ(GetConfigDir(), home + "/config");
        EXPECT_TRUE(FindDocConverter("xlsx"));
        EXPECT_TRUE(FormulaChecker());
        EXPECT_FALSE(AutoRegistry::clsidFromProgId("Pagoda2.Reader").isEmpty());
    }
    EXPECT_EQ(more, 2);
}
