#include "ui/Dialog.h"

Dialog::Dialog(int id) : templateId(id) {}

INT_PTR Dialog::RunModal(HWND parent)
{
    modal = true;
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId), parent,
                           Proc, reinterpret_cast<LPARAM>(this));
}

HWND Dialog::CreateModeless(HWND parent)
{
    modal = false;
    return CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId), parent,
                              Proc, reinterpret_cast<LPARAM>(this));
}

void Dialog::End(INT_PTR result)
{
    if (!hwnd)
        return;
    if (modal)
        EndDialog(hwnd, result);
    else
        DestroyWindow(hwnd);
}

void Dialog::OnCommand(int id, int)
{
    if (id == IDOK || id == IDCANCEL)
        End(id);
}

INT_PTR Dialog::OnNotify(int, NMHDR*)
{
    return 0;
}

void Dialog::OnTimer(UINT_PTR) {}

INT_PTR Dialog::OnMessage(UINT, WPARAM, LPARAM, bool&)
{
    return 0;
}

INT_PTR Dialog::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        return OnInit();
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_NOTIFY: {
        NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
        INT_PTR result = OnNotify(static_cast<int>(header->idFrom), header);
        SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
    case WM_TIMER:
        OnTimer(wParam);
        return TRUE;
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    default: {
        bool handled = false;
        INT_PTR result = OnMessage(msg, wParam, lParam, handled);
        return handled ? result : FALSE;
    }
    }
}

INT_PTR CALLBACK Dialog::Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Dialog* self;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        self->hwnd = window;
        SetWindowLongPtrA(window, DWLP_USER, lParam);
    } else {
        self = reinterpret_cast<Dialog*>(GetWindowLongPtrA(window, DWLP_USER));
    }
    if (!self)
        return FALSE;
    // Nothing may be thrown back into the dialog manager.
    INT_PTR result = FALSE;
    try {
        result = self->Dispatch(msg, wParam, lParam);
    } catch (...) {
        result = FALSE;
    }
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrA(window, DWLP_USER, 0);
        self->hwnd = nullptr;
    }
    return result;
}
