#include "kdeprobe.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    KdeProbe probe;
    QString error;
    if (!probe.start(&error)) {
        std::fprintf(stderr, "pellmar-kde-probe: %s\n", qPrintable(error));
        return 1;
    }
    return app.exec();
}
