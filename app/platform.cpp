#include "app/platform.h"

#include <cassert>

namespace {
Platform* currentPlatform = nullptr;
}

Platform& CurrentPlatform() {
    assert(currentPlatform && "SetPlatform must be called first");
    return *currentPlatform;
}

void SetPlatform(Platform* platform) { currentPlatform = platform; }
