#pragma once
// The version strings of a program file, read from its version resource in
// the translation that suits the user best.

#include <windows.h>

#include <string>

class FileVersionInfo {
public:
    // Clears every field, then fills what the file's version resource has;
    // 1 when the resource could be read, else 0 (all fields stay empty).
    int Load(const std::string& path);

    // The fixed version record; all zero when the file has none.
    const VS_FIXEDFILEINFO& FixedInfo() const { return fixed; }

    const std::string& CompanyName() const { return strings[0]; }
    const std::string& FileDescription() const { return strings[1]; }
    const std::string& FileVersion() const { return strings[2]; }
    const std::string& InternalName() const { return strings[3]; }
    const std::string& LegalCopyright() const { return strings[4]; }
    const std::string& OriginalFileName() const { return strings[5]; }
    const std::string& ProductName() const { return strings[6]; }
    const std::string& ProductVersion() const { return strings[7]; }
    const std::string& Comments() const { return strings[8]; }
    const std::string& LegalTrademarks() const { return strings[9]; }
    const std::string& PrivateBuild() const { return strings[10]; }
    const std::string& SpecialBuild() const { return strings[11]; }

    static constexpr int StringCount = 12;
    // The names the strings are stored under, in the order of the accessors.
    static const char* const stringNames[StringCount];

private:
    VS_FIXEDFILEINFO fixed = {};
    std::string strings[StringCount];
};
