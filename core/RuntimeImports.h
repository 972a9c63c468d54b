#pragma once
// Include in exactly one source file of each executable (it defines the
// import slots below): Quillmoor8.exe has it through core/Platform.cpp,
// updater.exe through its main file.

#include <windows.h>

#if defined(__i386__)
// The runtime libraries call three Unicode functions that Windows 95, 98 and
// Me export only as failing stubs: the C library asks for its own module
// (GetModuleHandleW) and offers rand_s (LoadLibraryW; nothing here calls it),
// the runtime's lock makes unnamed semaphores (CreateSemaphoreW). Their
// import slots are filled here with ANSI equivalents, so the executable
// imports none of them and each works on every system.
namespace {

extern "C" int __cdecl NoRandomSource(unsigned int* value)
{
    *value = 0;
    return 22; // EINVAL: no random source is offered
}

HANDLE WINAPI UnnamedSemaphore(LPSECURITY_ATTRIBUTES attributes, LONG initial, LONG maximum, LPCWSTR)
{
    return CreateSemaphoreA(attributes, initial, maximum, nullptr);
}

HMODULE WINAPI ModuleHandleOfWideName(LPCWSTR name)
{
    if (!name)
        return GetModuleHandleA(nullptr);
    char ansi[MAX_PATH] = "";
    if (!WideCharToMultiByte(CP_ACP, 0, name, -1, ansi, sizeof(ansi), nullptr, nullptr))
        return nullptr;
    return GetModuleHandleA(ansi);
}

} // namespace

extern "C" {
int(__cdecl* randSImport)(unsigned int*) __asm__("__imp__rand_s") = NoRandomSource;
HANDLE(WINAPI* createSemaphoreWImport)(LPSECURITY_ATTRIBUTES, LONG, LONG, LPCWSTR) __asm__(
    "__imp__CreateSemaphoreW@16") = UnnamedSemaphore;
HMODULE(WINAPI* getModuleHandleWImport)(LPCWSTR) __asm__("__imp__GetModuleHandleW@4") =
    ModuleHandleOfWideName;
}
#endif
