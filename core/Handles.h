#pragma once
// Owners of Win32 handles: each closes its handle when destroyed or reset.
// Movable, not copyable, so a handle has exactly one owner at a time.

#include <windows.h>

#include <utility>

// Keeps one handle of some kind; Traits says what "no handle" is and how to close it.
template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() = default;
    explicit UniqueHandle(Type handle) : handle(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Type Get() const { return handle; }
    explicit operator bool() const { return !Traits::IsEmpty(handle); }

    // Closes the handle held so far and holds `next` instead.
    void Reset(Type next = Traits::Empty())
    {
        if (!Traits::IsEmpty(handle))
            Traits::Close(handle);
        handle = next;
    }
    // Gives the handle up without closing it.
    Type Release() { return std::exchange(handle, Traits::Empty()); }

private:
    Type handle = Traits::Empty();
};

// Kernel handles. CreateFile answers INVALID_HANDLE_VALUE on failure, most
// other calls null; both mean "nothing held".
struct KernelHandleTraits {
    using Type = HANDLE;
    static HANDLE Empty() { return nullptr; }
    static bool IsEmpty(HANDLE h) { return h == nullptr || h == INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
using HandleOwner = UniqueHandle<KernelHandleTraits>;

// FindFirstFile handles, which FindClose ends.
struct FindHandleTraits {
    using Type = HANDLE;
    static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
    static bool IsEmpty(HANDLE h) { return h == nullptr || h == INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { FindClose(h); }
};
using FindHandle = UniqueHandle<FindHandleTraits>;

// Loaded libraries.
struct ModuleTraits {
    using Type = HMODULE;
    static HMODULE Empty() { return nullptr; }
    static bool IsEmpty(HMODULE h) { return h == nullptr; }
    static void Close(HMODULE h) { FreeLibrary(h); }
};
using ModuleOwner = UniqueHandle<ModuleTraits>;

// GDI objects (fonts, bitmaps, brushes, pens, regions).
template <typename T>
struct GdiTraits {
    using Type = T;
    static T Empty() { return nullptr; }
    static bool IsEmpty(T h) { return h == nullptr; }
    static void Close(T h) { DeleteObject(h); }
};
template <typename T = HGDIOBJ>
using GdiObject = UniqueHandle<GdiTraits<T>>;

// One reference to a COM interface, released when the owner goes.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(ComPtr&& other) noexcept : pointer(std::exchange(other.pointer, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        if (this != &other) {
            Reset();
            pointer = std::exchange(other.pointer, nullptr);
        }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* Get() const { return pointer; }
    T* operator->() const { return pointer; }
    explicit operator bool() const { return pointer != nullptr; }
    // For the out-parameter of CoCreateInstance and QueryInterface; releases
    // what was held first.
    T** Put()
    {
        Reset();
        return &pointer;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    void Reset()
    {
        if (pointer)
            std::exchange(pointer, nullptr)->Release();
    }

private:
    T* pointer = nullptr;
};
