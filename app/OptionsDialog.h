#pragma once
// The "Advanced Options" panel: four pictures that open the system managers
// and the full registry backup, and a "Close" button.

#include "core/Handles.h"
#include "ui/SkinnedDialog.h"

extern const char optionsTitle[];

class OptionsDialog : public SkinnedDialog {
public:
    // The four picture areas, in client pixels, from top to bottom: browser
    // helper objects, startup programs, installed programs, full registry backup.
    static const RECT pictureAreas[4];

    OptionsDialog();

protected:
    BOOL OnInit() override;
    void OnPicture(int index) override;
    void PaintOverlay(HDC dc) override;

private:
    GdiObject<HFONT> titleFont;
    GdiObject<HFONT> itemFont;
};
