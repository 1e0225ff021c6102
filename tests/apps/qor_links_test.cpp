// What the command line links and loads: no widget or printing library is
// among qor's needed libraries, the printer module beside it is the one
// place that reaches a printer, and printing to a PDF never needs it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include "tests/common/testsupport.h"

namespace {

// The NEEDED entries of an ELF file's dynamic section, as readelf shows
// them ("Shared library: [libQt6Core.so.6]").
QStringList neededLibraries(const QString& file) {
    const auto r = qortest::run(QStringLiteral("readelf"), {"-d", "-W", file});
    QStringList needed;
    static const QRegularExpression entry(QStringLiteral(R"(\(NEEDED\).*\[([^\]]+)\])"));
    for (const QString& line : QString::fromUtf8(r.out).split(u'\n'))
        if (const auto m = entry.match(line); m.hasMatch()) needed << m.captured(1);
    return needed;
}

const QString kQor = QStringLiteral(QOR_APP_BINARY);
const QString kModule = QFileInfo(kQor).absoluteDir().filePath(QStringLiteral("libqorprintdev.so"));

QString anyOf(const QStringList& names, const QString& part) {
    for (const QString& n : names)
        if (n.contains(part)) return n;
    return {};
}

qortest::ProcessResult qorIn(const QString& dir, const QString& env, const QString& args) {
    return qortest::run(QStringLiteral("/bin/sh"),
                        {"-c", QStringLiteral("cd '%1' && %2 '%3' %4").arg(dir, env, kQor, args)});
}

}  // namespace

TEST(QorLinks, TheProgramNeedsNoWidgetOrPrintingLibraryButItsPrinterModuleDoes) {
    if (!qortest::needProgram("readelf")) GTEST_SKIP() << "no readelf";
    const QStringList qor = neededLibraries(kQor);
    // The reading works: qor needs Qt's core and its painting library.
    ASSERT_FALSE(anyOf(qor, "Qt6Core").isEmpty()) << qor.join(' ').toStdString();
    EXPECT_FALSE(anyOf(qor, "Qt6Gui").isEmpty()) << qor.join(' ').toStdString();
    for (const char* part : {"Qt6Widgets", "Qt6PrintSupport", "qorprintdev"})
        EXPECT_EQ(anyOf(qor, part), QString()) << part;
    ASSERT_TRUE(QFileInfo::exists(kModule)) << kModule.toStdString();
    EXPECT_FALSE(anyOf(neededLibraries(kModule), "Qt6PrintSupport").isEmpty());
}

TEST(QorLinks, WithoutThePrinterModuleAPdfStillPrintsAndAPrinterIsNotThere) {
    const QString dir = qortest::freshDir("qor-links");
    const QString noModule = QStringLiteral("QOR_PRINT_MODULE_DIR='%1'").arg(dir);
    ASSERT_EQ(qorIn(dir, {}, "new r.rep --pages 1 --rows 5").exitCode, 0);
    ASSERT_EQ(qorIn(dir, {}, "set r.rep 1 1 1 42").exitCode, 0);

    const auto pdf = qorIn(dir, noModule, "print r.rep --pdf r.pdf");
    EXPECT_EQ(pdf.exitCode, 0) << pdf.err.constData();
    EXPECT_EQ(QString::fromUtf8(pdf.out).trimmed(), "wrote r.pdf");
    EXPECT_TRUE(QFileInfo(dir + "/r.pdf").size() > 0);

    const auto printer = qorIn(dir, noModule, "print r.rep");
    EXPECT_EQ(printer.exitCode, 1);
    EXPECT_EQ(QString::fromUtf8(printer.err),
              "qor print: there is no default printer; give --pdf FILE\n");
    EXPECT_TRUE(printer.out.isEmpty());
}
