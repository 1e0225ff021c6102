#pragma once
// Helpers shared by every test binary.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace qortest {

// Folder that lives as long as the test process (QOR_HOME and QOR_REGISTRY
// point below it).
QString processTempDir();

// A fresh, empty folder below processTempDir() for one test.
QString freshDir(const QString& name);

// The whole file; empty when it cannot be read.
QByteArray fileBytes(const QString& path);

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

}  // namespace qortest
