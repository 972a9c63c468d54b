#pragma once
// What differs between the Windows versions the program runs on: the system
// family, functions that only newer systems export, COM start-up and the
// shell's special folders. The program is built against the oldest systems'
// headers; everything newer is reached through SystemFunction, so that the
// executable still loads where it is missing.

#include <windows.h>

#include <string>

// The named export of a system library, or null when this system lacks it.
// The library stays loaded for the life of the process.
FARPROC FindSystemFunction(const char* library, const char* name);

// FindSystemFunction as a typed pointer: SystemFunction<BOOL(WINAPI*)(HANDLE, PBOOL)>(...).
template <typename FunctionPointer>
FunctionPointer SystemFunction(const char* library, const char* name)
{
    return reinterpret_cast<FunctionPointer>(
        reinterpret_cast<void*>(FindSystemFunction(library, name)));
}

// 1 on Windows 95, 98 and Me (the high bit of the platform version), 0 on the NT family.
int IsWindows95Family();

// Joins the calling thread to a single-threaded COM apartment for the
// object's lifetime: CoInitializeEx where the system has it, else
// CoInitialize (Windows 95 without DCOM).
class ComApartment {
public:
    ComApartment();
    ~ComApartment() { Leave(); }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    bool Joined() const { return joined; }
    // Leaves the apartment before the object goes (idempotent).
    void Leave();

private:
    bool joined;
};

// A special folder of the shell (CSIDL_COOKIES, CSIDL_HISTORY, ...); the
// empty string when the system cannot tell. Shells older than 4.71 lack
// SHGetSpecialFolderPathA: the folder is then read from the user's
// "Shell Folders" key, where the shell has always recorded it.
std::string GetSpecialFolder(int csidl);
// The "Shell Folders" record alone; empty for an unknown folder or a missing value.
std::string SpecialFolderFromRegistry(int csidl);
