#pragma once
// Written by tools/skin.py: the pixel geometry of the skin. The windows
// place their controls by it so that they sit on the panels painted there.

#define SKIN_MAIN_WIDTH 732
#define SKIN_MAIN_HEIGHT 500
#define SKIN_NAV_X 12
#define SKIN_NAV_Y 86
#define SKIN_NAV_STEP 46
#define SKIN_NAV_WIDTH 148
#define SKIN_NAV_HEIGHT 38
#define SKIN_HELP_Y 446
#define SKIN_CARD_LEFT 188
#define SKIN_CARD_TOP 80
#define SKIN_CARD_RIGHT 716
#define SKIN_CARD_BOTTOM 484
#define SKIN_STRIP_LEFT 200
#define SKIN_STRIP_TOP 92
#define SKIN_STRIP_RIGHT 704
#define SKIN_STRIP_BOTTOM 148
#define SKIN_ROW_LEFT 200
#define SKIN_ROW_RIGHT 704
#define SKIN_ROW_TOP 164
#define SKIN_ROW_STEP 54
#define SKIN_ROW_HEIGHT 44
#define SKIN_ROW_ICON_RIGHT 242
#define SKIN_ACTION_WIDTH 150
#define SKIN_ACTION_HEIGHT 38
#define SKIN_SMALL_WIDTH 100
#define SKIN_SMALL_HEIGHT 28
#define SKIN_OPTIONS_WIDTH 380
#define SKIN_OPTIONS_HEIGHT 470
#define SKIN_OPTIONS_HEADER 56
