#include "ui/SkinnedDialog.h"

#include <windowsx.h>
#include <commctrl.h>

#include "resource.h"
#include "ui/Skin.h"

namespace {

// Text drawn on the skin without a look of its own.
constexpr COLORREF plainText = RGB(40, 52, 72);

int StripId(ButtonStyle style)
{
    switch (style) {
    case ButtonStyle::Nav:
        return IDB_BUTTON_NAV;
    case ButtonStyle::Primary:
        return IDB_BUTTON_PRIMARY;
    case ButtonStyle::Secondary:
        return IDB_BUTTON_SECONDARY;
    case ButtonStyle::Small:
        return IDB_BUTTON_SMALL;
    case ButtonStyle::Close:
        return IDB_BUTTON_CLOSE;
    }
    return 0;
}

bool Inside(const RECT& area, POINT point)
{
    return PtInRect(&area, point) != FALSE;
}

} // namespace

HBITMAP SkinnedDialog::Background() const
{
    auto found = backgrounds.find(backgroundId);
    return found == backgrounds.end() ? nullptr : found->second.Get();
}

void SkinnedDialog::ApplyShape(int bitmapId)
{
    SetBackground(bitmapId);
    HBITMAP bitmap = Background();
    SIZE size = BitmapSize(bitmap);
    if (size.cx <= 0)
        return;
    // The client area is the bitmap; whatever frame the style adds stays around it.
    RECT frame = {0, 0, size.cx, size.cy};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_EXSTYLE)));
    int width = frame.right - frame.left, height = frame.bottom - frame.top;
    HWND owner = GetWindow(hwnd, GW_OWNER);
    RECT around = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (owner && IsWindowVisible(owner))
        GetWindowRect(owner, &around);
    int x = around.left + (around.right - around.left - width) / 2;
    int y = around.top + (around.bottom - around.top - height) / 2;
    SetWindowPos(hwnd, nullptr, x < 0 ? 0 : x, y < 0 ? 0 : y, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);

    HRGN shape = RegionFromBitmap(bitmap, SkinCutColour);
    if (shape) {
        // The region is in window coordinates; the client may sit inside a frame.
        POINT origin = {0, 0};
        ClientToScreen(hwnd, &origin);
        RECT window;
        GetWindowRect(hwnd, &window);
        OffsetRgn(shape, origin.x - window.left, origin.y - window.top);
        SetWindowRgn(hwnd, shape, TRUE); // the window owns the region now
    }
}

void SkinnedDialog::SetBackground(int bitmapId)
{
    if (!backgrounds.count(bitmapId))
        backgrounds[bitmapId] = LoadSkinBitmap(bitmapId);
    backgroundId = bitmapId;
}

void SkinnedDialog::Place(int id, int x, int y, int width, int height)
{
    SetWindowPos(Item(id), nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

const ButtonLook& SkinnedDialog::LookFor(ButtonStyle style)
{
    if (!buttonFont)
        buttonFont = CreateSkinFont(12, true);
    auto found = looks.find(style);
    if (found != looks.end())
        return found->second;
    strips[style] = LoadSkinBitmap(StripId(style));
    ButtonLook look;
    look.strip = strips[style].Get();
    look.font = buttonFont.Get();
    const bool light = style == ButtonStyle::Nav || style == ButtonStyle::Primary;
    const COLORREF text = light ? RGB(255, 255, 255) : RGB(24, 58, 110);
    look.text[BitmapButton::Normal] = text;
    look.text[BitmapButton::Hover] = text;
    look.text[BitmapButton::Pressed] = text;
    look.text[BitmapButton::Disabled] =
        style == ButtonStyle::Nav ? RGB(128, 146, 172) : RGB(150, 158, 170);
    return looks[style] = look;
}

void SkinnedDialog::MakeBitmapButton(int id, ButtonStyle style)
{
    HWND button = Item(id);
    if (button)
        buttons.push_back(std::make_unique<BitmapButton>(button, LookFor(style)));
}

void SkinnedDialog::SetTextLook(int id, HFONT font, COLORREF colour)
{
    textLooks[id] = TextLook{font, colour};
    if (font)
        SendMessageA(Item(id), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

int SkinnedDialog::AddPicture(const RECT& area, int bitmapId)
{
    pictures.push_back(Picture{area, LoadSkinBitmap(bitmapId)});
    return static_cast<int>(pictures.size()) - 1;
}

void SkinnedDialog::SetWindowBoxes(const RECT& minimise, const RECT& close)
{
    minimiseBox = minimise;
    closeBox = close;
}

int SkinnedDialog::PictureAt(POINT point) const
{
    for (size_t i = 0; i < pictures.size(); ++i) {
        if (Inside(pictures[i].area, point))
            return static_cast<int>(i);
    }
    return -1;
}

void SkinnedDialog::PaintBackground(HDC dc, const RECT& area, int destX, int destY) const
{
    HBITMAP bitmap = Background();
    if (!bitmap)
        return;
    BitmapDc source(dc, bitmap);
    BitBlt(dc, destX, destY, area.right - area.left, area.bottom - area.top, source.Get(),
           area.left, area.top, SRCCOPY);
}

void SkinnedDialog::PaintPicture(HDC dc, size_t index) const
{
    const Picture& picture = pictures[index];
    const RECT& area = picture.area;
    SIZE size = BitmapSize(picture.bitmap.Get());
    if (size.cx > 0) {
        BitmapDc source(dc, picture.bitmap.Get());
        StretchBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top,
                   source.Get(), 0, 0, size.cx, size.cy, SRCCOPY);
    }
    if (static_cast<int>(index) == hoveredPicture) {
        // A ring around the picture under the mouse.
        GdiObject<HPEN> pen(CreatePen(PS_SOLID, 2, RGB(59, 125, 216)));
        HGDIOBJ oldPen = SelectObject(dc, pen.Get());
        HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
        RoundRect(dc, area.left - 3, area.top - 3, area.right + 4, area.bottom + 4, 16, 16);
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
    }
}

void SkinnedDialog::Paint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    RECT client;
    GetClientRect(hwnd, &client);
    if (IsIconic(hwnd)) {
        HICON icon = reinterpret_cast<HICON>(SendMessageA(hwnd, WM_GETICON, ICON_BIG, 0));
        int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
        int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
        DrawIcon(dc, x, y, icon);
    } else {
        PaintBackground(dc, client, 0, 0);
        for (size_t i = 0; i < pictures.size(); ++i)
            PaintPicture(dc, i);
        PaintOverlay(dc);
    }
    EndPaint(hwnd, &paint);
}

INT_PTR SkinnedDialog::ControlColour(HDC dc, HWND control)
{
    // The control shows the background behind it, so text looks transparent
    // and a changed text never leaves the old one behind.
    RECT area;
    GetWindowRect(control, &area);
    MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&area), 2);
    PaintBackground(dc, area, 0, 0);
    auto look = textLooks.find(GetDlgCtrlID(control));
    SetTextColor(dc, look == textLooks.end() ? plainText : look->second.colour);
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
}

