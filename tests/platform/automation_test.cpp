#include "platform/automation.h"

#include <gtest/gtest.h>

#include <QFile>

#include "platform/registry.h"
#include "tests/common/testsupport.h"

using namespace qor;

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

// A component in the shape of the host's service objects.
class TestService : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString srvName READ srvName WRITE setSrvName)
    Q_PROPERTY(int srvNumber READ srvNumber)

public:
    explicit TestService(QString createdAs) : createdAs(std::move(createdAs)) {}
    QString srvName() const { return m_name; }
    void setSrvName(const QString& n) { m_name = n; }
    int srvNumber() const { return 7; }

    Q_INVOKABLE int Add(int a, int b) const { return a + b; }
    Q_INVOKABLE double Scale(double v, int factor = 2) const { return v * factor; }
    Q_INVOKABLE QVariant Echo(const QVariant& v) const { return v; }
    Q_INVOKABLE void SetLogin(QObject* login) { m_login = login; }
    Q_INVOKABLE bool CallService(const QString& name, const QString& args, QObject* result) {
        if (!m_login || !result) return false;
        result->setProperty("value", name + QLatin1Char(':') + args);
        return true;
    }

    QString createdAs;
    QObject* m_login = nullptr;

private:
    QString m_name;
};

const QString kClsid = QStringLiteral("{1396304E-2A37-4857-B0BF-13BD0449B159}");
const QString kOtherClsid = QStringLiteral("{3302AA4E-EB96-11D2-AF06-000021009B21}");

QString errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const AutoError& e) {
        return e.text();
    }
    return QStringLiteral("<no error>");
}

class AutomationTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = qgetenv("QOR_REGISTRY");
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const QString file = qortest::freshDir(QString("auto-") + info->name()) + "/registry.ini";
        qputenv("QOR_REGISTRY", QFile::encodeName(file));
    }
    void TearDown() override {
        AutoRegistry::removeFactory(kClsid);
        AutoRegistry::removeFactory(kOtherClsid);
        qputenv("QOR_REGISTRY", saved_);
    }

    static void registerService() {
        AutoClassInfo info;
        info.clsid = kClsid;
        info.progId = "Qor.TestService.1";
        info.versionIndependentProgId = "Qor.TestService";
        info.description = "test service";
        AutoRegistry::registerBuiltin(info,
                                      [](const QString& name) { return new TestService(name); });
    }

    QByteArray saved_;
};

}  // namespace

