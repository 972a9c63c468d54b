#pragma once
// Our own window procedure put in front of a control's: each message goes to
// the owner's handler first, which passes on what it leaves to the control.
// The control gets its procedure back when the hook ends or the control goes.

#include <windows.h>

class WindowHook {
public:
    using Handler = LRESULT (*)(void* owner, UINT msg, WPARAM wParam, LPARAM lParam);

    WindowHook() = default;
    ~WindowHook() { Remove(); }
    WindowHook(const WindowHook&) = delete;
    WindowHook& operator=(const WindowHook&) = delete;

    void Install(HWND control, void* owner, Handler handler);
    // Hands each message to `(owner->*Method)(msg, wParam, lParam)`.
    template <typename Owner, LRESULT (Owner::*Method)(UINT, WPARAM, LPARAM)>
    void Install(HWND control, Owner* owner)
    {
        Install(control, owner, [](void* self, UINT msg, WPARAM wParam, LPARAM lParam) {
            return (static_cast<Owner*>(self)->*Method)(msg, wParam, lParam);
        });
    }
    // The hooked control; null once it has been destroyed.
    HWND Control() const { return control; }
    // The control's own answer to a message.
    LRESULT CallOriginal(UINT msg, WPARAM wParam, LPARAM lParam) const
    {
        return CallWindowProcA(original, control, msg, wParam, lParam);
    }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
    void Remove();

    HWND control = nullptr;
    WNDPROC original = nullptr;
    void* owner = nullptr;
    Handler handler = nullptr;
};
