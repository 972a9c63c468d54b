#pragma once
// Small text helpers every layer shares.

#include <windows.h>

#include <string>

// The text lower-cased by the system's rules for the ANSI code page, accented
// letters included.
[[nodiscard]] inline std::string Lowered(std::string text)
{
    if (!text.empty())
        CharLowerBuffA(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

// The text with only the ASCII letters A to Z lower-cased: every file system
// folds at least these, so both texts name the same file.
[[nodiscard]] inline std::string LowerAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Replaces every `from` by `to`, left to right; a replacement is never searched again.
inline void ReplaceAll(std::string& text, const std::string& from, const std::string& to)
{
    if (from.empty())
        return;
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}
