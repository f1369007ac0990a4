#include "UiServices.h"

#include <cstdlib>
#include <cstdio>

namespace {
UiServices *installed = nullptr;
}

UiServices &Ui()
{
    if (!installed) {
        std::fputs("UiServices used before SetUi()\n", stderr);
        std::abort();
    }
    return *installed;
}

void SetUi(UiServices *services) { installed = services; }
