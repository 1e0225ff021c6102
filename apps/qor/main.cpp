// qor: the command-line host of the report engine.
#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::fputs("usage: qor new FILE | qor info FILE\n", stderr);
    return 2;
}
