#include "tests/common/testsupport.h"

#include <QFile>

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace qortest {

QString processTempDir() {
    static QTemporaryDir dir(QDir::tempPath() + "/qortest-XXXXXX");
    return dir.path();
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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

}  // namespace qortest