bool SkinnedDialog::OnLeftButtonDown(POINT point)
{
    if (Inside(closeBox, point)) {
        PostMessageA(hwnd, WM_COMMAND, IDCANCEL, 0);
        return true;
    }
    if (Inside(minimiseBox, point)) {
        ShowWindow(hwnd, SW_MINIMIZE);
        return true;
    }
    int picture = PictureAt(point);
    if (picture >= 0) {
        OnPicture(picture);
        return true;
    }
    ReleaseCapture();
    SendMessageA(hwnd, WM_NCLBUTTONDOWN, HTCAPTION, 0);
    return true;
}

bool SkinnedDialog::OnSetCursor()
{
    POINT point;
    GetCursorPos(&point);
    ScreenToClient(hwnd, &point);
    if (PictureAt(point) < 0)
        return false;
    SetCursor(LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_HAND_CURSOR)));
    return true;
}

void SkinnedDialog::SetHoveredPicture(int index)
{
    if (index == hoveredPicture)
        return;
    auto invalidate = [this](int which) {
        if (which < 0)
            return;
        RECT ring = pictures[which].area;
        InflateRect(&ring, 5, 5);
        InvalidateRect(hwnd, &ring, FALSE);
    };
    invalidate(hoveredPicture);
    hoveredPicture = index;
    invalidate(hoveredPicture);
}

void SkinnedDialog::OnMouseMove(POINT point)
{
    if (pictures.empty())
        return;
    int index = PictureAt(point);
    if (index >= 0 && hoveredPicture < 0) {
        TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, hwnd, 0};
        _TrackMouseEvent(&track);
    }
    SetHoveredPicture(index);
}

INT_PTR SkinnedDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled)
{
    handled = true;
    switch (msg) {
    case WM_ERASEBKGND:
        return TRUE; // WM_PAINT covers every pixel
    case WM_PAINT:
        Paint();
        return TRUE;
    case WM_PRINTCLIENT: {
        RECT client;
        GetClientRect(hwnd, &client);
        PaintBackground(reinterpret_cast<HDC>(wParam), client, 0, 0);
        return TRUE;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return ControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        for (const auto& button : buttons) {
            if (button->Handle() == item->hwndItem) {
                button->Draw(*item);
                return TRUE;
            }
        }
        handled = false;
        return FALSE;
    }
    case WM_LBUTTONDOWN:
        return OnLeftButtonDown(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    case WM_MOUSEMOVE:
        OnMouseMove(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return TRUE;
    case WM_MOUSELEAVE:
        SetHoveredPicture(-1);
        return TRUE;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == hwnd && LOWORD(lParam) == HTCLIENT && OnSetCursor()) {
            SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        handled = false;
        return FALSE;
    default:
        handled = false;
        return FALSE;
    }
}
