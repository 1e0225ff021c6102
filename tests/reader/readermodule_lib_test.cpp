// The Reader module as another host sees it: registered under its own
// path, created by ProgID from the library, driven by name.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QLibrary>

#include "engine/creporthandle.h"
#include "platform/automation.h"
#include "platform/registry.h"
#include "reader/readermodule.h"
#include "tests/common/testsupport.h"

namespace {

// Points the Registry at a file of this test's own, so the module's
// registration does not reach the other tests of this program.
class OwnRegistry {
public:
    explicit OwnRegistry(const QString& file) : m_old(qgetenv("QOR_REGISTRY")) {
        qputenv("QOR_REGISTRY", QFile::encodeName(file));
    }
    ~OwnRegistry() { qputenv("QOR_REGISTRY", m_old); }

private:
    QByteArray m_old;
};

TEST(ReaderModuleLibrary, RegistersItselfAndServesTheReaderByProgId) {
    const QString dir = qortest::freshDir("reader-module");
    OwnRegistry registry(dir + "/registry.ini");
    {
        CReportHandle h(dir + "/m.rep");
        ASSERT_EQ(h.EnterDataState(0), 0);
        ASSERT_EQ(h.AppendRowColPage(2, 2), 0);
        ASSERT_EQ(h.Save(), 0);
    }

    QLibrary lib(QStringLiteral(QOR_READER_MODULE));
    ASSERT_TRUE(lib.load()) << qPrintable(lib.errorString());
    using EntryFn = int (*)();
    auto reg = reinterpret_cast<EntryFn>(lib.resolve("DllRegisterServer"));
    auto unreg = reinterpret_cast<EntryFn>(lib.resolve("DllUnregisterServer"));
    auto canUnload = reinterpret_cast<EntryFn>(lib.resolve("DllCanUnloadNow"));
    ASSERT_TRUE(reg && unreg && canUnload);

    ASSERT_EQ(reg(), 0);
    const auto info = qor::AutoRegistry::classInfo(QLatin1String(qor::kReaderVersionIndependentProgId));
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(QFileInfo(info->server).canonicalFilePath(),
              QFileInfo(QStringLiteral(QOR_READER_MODULE)).canonicalFilePath());

    {
        qor::AutoObject reader = qor::AutoObject::create(QStringLiteral("Pagoda2.Reader"));
        ASSERT_FALSE(reader.isNull());
        EXPECT_EQ(canUnload(), 1);  // a Reader of the module is alive
        const QVariantMap opened =
            reader.invoke("openrep8file", {dir + "/m.rep", QString()}).toMap();
        EXPECT_TRUE(opened.value("ok").toBool()) << qPrintable(opened.value("error").toString());
        const QVariantMap pages = reader.invoke("GetPages").toMap();
        EXPECT_TRUE(pages.value("ok").toBool());
        EXPECT_EQ(pages.value("value").toInt(), 2);
        reader.invoke("CloseFile");
    }
    EXPECT_EQ(canUnload(), 0);

    EXPECT_EQ(unreg(), 0);
    EXPECT_FALSE(qor::AutoRegistry::classInfo(QLatin1String(qor::kReaderClsid)).has_value());
}

}  // namespace
