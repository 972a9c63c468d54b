#pragma once
// Cabinet.dll, loaded at run time by the compressor and the extractor, each
// taking the entry points it uses, and what both hand it.

#include <windows.h>

#include <type_traits>
#include <utility>

#include "core/Handles.h"

// Loads Cabinet.dll into `library` and fills each pointer with the entry point
// named beside it: LoadCabinetEntries(dll, std::pair{"FDICopy", &fdiCopy}, ...).
// True when all were found; otherwise nothing is kept: the library is
// released and every pointer is null.
template <typename... Functions>
bool LoadCabinetEntries(ModuleOwner& library, std::pair<const char*, Functions*>... entries)
{
    library.Reset(LoadLibraryA("Cabinet.dll"));
    auto find = [&library](auto entry) {
        *entry.second = reinterpret_cast<std::remove_pointer_t<decltype(entry.second)>>(
            reinterpret_cast<void*>(GetProcAddress(library.Get(), entry.first)));
        return *entry.second != nullptr;
    };
    if (library && (find(entries) && ...))
        return true;
    library.Reset();
    ((*entries.second = nullptr), ...);
    return false;
}

// The heap callbacks that compression and decompression both take.
inline void* __cdecl CabinetAlloc(ULONG size) { return HeapAlloc(GetProcessHeap(), 0, size); }
inline void __cdecl CabinetFree(void* memory) { HeapFree(GetProcessHeap(), 0, memory); }
