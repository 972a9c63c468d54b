#include "ui/MarkupText.h"

#include <cstring>

namespace {

enum Style { Bold = 1, Italic = 2, Underline = 4 };

enum class TagKind { Bold, Break, ShortBreak, Italic, Font, Paragraph, Underline };

struct TagRow {
    const char* name;
    TagKind kind;
    bool block;
};

// Tried from the last row back, so that "brs" is found before "br" and "br"
// before "b".
const TagRow tagTable[] = {
    {"b", TagKind::Bold, false},       {"br", TagKind::Break, true},
    {"brs", TagKind::ShortBreak, true}, {"em", TagKind::Italic, false},
    {"font", TagKind::Font, false},    {"i", TagKind::Italic, false},
    {"p", TagKind::Paragraph, true},   {"strong", TagKind::Bold, false},
    {"u", TagKind::Underline, false},
};
constexpr int tagRows = sizeof(tagTable) / sizeof(tagTable[0]);

// The colours saved by font tags. Shared by every call; emptied at the start
// of each, so an end tag without a start tag falls back to the first slot.
constexpr int colourStackSize = 8;
COLORREF colourStack[colourStackSize];
int colourCount = 0;

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether text[at..end) begins with `word`, without regard to case.
bool StartsWith(const char* text, int at, int end, const char* word)
{
    int length = static_cast<int>(std::strlen(word));
    if (end - at < length)
        return false;
    for (int i = 0; i < length; ++i)
        if (Lower(text[at + i]) != word[i])
            return false;
    return true;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 0;
}

// "#RRGGBB", the quote and the "#" both optional, read from `at`.
COLORREF ParseColour(const char* text, int at, int end)
{
    if (at < end && (text[at] == '"' || text[at] == '\''))
        ++at;
    if (at < end && text[at] == '#')
        ++at;
    int digits[6];
    for (int i = 0; i < 6; ++i)
        digits[i] = at + i < end ? HexDigit(text[at + i]) : 0;
    return RGB(digits[0] * 16 + digits[1], digits[2] * 16 + digits[3], digits[4] * 16 + digits[5]);
}

struct Token {
    enum Kind { Word, Tag, Dropped } kind = Word;
    int start = 0, end = 0; // the token's characters
    const TagRow* tag = nullptr;
    bool endTag = false;
};

// Reads one token that begins at `at` (not white space).
Token ReadToken(const char* text, int at, int end)
{
    Token token;
    token.start = at;
    if (text[at] == '<') {
        bool endTag = at + 1 < end && text[at + 1] == '/';
        int nameStart = at + (endTag ? 2 : 1);
        int nameEnd = nameStart;
        while (nameEnd < end && !IsSpace(text[nameEnd]) && text[nameEnd] != '<' && text[nameEnd] != '>')
            ++nameEnd;
        const TagRow* row = nullptr;
        for (int i = tagRows - 1; i >= 0 && !row; --i)
            if (StartsWith(text, nameStart, nameEnd, tagTable[i].name))
                row = &tagTable[i];
        if (row && row->kind == TagKind::Font) {
            int close = nameEnd;
            while (close < end && text[close] != '<' && text[close] != '>')
                ++close;
            token.kind = Token::Tag;
            token.end = close < end && text[close] == '>' ? close + 1 : close;
        } else if (row && nameEnd < end && text[nameEnd] == '>') {
            token.kind = Token::Tag;
            token.end = nameEnd + 1;
        } else if (!row && endTag) {
            token.kind = Token::Dropped;
            token.end = nameEnd < end && text[nameEnd] == '>' ? nameEnd + 1 : nameEnd;
        }
        if (token.kind != Token::Word) {
            token.tag = row;
            token.endTag = endTag;
            return token;
        }
        ++at; // drawn as a word, its "<" included
    }
    while (at < end && !IsSpace(text[at]) && text[at] != '<')
        ++at;
    token.kind = Token::Word;
    token.end = at;
    return token;
}

// One call's fonts: style 0 is the font the call found selected, the others
// are made from its description when first needed and deleted at the end.
class StyleFonts {
public:
    explicit StyleFonts(HDC dc) : fonts{static_cast<HFONT>(GetCurrentObject(dc, OBJ_FONT))}
    {
        if (!GetObjectA(fonts[0], sizeof(base), &base))
            base = LOGFONTA();
    }
    ~StyleFonts()
    {
        for (int style = 1; style < 8; ++style)
            if (fonts[style])
                DeleteObject(fonts[style]);
    }
    StyleFonts(const StyleFonts&) = delete;
    StyleFonts& operator=(const StyleFonts&) = delete;

    HFONT For(int style)
    {
        if (!fonts[style]) {
            LOGFONTA look = base;
            if (style & Bold)
                look.lfWeight = FW_BOLD;
            look.lfItalic = (style & Italic) ? TRUE : base.lfItalic;
            look.lfUnderline = (style & Underline) ? TRUE : base.lfUnderline;
            fonts[style] = CreateFontIndirectA(&look);
        }
        return fonts[style] ? fonts[style] : fonts[0];
    }

private:
    HFONT fonts[8] = {};
    LOGFONTA base = {};
};

} // namespace

