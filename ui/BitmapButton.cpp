#include "ui/BitmapButton.h"

#include <commctrl.h>

#include "ui/Skin.h"

BitmapButton::BitmapButton(HWND button, const ButtonLook& look) : button(button), look(look)
{
    LONG_PTR style = GetWindowLongPtrA(button, GWL_STYLE);
    SetWindowLongPtrA(button, GWL_STYLE, (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);
    hook.Install<BitmapButton, &BitmapButton::OnMessage>(button, this);
}

BitmapButton::Frame BitmapButton::FrameFor(UINT itemState, bool hovered)
{
    if (itemState & ODS_DISABLED)
        return Disabled;
    if (itemState & ODS_SELECTED)
        return Pressed;
    return hovered ? Hover : Normal;
}

void BitmapButton::Draw(const DRAWITEMSTRUCT& item) const
{
    Frame frame = FrameFor(item.itemState, hovered);
    RECT area = item.rcItem;
    SIZE strip = BitmapSize(look.strip);
    int frameWidth = strip.cx / 4;
    {
        BitmapDc source(item.hDC, look.strip);
        StretchBlt(item.hDC, area.left, area.top, area.right - area.left, area.bottom - area.top,
                   source.Get(), frameWidth * frame, 0, frameWidth, strip.cy, SRCCOPY);
    }
    char caption[128] = "";
    GetWindowTextA(button, caption, sizeof(caption));
    if (frame == Pressed)
        OffsetRect(&area, 1, 1);
    HGDIOBJ oldFont = SelectObject(item.hDC, look.font);
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, look.text[frame]);
    DrawTextA(item.hDC, caption, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(item.hDC, oldFont);
}

void BitmapButton::SetHovered(bool on)
{
    if (hovered == on)
        return;
    hovered = on;
    InvalidateRect(button, nullptr, FALSE);
}

LRESULT BitmapButton::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_MOUSEMOVE:
        if (!hovered) {
            // Ask for WM_MOUSELEAVE so the hover frame goes when the mouse does.
            TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, button, 0};
            _TrackMouseEvent(&track);
            SetHovered(true);
        }
        break;
    case WM_MOUSELEAVE:
        SetHovered(false);
        break;
    case WM_ENABLE:
    case WM_SHOWWINDOW:
        SetHovered(false);
        break;
    case WM_ERASEBKGND:
        return TRUE; // the frame covers the whole button
    case WM_LBUTTONDBLCLK:
        // A quick second click is a second click, not a double click.
        msg = WM_LBUTTONDOWN;
        break;
    default:
        break;
    }
    return hook.CallOriginal(msg, wParam, lParam);
}
