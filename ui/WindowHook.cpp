#include "ui/WindowHook.h"

namespace {

const char hookProperty[] = "QuillmoorWindowHook";

} // namespace

void WindowHook::Install(HWND window, void* hookOwner, Handler hookHandler)
{
    Remove();
    control = window;
    owner = hookOwner;
    handler = hookHandler;
    SetPropA(control, hookProperty, this);
    original = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Proc)));
}

void WindowHook::Remove()
{
    if (control && IsWindow(control) && GetPropA(control, hookProperty) == this) {
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        RemovePropA(control, hookProperty);
    }
    control = nullptr;
}

LRESULT CALLBACK WindowHook::Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* self = static_cast<WindowHook*>(GetPropA(window, hookProperty));
    if (!self)
        return DefWindowProcA(window, msg, wParam, lParam);
    WNDPROC original = self->original;
    if (msg == WM_NCDESTROY) {
        self->Remove();
        return CallWindowProcA(original, window, msg, wParam, lParam);
    }
    // Nothing may be thrown back into the window manager.
    try {
        return self->handler(self->owner, msg, wParam, lParam);
    } catch (...) {
        return CallWindowProcA(original, window, msg, wParam, lParam);
    }
}
