#pragma once
// Owner of a loaded DLL: FreeLibrary when it goes.

#include <windows.h>

#include <utility>

class LibraryHandle {
public:
    LibraryHandle() = default;
    ~LibraryHandle() { Reset(); }
    LibraryHandle(LibraryHandle&& other) noexcept : module(std::exchange(other.module, nullptr)) {}
    LibraryHandle& operator=(LibraryHandle&& other) noexcept
    {
        if (this != &other) {
            Reset();
            module = std::exchange(other.module, nullptr);
        }
        return *this;
    }
    LibraryHandle(const LibraryHandle&) = delete;
    LibraryHandle& operator=(const LibraryHandle&) = delete;

    // Loads `name`; false (and nothing held) when it cannot be loaded.
    bool Load(const char* name)
    {
        Reset();
        module = LoadLibraryA(name);
        return module != nullptr;
    }
    void Reset()
    {
        if (module)
            FreeLibrary(module);
        module = nullptr;
    }
    bool IsLoaded() const { return module != nullptr; }
    // The entry point `name` as a function pointer of type T; null when missing.
    template <typename T> T Entry(const char* name) const
    {
        return module ? reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
    }

private:
    HMODULE module = nullptr;
};
