#include "managers/FileVersionInfo.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

const char* const FileVersionInfo::stringNames[StringCount] = {
    "CompanyName", "FileDescription",  "FileVersion", "InternalName",
    "LegalCopyright", "OriginalFileName", "ProductName", "ProductVersion",
    "Comments",    "LegalTrademarks",  "PrivateBuild", "SpecialBuild"};

namespace {

struct Translation {
    WORD language;
    WORD codePage;
};

// The user's own language first, then the same primary language, then
// language-neutral text, then English, and the first entry when none fits.
Translation ChooseTranslation(const Translation* table, size_t count)
{
    const WORD user = GetUserDefaultLangID();
    auto primary = [](WORD language) { return language & 0xFF; };
    for (size_t i = 0; i < count; ++i)
        if (table[i].language == user)
            return table[i];
    for (WORD wanted : {static_cast<WORD>(primary(user)), WORD(LANG_NEUTRAL), WORD(LANG_ENGLISH)})
        for (size_t i = 0; i < count; ++i)
            if (primary(table[i].language) == wanted)
                return table[i];
    return table[0];
}

} // namespace

int FileVersionInfo::Load(const std::string& path)
{
    fixed = VS_FIXEDFILEINFO();
    for (std::string& text : strings)
        text.clear();

    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    if (size == 0)
        return 0;
    std::vector<BYTE> resource(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, resource.data()))
        return 0;

    void* block = nullptr;
    UINT length = 0;
    if (VerQueryValueA(resource.data(), "\\", &block, &length) && length == sizeof(fixed))
        memcpy(&fixed, block, sizeof(fixed));

    if (!VerQueryValueA(resource.data(), "\\VarFileInfo\\Translation", &block, &length) ||
        length < sizeof(Translation))
        return 1;
    Translation chosen =
        ChooseTranslation(static_cast<const Translation*>(block), length / sizeof(Translation));

    for (int i = 0; i < StringCount; ++i) {
        char query[80];
        snprintf(query, sizeof(query), "\\StringFileInfo\\%04X%04X\\%s", chosen.language,
                 chosen.codePage, stringNames[i]);
        if (VerQueryValueA(resource.data(), query, &block, &length) && length > 0) {
            // The length counts the terminator; the text ends at the first zero.
            strings[i].assign(static_cast<const char*>(block), length);
            strings[i].erase(std::min(strings[i].find('\0'), strings[i].size()));
        }
    }
    return 1;
}
