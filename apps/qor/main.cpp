// qor: the command-line host of the report engine. Each verb is one
// request a host program would make; the exit code is 0 on success, 1 when
// the request failed and 2 for a usage error.
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

#include "apps/qor/verbs.h"

namespace {

void printUsage() {
    std::fputs(
        "usage:\n"
        "  qor new FILE [--rows N] [--cols N] [--pages N]\n"
        "      create a report (default 50 rows, 7 columns, no pages)\n"
        "  qor info FILE\n"
        "      show version, table size, pages, state and streams\n",
        stderr);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty() || args.first() == "--help" || args.first() == "-h") {
        printUsage();
        return args.isEmpty() ? 2 : 0;
    }
    const QString verb = args.takeFirst();
    qor::app::Output out;
    int rc = 2;
    if (verb == "new") {
        rc = qor::app::verbNew(args, &out);
    } else if (verb == "info") {
        rc = qor::app::verbInfo(args, &out);
    } else {
        out.err = QStringLiteral("qor: unknown verb \"%1\"\n").arg(verb);
    }
    std::fputs(out.text.toLocal8Bit().constData(), stdout);
    std::fputs(out.err.toLocal8Bit().constData(), stderr);
    if (rc == 2) printUsage();
    return rc;
}