int DrawMarkupText(HDC dc, const char* text, int length, RECT* rect, UINT format)
{
    if (!dc || !text)
        return 0;
    const int end = length < 0 ? static_cast<int>(std::strlen(text)) : length;
    const bool wordBreak = (format & DT_WORDBREAK) != 0;
    const bool singleLine = (format & DT_SINGLELINE) != 0;
    const bool calculateOnly = (format & DT_CALCRECT) != 0;
    const UINT drawFormat = (format & (DT_WORDBREAK | DT_SINGLELINE)) | DT_NOPREFIX;

    POINT origin = {0, 0};
    int limit;
    if (rect) {
        origin = POINT{rect->left, rect->top};
        limit = rect->right - rect->left;
    } else {
        GetCurrentPositionEx(dc, &origin);
        limit = GetDeviceCaps(dc, HORZRES) - origin.x;
    }
    if (limit < 0)
        limit = 0;

    int saved = SaveDC(dc);
    int lastY = 0, widest = 0, lineHeight = 0;
    {
        StyleFonts fonts(dc);
        SIZE size = {};
        GetTextExtentPoint32A(dc, "\xC5y", 2, &size);
        lineHeight = size.cy;
        colourCount = 0;

        int x = 0, y = 0, style = 0, measuredStyle = -1, blankWidth = 0;
        bool pendingBlank = false;
        int at = 0;
        while (at < end) {
            bool sawSpace = false;
            while (at < end && IsSpace(text[at])) {
                sawSpace = true;
                ++at;
            }
            if (at >= end)
                break;
            if (sawSpace)
                pendingBlank = true;
            const int tokenStart = at;
            Token token = ReadToken(text, at, end);
            at = token.end;
            if (token.kind == Token::Dropped)
                continue;
            if (token.kind == Token::Tag) {
                const TagRow& tag = *token.tag;
                const bool start = !token.endTag;
                switch (tag.kind) {
                case TagKind::Bold:
                    style = start ? style | Bold : style & ~Bold;
                    break;
                case TagKind::Italic:
                    style = start ? style | Italic : style & ~Italic;
                    break;
                case TagKind::Underline:
                    style = start ? style | Underline : style & ~Underline;
                    break;
                case TagKind::Break:
                case TagKind::ShortBreak:
                case TagKind::Paragraph:
                    if (start && !singleLine) {
                        if (tag.kind == TagKind::Break)
                            y += lineHeight;
                        else if (tag.kind == TagKind::ShortBreak)
                            y += 4;
                        else if (tokenStart != 0)
                            y += lineHeight * 3 / 2;
                        x = 0;
                    }
                    break;
                case TagKind::Font:
                    if (!start) {
                        SetTextColor(dc, colourCount > 0 ? colourStack[--colourCount] : colourStack[0]);
                    } else if (StartsWith(text, tokenStart + 6, token.end, "color=")) {
                        COLORREF colour = ParseColour(text, tokenStart + 12, token.end);
                        if (colourCount < colourStackSize)
                            colourStack[colourCount++] = GetTextColor(dc);
                        SetTextColor(dc, colour);
                    }
                    break;
                }
                if (tag.block) {
                    // White space around a line break never makes a blank.
                    pendingBlank = false;
                    while (at < end && IsSpace(text[at]))
                        ++at;
                }
                continue;
            }

            const char* word = text + token.start;
            const int wordLength = token.end - token.start;
            if (style != measuredStyle) {
                SelectObject(dc, fonts.For(style));
                SIZE blank = {};
                GetTextExtentPoint32A(dc, " ", 1, &blank);
                blankWidth = blank.cx;
                measuredStyle = style;
            }
            SIZE wordSize = {};
            GetTextExtentPoint32A(dc, word, wordLength, &wordSize);
            const int width = wordSize.cx;
            if (width > limit)
                limit = width;
            if (pendingBlank)
                x += blankWidth;
            if (x + width > limit && pendingBlank) {
                if (wordBreak) {
                    y += lineHeight;
                    x = 0;
                } else {
                    limit = x + width;
                }
            }
            if (!calculateOnly) {
                // A word glued to the one before it may run past the limit;
                // it is drawn whole all the same.
                int right = x + width > limit ? x + width : limit;
                RECT area = {origin.x + x, origin.y + y, origin.x + right, origin.y + y + lineHeight};
                DrawTextA(dc, word, wordLength, &area, drawFormat);
            }
            x += width;
            if (x > widest)
                widest = x;
            pendingBlank = false;
        }
        lastY = y;
        RestoreDC(dc, saved);
    }
    if (calculateOnly && rect)
        *rect = RECT{origin.x, origin.y, origin.x + widest, origin.y + lastY + lineHeight};
    return lastY;
}