TEST_F(AutomationTest, RegistersInWindowsShapeAndCreatesByEitherName) {
    registerService();
    const QString key = "CLSID\\" + kClsid;
    EXPECT_EQ(Registry::readString(key + "\\InprocServer32", ""), "builtin");
    EXPECT_EQ(Registry::readString(key + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(Registry::readString(key + "\\ProgID", ""), "Qor.TestService.1");
    EXPECT_EQ(Registry::readString("Qor.TestService.1\\CLSID", ""), kClsid);
    EXPECT_EQ(Registry::readString("Qor.TestService\\CurVer", ""), "Qor.TestService.1");

    for (const QString& name : {QStringLiteral("Qor.TestService.1"),
                                QStringLiteral("qor.testservice"), kClsid.toLower()}) {
        AutoObject o = AutoObject::create(name);
        ASSERT_FALSE(o.isNull()) << name.toStdString();
        EXPECT_EQ(o.clsid(), kClsid);
        EXPECT_EQ(static_cast<TestService*>(o.object())->createdAs, name);
    }
    EXPECT_EQ(AutoRegistry::progIdFromClsid(kClsid.toLower()), "Qor.TestService.1");

    // A version-independent name written by hand with only CurVer.
    ASSERT_TRUE(Registry::writeString("Qor.Alias\\CurVer", "", "Qor.TestService.1"));
    EXPECT_EQ(AutoRegistry::clsidFromProgId("Qor.Alias"), kClsid);
}

TEST_F(AutomationTest, CallsByNameWithoutRegardToCase) {
    registerService();
    AutoObject o = AutoObject::create("Qor.TestService");
    EXPECT_EQ(o.invoke("add", {2, QStringLiteral("40")}).toInt(), 42);
    EXPECT_EQ(o.invoke("SCALE", {1.5}).toDouble(), 3.0);  // default argument
    EXPECT_EQ(o.invoke("Scale", {1.5, 3}).toDouble(), 4.5);
    EXPECT_EQ(o.invoke("echo", {QStringLiteral("x")}).toString(), "x");
    // An empty argument is a missing one: the type's default.
    EXPECT_EQ(o.invoke("Add", {QVariant(), 5}).toInt(), 5);

    o.setProperty("SRVNAME", 12);
    EXPECT_EQ(o.property("srvname").toString(), "12");
    EXPECT_EQ(o.invoke("srvNumber").toInt(), 7);  // a property read like a method
    o.invoke("srvName", {QStringLiteral("ledger")});
    EXPECT_EQ(o.property("SrvName").toString(), "ledger");
    EXPECT_TRUE(o.hasMember("callservice"));
    EXPECT_FALSE(o.hasMember("deleteLater"));
}

TEST_F(AutomationTest, DispatchIdsMapToNamesPerClass) {
    registerService();
    AutoObject::registerDispIds("Qor.TestService",
                                {{0x68030001, "SetLogin"}, {0x60030003, "CallService"}});
    AutoObject o = AutoObject::create(kClsid);
    QObject login;
    QObject holder;
    EXPECT_FALSE(o.invoke(0x60030003, {"QC", "1001", QVariant::fromValue<QObject*>(&holder)})
                     .toBool());  // not logged in yet
    o.invoke(0x68030001, {QVariant::fromValue(&login)});
    EXPECT_TRUE(
        o.invoke(0x60030003, {"QC", "1001", QVariant::fromValue<QObject*>(&holder)}).toBool());
    EXPECT_EQ(holder.property("value").toString(), "QC:1001");
    EXPECT_EQ(o.idOfName("callservice"), 0x60030003);

    // Members without a fixed id get one by asking for the name.
    const auto addId = o.idOfName("ADD");
    ASSERT_TRUE(addId.has_value());
    EXPECT_GE(*addId, AutoObject::kDynamicIdBase);
    EXPECT_EQ(o.invoke(*addId, {1, 2}).toInt(), 3);

    // The same id means another member on another interface.
    AutoObject::registerDispIds(kOtherClsid, {{0x60030003, "Add"}});
    AutoRegistry::registerBuiltin({kOtherClsid, "Qor.Other.1", "", "", "", "Apartment", ""},
                                  [](const QString& n) { return new TestService(n); });
    AutoObject other = AutoObject::create("Qor.Other.1");
    EXPECT_EQ(other.invoke(0x60030003, {20, 22}).toInt(), 42);

    EXPECT_TRUE(errorOf([&] { o.invoke(0x60030099); }).contains("0x60030099"));
    AutoObject::unregisterDispIds("Qor.TestService");
    AutoObject::unregisterDispIds(kOtherClsid);
}

TEST_F(AutomationTest, BadCallsFailWithClearText) {
    registerService();
    AutoObject o = AutoObject::create("Qor.TestService");
    EXPECT_TRUE(errorOf([&] { o.invoke("Add", {1}); }).contains("Wrong number of arguments"));
    EXPECT_TRUE(errorOf([&] { o.invoke("Scale", {1, 2, 3}); }).contains("1 or 2 expected"));
    EXPECT_TRUE(errorOf([&] { o.invoke("NoSuch"); }).contains("\"NoSuch\""));
    EXPECT_TRUE(errorOf([&] {
                    o.invoke("Add", {QStringLiteral("abc"), 1});
                }).contains("Argument 1"));
    // An object is not a number.
    QObject stray;
    EXPECT_TRUE(errorOf([&] {
                    o.invoke("Add", {QVariant::fromValue(&stray), 1});
                }).contains("cannot be converted"));
    EXPECT_TRUE(errorOf([&] { o.setProperty("srvNumber", 3); }).contains("read-only"));
    EXPECT_TRUE(errorOf([&] { o.property("missing"); }).contains("no property"));
    EXPECT_TRUE(errorOf([&] { o.invoke("srvName", {1, 2}); }).contains("Wrong number"));

    AutoObject empty;
    EXPECT_TRUE(errorOf([&] { empty.invoke("Add", {1, 2}); }).contains("missing"));
    // An object deleted behind the wrapper's back is noticed, not called.
    AutoObject gone = AutoObject::create("Qor.TestService");
    delete gone.object();
    EXPECT_TRUE(gone.isNull());
    EXPECT_TRUE(errorOf([&] { gone.invoke("Add", {1, 2}); }).contains("missing"));
}

TEST_F(AutomationTest, CreationFailuresAreReported) {
    EXPECT_TRUE(errorOf([] {
                    AutoRegistry::create("Nobody.Home");
                }).contains("ProgID \"Nobody.Home\" is not registered"));
    EXPECT_TRUE(errorOf([] { AutoRegistry::create(kClsid); }).contains("is not registered"));
    EXPECT_TRUE(errorOf([] { AutoRegistry::create(""); }).contains("No ProgID"));

    // Registered as built in, but no factory in this process.
    AutoRegistry::registerClass({kClsid, "Qor.NoFactory", "", "", "builtin", "Apartment", ""});
    EXPECT_TRUE(errorOf([] { AutoRegistry::create("Qor.NoFactory"); }).contains("built in"));

    // A ProgID pointing at a class whose keys are gone.
    ASSERT_TRUE(Registry::writeString("Qor.Dangling\\CLSID", "", kOtherClsid));
    EXPECT_TRUE(errorOf([] { AutoRegistry::create("Qor.Dangling"); }).contains(kOtherClsid));

    AutoRegistry::registerBuiltin({kOtherClsid, "Qor.Null", "", "", "", "Apartment", ""},
                                  [](const QString&) { return nullptr; });
    EXPECT_TRUE(errorOf([] { AutoRegistry::create("Qor.Null"); }).contains("No object"));

    EXPECT_THROW(AutoRegistry::registerClass({"not-a-clsid", "X", "", "", "builtin", "", ""}),
                 AutoError);
    EXPECT_THROW(AutoRegistry::registerProgId("A\\B", kClsid), AutoError);
}

TEST_F(AutomationTest, UnregisterRemovesItsKeysOnly) {
    registerService();
    AutoRegistry::registerProgId("Qor.ServiceAlias", kClsid);
    AutoRegistry::registerBuiltin({kOtherClsid, "Qor.Other.1", "", "", "", "Apartment", ""},
                                  [](const QString& n) { return new TestService(n); });

    EXPECT_TRUE(AutoRegistry::unregisterClass(kClsid.toLower()));
    for (const QString& key :
         {"CLSID\\" + kClsid, QStringLiteral("Qor.TestService"),
          QStringLiteral("Qor.TestService.1"), QStringLiteral("Qor.ServiceAlias")})
        EXPECT_FALSE(Registry::keyExists(key)) << key.toStdString();
    EXPECT_TRUE(Registry::keyExists("Qor.Other.1"));
    EXPECT_TRUE(
        errorOf([] { AutoRegistry::create("Qor.TestService"); }).contains("is not registered"));
    EXPECT_NO_THROW(AutoObject::create("Qor.Other.1"));
    EXPECT_FALSE(AutoRegistry::unregisterClass(kClsid));
}

TEST_F(AutomationTest, PluginLibraryIsCreatedThroughItsRegisteredPath) {
    AutoRegistry::registerClass({kClsid, "Qor.Plugin.1", "Qor.Plugin", "plugin",
                                 QStringLiteral(QOR_TEST_AUTOPLUGIN), "Both", ""});
    AutoObject o = AutoObject::create("QOR.PLUGIN");
    ASSERT_FALSE(o.isNull());
    EXPECT_EQ(o.property("createdAs").toString(), "QOR.PLUGIN");
    EXPECT_EQ(o.invoke("greet", {QStringLiteral("world")}).toString(), "hello world");
    // The class declares its own dispatch ids.
    EXPECT_EQ(o.invoke(0x60030003, {QStringLiteral("ids")}).toString(), "hello ids");

    AutoRegistry::registerProgId("Refuse.Me", kClsid);
    EXPECT_TRUE(errorOf([] { AutoRegistry::create("Refuse.Me"); }).contains("made no object"));

    const QString missing = qortest::freshDir("auto-missing") + "/libnone.so";
    AutoRegistry::registerClass({kOtherClsid, "Qor.Missing", "", "", missing, "Both", ""});
    EXPECT_TRUE(errorOf([] { AutoRegistry::create("Qor.Missing"); }).contains(missing));
}

#include "automation_test.moc"
