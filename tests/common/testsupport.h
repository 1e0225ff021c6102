#pragma once
// Helpers shared by every test binary.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace qortest {

// Makes the run's own folder below the temporary folder the process was
// started with and points HOME, XDG_CONFIG_HOME, XDG_DATA_HOME,
// XDG_CACHE_HOME, XDG_RUNTIME_DIR, TMPDIR, QOR_HOME (the data directory and
// so the error log) and QOR_REGISTRY below it. Call before the application
// object exists; programs the tests start inherit all of it.
void enterRunFolder();

// Removes the run's folder, unless QOR_KEEP_TEST_DIR is set (then its path
// is printed).
void leaveRunFolder();

// The run's folder (see enterRunFolder); lives as long as the test process.
QString processTempDir();

// A fresh, empty folder below processTempDir() for one test.
QString freshDir(const QString& name);

// freshDir named after the running test, after an optional prefix.
QString testDir(const QString& prefix = {});

// Where a test leaves a picture or other output for a person to look at:
// $QOR_TEST_ARTIFACTS/name when that is set (CI keeps the folder), else
// below the run's folder. The folder that holds the path exists; without a
// name, the folder itself.
QString artifactPath(const QString& name = {});

// The whole file; empty when it cannot be read.
QByteArray fileBytes(const QString& path);

// A file of the source tree (path relative to its top) as UTF-8 text;
// empty when it cannot be read.
QString sourceText(const QString& relative);

// Writes the whole file (making its folder); fails the test when it cannot.
void writeFile(const QString& path, const QByteArray& bytes);

struct ProcessResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    bool started = false;
};

// Runs a program to completion (60 s limit) and gathers its output.
ProcessResult run(const QString& program, const QStringList& args,
                  const QByteArray& input = {});

// Runs /usr/bin/python3 -c SCRIPT ARGS...
ProcessResult python(const QString& script, const QStringList& args = {});

// True when the program is found on PATH (or is an existing absolute path).
bool haveProgram(const QString& program);

// True when /usr/bin/python3 can import the module.
bool havePythonModule(const QString& module);

// An independent reader or program a test checks its output with: returns
// present. A missing one lets the test skip, unless QOR_REQUIRE_READERS is
// set, which makes it a failure, so a machine that should have every reader
// cannot pass by skipping.
bool needReader(bool present, const QString& what);

// needReader for a program (haveProgram) and a Python module (havePythonModule).
bool needProgram(const QString& program);
bool needPythonModule(const QString& module);

}  // namespace qortest
