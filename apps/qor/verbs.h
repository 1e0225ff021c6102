#pragma once
// The verbs of the command-line host. Each takes the arguments after the
// verb, writes what it has to say into Output and returns the exit code
// (0 done, 1 failed, 2 usage error).

#include <QString>
#include <QStringList>

namespace qor::app {

struct Output {
    QString text;  // for stdout
    QString err;   // for stderr
};

int verbNew(const QStringList& args, Output* out);
int verbInfo(const QStringList& args, Output* out);

}  // namespace qor::app
