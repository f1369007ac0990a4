#include "UiServices.h"

#include <cstdio>
#include <cstdlib>

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

void SetUi(UiServices *services)
{
    installed = services;
}
