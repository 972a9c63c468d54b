#pragma once
// Lightly formatted text for the problem lists: a small tag language (bold,
// italic, underline, text colour, line breaks) laid out word by word into a
// rectangle, wrapping only between words that had white space between them.
//
// Tags: <b> <strong> bold; <i> <em> italic; <u> underline;
// <font color="#RRGGBB"> ... </font> text colour (up to 8 saved colours);
// <br> a new line, <brs> a new line 4 pixels lower, <p> a new line one and a
// half lines lower. Anything else that looks like a tag is drawn as text;
// an unknown end tag is dropped.

#include <windows.h>

// Draws (or, with DT_CALCRECT, only measures) `text` in the font and colour
// selected in `dc`. A negative `length` runs to the terminating zero. With a
// rectangle the text starts at its top-left corner and wraps at its width;
// without one it starts at the device context's current position and wraps
// at the device's width. Only DT_WORDBREAK, DT_SINGLELINE and DT_CALCRECT of
// `format` count; prefixes are never processed. With DT_CALCRECT and a
// rectangle, the rectangle becomes the area the text would take. Returns the
// offset of the last line from the top (0 for an empty text, a missing device
// context or a missing text). The device context's font and colour are as
// they were when the call returns.
int DrawMarkupText(HDC dc, const char* text, int length, RECT* rect, UINT format);
