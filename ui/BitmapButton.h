#pragma once
// A push button drawn from a strip of four equal frames (normal, hover,
// pressed, disabled) with its caption centred on top. The dialog that owns
// it forwards WM_DRAWITEM; the button tracks the mouse itself for hover.

#include <windows.h>

#include "ui/WindowHook.h"

struct ButtonLook {
    HBITMAP strip = nullptr;  // not owned: the dialog keeps the skin
    HFONT font = nullptr;
    COLORREF text[4] = {};    // caption colour per frame
};

class BitmapButton {
public:
    enum Frame { Normal, Hover, Pressed, Disabled };

    // Makes `button` owner-drawn and starts tracking the mouse over it.
    BitmapButton(HWND button, const ButtonLook& look);
    BitmapButton(const BitmapButton&) = delete;
    BitmapButton& operator=(const BitmapButton&) = delete;

    HWND Handle() const { return button; }
    bool Hovered() const { return hovered; }
    // The frame a button in this owner-draw state shows.
    static Frame FrameFor(UINT itemState, bool hovered);
    void Draw(const DRAWITEMSTRUCT& item) const;

private:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void SetHovered(bool on);

    HWND button;
    ButtonLook look;
    WindowHook hook;
    bool hovered = false;
};
