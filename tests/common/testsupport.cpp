#include "tests/common/testsupport.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <cstdio>

namespace qortest {

namespace {

QString& runFolder() {
    static QString folder;
    return folder;
}

void pointBelow(const char* variable, const QString& path) {
    QDir().mkpath(path);
    qputenv(variable, QFile::encodeName(path));
}

}  // namespace

void enterRunFolder() {
    QByteArray parent = qgetenv("TMPDIR");
    if (parent.isEmpty()) parent = "/tmp";
    QByteArray pattern = parent + "/qortest-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::perror(pattern.constData());
        std::exit(2);
    }
    const QString base = QFile::decodeName(pattern);
    runFolder() = base;
    // The user's folders as a desktop lays them out, so whatever a library
    // keeps for the user (fonts' caches, settings) stays in the run too.
    pointBelow("HOME", base + "/user");
    pointBelow("XDG_CONFIG_HOME", base + "/user/.config");
    pointBelow("XDG_DATA_HOME", base + "/user/.local/share");
    pointBelow("XDG_CACHE_HOME", base + "/user/.cache");
    // Qt and D-Bus refuse a runtime folder others could enter.
    pointBelow("XDG_RUNTIME_DIR", base + "/runtime");
    ::chmod(QFile::encodeName(base + "/runtime").constData(), 0700);
    pointBelow("TMPDIR", base + "/tmp");
    pointBelow("QOR_HOME", base + "/home");
    qputenv("QOR_REGISTRY", QFile::encodeName(base + "/registry.ini"));
}

void leaveRunFolder() {
    const QString base = runFolder();
    if (base.isEmpty()) return;
    if (!qEnvironmentVariableIsEmpty("QOR_KEEP_TEST_DIR")) {
        std::fprintf(stderr, "test folder kept: %s\n", QFile::encodeName(base).constData());
        return;
    }
    QDir(base).removeRecursively();
}

QString processTempDir() {
    if (runFolder().isEmpty()) enterRunFolder();
    return runFolder();
}

QString testDir(const QString& prefix) {
    return freshDir(prefix + QString::fromLatin1(
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name()));
}

QString artifactPath(const QString& name) {
    const QString root = qEnvironmentVariableIsEmpty("QOR_TEST_ARTIFACTS")
                             ? processTempDir() + QStringLiteral("/artifacts")
                             : qEnvironmentVariable("QOR_TEST_ARTIFACTS");
    if (name.isEmpty()) {
        QDir().mkpath(root);
        return root;
    }
    const QString path = root + QLatin1Char('/') + name;
    QDir().mkpath(QFileInfo(path).path());
    return path;
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString sourceText(const QString& relative) {
    return QString::fromUtf8(fileBytes(QStringLiteral(QOR_TEST_SOURCE_DIR "/") + relative));
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(bytes);
}

QString freshDir(const QString& name) {
    QDir d(processTempDir() + "/" + name);
    d.removeRecursively();
    QDir().mkpath(d.path());
    return d.path();
}

ProcessResult run(const QString& program, const QStringList& args, const QByteArray& input) {
    ProcessResult r;
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(10000)) return r;
    r.started = true;
    if (!input.isEmpty()) p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

ProcessResult python(const QString& script, const QStringList& args) {
    return run(QStringLiteral(QOR_TEST_PYTHON), QStringList{"-c", script} + args);
}

bool haveProgram(const QString& program) {
    if (QDir::isAbsolutePath(program)) return QFile::exists(program);
    return !QStandardPaths::findExecutable(program).isEmpty();
}

bool havePythonModule(const QString& module) {
    return python("import " + module).exitCode == 0;
}

bool needReader(bool present, const QString& what) {
    if (!present && !qEnvironmentVariableIsEmpty("QOR_REQUIRE_READERS"))
        ADD_FAILURE() << what.toStdString()
                      << " is missing and QOR_REQUIRE_READERS is set: install it "
                         "(scripts/install-deps.sh)";
    return present;
}

bool needProgram(const QString& program) { return needReader(haveProgram(program), program); }

bool needPythonModule(const QString& module) {
    return needReader(havePythonModule(module), QStringLiteral("python3 module ") + module);
}

}  // namespace qortest
