#include "vadrel-db/scan/WrongCall.h"

#include <cstdio>

int wrongCall(const QByteArray &problem) {
    std::fprintf(stderr, "vadrel-db: %s\nTry 'vadrel-db --help' for more information.\n",
                 problem.constData());
    return 2;
}
