#pragma once
// Keeps the registry back end as it is and puts it back when the test ends,
// whichever entries the test wrapped meanwhile.

#include "core/Registry.h"

class SavedBackEnd {
public:
    SavedBackEnd() : saved(regApi) {}
    ~SavedBackEnd() { regApi = saved; }
    SavedBackEnd(const SavedBackEnd&) = delete;
    SavedBackEnd& operator=(const SavedBackEnd&) = delete;

private:
    RegistryBackEnd saved;
};
