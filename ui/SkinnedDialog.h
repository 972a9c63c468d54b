#pragma once
// A dialog drawn entirely by the program: a background bitmap whose magenta
// pixels are cut from the window's shape, bitmap buttons, text on a
// transparent background, picture areas that open something when clicked,
// and minimise and close boxes painted on the background. A click on any
// bare background point moves the window, as a caption bar would.

#include <map>
#include <string>
#include <memory>
#include <vector>

#include "core/Handles.h"
#include "ui/BitmapButton.h"
#include "ui/Dialog.h"

enum class ButtonStyle {
    Nav,       // the navigation column
    Primary,   // the main action of a page
    Secondary, // other actions beside it
    Small,     // small buttons on a list row
    Close      // small buttons on the page itself
};

class SkinnedDialog : public Dialog {
public:
    using Dialog::Dialog;

    // The picture area under a client point, or -1.
    int PictureAt(POINT point) const;
    // The bitmap the window is drawn on now.
    HBITMAP Background() const;

protected:
    // Changes a control with its painting held and leaves the painting to the
    // next WM_PAINT, so that a control changed many times a second is drawn
    // only as often as the window has time for. A hidden control paints
    // nothing anyway, and turning its redraw back on would show it.
    template <typename Change>
    void ChangeQuietly(int controlId, Change change, BOOL erase = FALSE)
    {
        HWND control = Item(controlId);
        if (!IsWindowVisible(control)) {
            change(control);
            return;
        }
        SendMessageA(control, WM_SETREDRAW, FALSE, 0);
        change(control);
        SendMessageA(control, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(control, nullptr, erase);
    }
    void SetTextQuietly(int controlId, const std::string& text)
    {
        ChangeQuietly(controlId, [&text](HWND control) { SetWindowTextA(control, text.c_str()); });
    }

    // Sizes the client area to the bitmap, cuts the window's shape from its
    // magenta pixels and draws the window on it.
    void ApplyShape(int bitmapId);
    // Draws the window on another bitmap of the same size from now on.
    void SetBackground(int bitmapId);
    // Client pixels.
    void Place(int id, int x, int y, int width, int height);
    void MakeBitmapButton(int id, ButtonStyle style);
    // A text control's font and colour; its background stays transparent.
    void SetTextLook(int id, HFONT font, COLORREF colour);
    // A clickable picture in client pixels; returns its index.
    int AddPicture(const RECT& area, int bitmapId);
    void SetWindowBoxes(const RECT& minimise, const RECT& close);

    virtual void OnPicture(int /*index*/) {}
    // Whatever the window draws on its background besides its controls.
    virtual void PaintOverlay(HDC /*dc*/) {}

    INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    struct TextLook {
        HFONT font;
        COLORREF colour;
    };
    struct Picture {
        RECT area;
        GdiObject<HBITMAP> bitmap;
    };

    void Paint();
    void PaintBackground(HDC dc, const RECT& area, int destX, int destY) const;
    void PaintPicture(HDC dc, size_t index) const;
    INT_PTR ControlColour(HDC dc, HWND control);
    bool OnLeftButtonDown(POINT point);
    bool OnSetCursor();
    void OnMouseMove(POINT point);
    void SetHoveredPicture(int index);
    const ButtonLook& LookFor(ButtonStyle style);

    std::map<int, GdiObject<HBITMAP>> backgrounds;
    int backgroundId = 0;
    std::map<int, TextLook> textLooks;
    std::map<ButtonStyle, GdiObject<HBITMAP>> strips;
    std::map<ButtonStyle, ButtonLook> looks;
    GdiObject<HFONT> buttonFont;
    std::vector<std::unique_ptr<BitmapButton>> buttons;
    std::vector<Picture> pictures;
    int hoveredPicture = -1;
    RECT minimiseBox = {};
    RECT closeBox = {};
};
