#pragma once
// Base of every dialog window: stores `this` when the dialog is created and
// hands each message to a small virtual handler. The object does not own the
// window; the window lives between OnInit and OnDestroy.

#include <windows.h>

class Dialog {
public:
    explicit Dialog(int templateId);
    virtual ~Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Runs the dialog modally; the result is what End was given, or -1 when
    // the dialog could not be created.
    INT_PTR RunModal(HWND parent);
    // Creates the dialog without a loop of its own; null on failure.
    HWND CreateModeless(HWND parent);

    HWND Handle() const { return hwnd; }
    HWND Item(int id) const { return GetDlgItem(hwnd, id); }
    void End(INT_PTR result);

protected:
    // Return FALSE when the handler set the focus itself.
    virtual BOOL OnInit() { return TRUE; }
    // Default: OK and Cancel end the dialog with their id.
    virtual void OnCommand(int id, int notifyCode);
    virtual INT_PTR OnNotify(int id, NMHDR* header);
    virtual void OnTimer(UINT_PTR timerId);
    virtual void OnDestroy() {}
    // Every other message; set handled to answer it and return the result.
    virtual INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);

    HWND hwnd = nullptr;

private:
    static INT_PTR CALLBACK Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT msg, WPARAM wParam, LPARAM lParam);

    int templateId;
    bool modal = false;
};
