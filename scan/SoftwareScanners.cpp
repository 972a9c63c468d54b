// The scanners of the places where Windows and installed software keep
// references to files: startup lists, sounds, application paths, help files,
// shared libraries, fonts, installed programs, services and device drivers.
// Each walks one key by index and reports every entry whose file is gone.

#include "scan/Scanners.h"

#include <shlwapi.h>

#include "core/PathCheck.h"
#include "core/ProblemRecord.h"
#include "core/Registry.h"
#include "core/ResourceText.h"
#include "core/ScanSection.h"
#include "core/Text.h"
#include "resource.h"
#include "scan/ScanContext.h"

namespace {

const char runKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char soundsKey[] = "Control Panel\\Sounds";
const char appPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const char helpKey[] = "SOFTWARE\\Microsoft\\Windows\\Help";
const char sharedDllsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char fontsKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const char uninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char servicesKey[] = "SYSTEM\\CurrentControlSet\\Services";
const char vxdKey[] = "SYSTEM\\CurrentControlSet\\Services\\VXD";

// A value name may be as long as the registry allows; key names are short.
constexpr DWORD valueNameChars = 16383;
constexpr DWORD subkeyNameChars = 255;
// Value data is read as text into a fixed buffer; longer data is unreadable.
constexpr DWORD valueDataBytes = 260;
constexpr DWORD appPathBytes = 255;

void ReportMissingFile(ScanContext& context, unsigned section, const std::string& item,
                       const std::string& keyPath, const std::string& valueName,
                       const std::string& valueData)
{
    context.Report(MakeProblemRecord(section, item, keyPath, valueName, valueData,
                                     ResourceString(IDS_FILE_MISSING)));
}

// How many values or subkeys the key holds; 0 when it cannot tell.
DWORD CountEntries(HKEY key, bool values)
{
    DWORD subkeys = 0, valueCount = 0;
    if (regApi.RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                &valueCount, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return 0;
    return values ? valueCount : subkeys;
}

// The end of every entry: an examined entry shows its status text and lets
// the window breathe; a skipped one (empty status) only moves the bar.
void FinishEntry(ScanContext& context, const std::string& status)
{
    if (!status.empty()) {
        context.ShowItem(status);
        context.Pump();
    }
    context.Step();
}

// Walks the values of root\path by index. `examine(name, data)` judges one
// value (data stays empty unless `readData`) and answers its status text, or
// the empty text to skip it. False when the key cannot be opened.
template <typename Examine>
bool WalkValues(ScanContext& context, HKEY root, const char* path, bool readData, Examine examine)
{
    RegKey key;
    if (key.Open(root, path, KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return false;
    DWORD count = CountEntries(key.Handle(), true);
    std::string name(valueNameChars + 1, '\0');
    char data[valueDataBytes + 1];
    for (DWORD index = 0; index < count && context.KeepScanning(); ++index) {
        DWORD nameLength = valueNameChars + 1;
        DWORD type = REG_SZ;
        DWORD dataLength = valueDataBytes;
        LONG result = regApi.RegEnumValueA(key.Handle(), index, &name[0], &nameLength, nullptr,
                                           &type, readData ? reinterpret_cast<BYTE*>(data) : nullptr,
                                           readData ? &dataLength : nullptr);
        std::string status;
        if (result == ERROR_SUCCESS) {
            data[readData ? dataLength : 0] = '\0';
            status = examine(name.substr(0, nameLength), std::string(data));
        }
        FinishEntry(context, status);
    }
    return true;
}

// Walks the subkeys of root\path by index; `examine(name)` as above.
template <typename Examine>
void WalkSubkeys(ScanContext& context, HKEY root, const char* path, Examine examine)
{
    RegKey key;
    if (key.Open(root, path, KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return;
    DWORD count = CountEntries(key.Handle(), false);
    char name[subkeyNameChars];
    for (DWORD index = 0; index < count && context.KeepScanning(); ++index) {
        DWORD nameLength = subkeyNameChars;
        std::string status;
        if (regApi.RegEnumKeyExA(key.Handle(), index, name, &nameLength, nullptr, nullptr, nullptr,
                                 nullptr) == ERROR_SUCCESS)
            status = examine(std::string(name, nameLength));
        FinishEntry(context, status);
    }
}

// Reads a value of an open key as text into a buffer of `capacity` bytes;
// false when it cannot be read or does not fit.
bool ReadText(HKEY key, const char* valueName, DWORD capacity, std::string& text)
{
    std::string buffer(capacity + 1, '\0');
    DWORD type = REG_SZ;
    DWORD length = capacity;
    if (regApi.RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(&buffer[0]),
                                &length) != ERROR_SUCCESS)
        return false;
    buffer[length] = '\0';
    text = buffer.c_str();
    return true;
}

// A Run value: a command that exists as it stands is fine; otherwise the
// command line is judged.
bool WalkRunValues(ScanContext& context, HKEY root, const std::string& keyPath)
{
    return WalkValues(context, root, runKey, true,
                        [&](const std::string& name, const std::string& data) {
                            if (!PathFileExistsA(data.c_str()) && !IsValidPath(data))
                                ReportMissingFile(context, SectionStartup, data, keyPath, name, data);
                            return keyPath + "\\" + data;
                        });
}

// Service and driver paths come in many forms (\SystemRoot\..., \??\C:\...,
// system32\x.sys, a program name with arguments); bring them to one absolute
// file path. Empty when there is nothing to judge.
std::string ServiceFilePath(const std::string& raw, const std::string& windows,
                            const std::string& relativeBase)
{
    std::string path = LowerAscii(raw);
    ReplaceAll(path, "%systemroot%", windows);
    ReplaceAll(path, "systemroot", windows);
    size_t colon = path.find(':');
    if (colon != std::string::npos) {
        // Keep the drive letter in front of the colon, drop any prefix before it.
        path = path.substr(colon == 0 ? 0 : colon - 1);
    } else {
        path = relativeBase + (path.compare(0, 1, "\\") == 0 ? "" : "\\") + path;
    }
    if (path.find('.') == std::string::npos) {
        size_t blank = path.find(' ');
        // A built-in driver name such as *vmm names no file at all.
        if (blank == std::string::npos)
            return "";
        path = path.substr(0, blank) + ".exe";
    }
    return path;
}

// Services and drivers: one subkey each, whose `valueName` holds the file.
void ScanServiceKeys(ScanContext& context, const char* walkedKey, const char* valueName,
                     unsigned section, const std::string& relativeBase)
{
    const std::string keyPrefix = "HKEY_LOCAL_MACHINE\\" + std::string(walkedKey) + "\\";
    const std::string windows = GetWindowsFolder();
    WalkSubkeys(context, HKEY_LOCAL_MACHINE, walkedKey, [&](const std::string& subkey) {
        std::string raw =
            ReadRegString(HKEY_LOCAL_MACHINE, std::string(walkedKey) + "\\" + subkey, valueName);
        if (raw.empty())
            return std::string();
        std::string tested = ServiceFilePath(raw, windows, relativeBase);
        if (tested.empty())
            return std::string();
        std::string keyPath = keyPrefix + subkey;
        if (!IsValidPath(tested))
            ReportMissingFile(context, section, tested, keyPath, valueName, tested);
        return keyPath;
    });
}

} // namespace

void ScanStartupPrograms(ScanContext& context)
{
    // Without the machine-wide list the user's list is not looked at either.
    if (WalkRunValues(context, HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE\\" + std::string(runKey)))
        WalkRunValues(context, HKEY_CURRENT_USER, "HKEY_CURRENT_USER\\" + std::string(runKey));
}

void ScanSounds(ScanContext& context)
{
    // The record names the value, so that repair removes that one sound and
    // never the whole scheme.
    const std::string keyPath = "HKEY_CURRENT_USER\\" + std::string(soundsKey);
    WalkValues(context, HKEY_CURRENT_USER, soundsKey, true,
               [&](const std::string& name, const std::string& data) {
                   if (data != "," && !IsValidPath(data))
                       ReportMissingFile(context, SectionSounds, data, keyPath, name, data);
                   return keyPath + "\\" + data;
               });
}

void ScanAppPaths(ScanContext& context)
{
    const std::string windows = GetWindowsFolder();
    const std::string programFiles = GetProgramFilesFolder();
    WalkSubkeys(context, HKEY_LOCAL_MACHINE, appPathsKey, [&](const std::string& subkey) {
        std::string path = std::string(appPathsKey) + "\\" + subkey;
        RegKey key;
        std::string data;
        if (key.Open(HKEY_LOCAL_MACHINE, path, KEY_ALL_ACCESS) != ERROR_SUCCESS ||
            !ReadText(key.Handle(), "", appPathBytes, data))
            return std::string();
        ReplaceAll(data, "%SystemRoot%", windows);
        ReplaceAll(data, "%systemroot%", windows);
        ReplaceAll(data, "%ProgramFiles%", programFiles);
        ReplaceAll(data, "%programfiles%", programFiles);
        std::string keyPath = "HKEY_LOCAL_MACHINE\\" + path;
        if (!IsValidPath(data))
            ReportMissingFile(context, SectionAppPaths, data, keyPath,
                              ResourceString(IDS_DEFAULT_VALUE), data);
        return keyPath;
    });
}

void ScanHelpFiles(ScanContext& context)
{
    // Each value names a help file; its data is the folder that holds it.
    const std::string keyPath = "HKEY_LOCAL_MACHINE\\" + std::string(helpKey);
    WalkValues(context, HKEY_LOCAL_MACHINE, helpKey, true,
               [&](const std::string& name, const std::string& data) {
                   std::string tested = data + "\\" + name;
                   if (!IsValidPath(tested))
                       ReportMissingFile(context, SectionHelpFiles, tested, keyPath, name, tested);
                   return keyPath + "\\" + name;
               });
}

void ScanSharedDlls(ScanContext& context)
{
    // The value name is the library; its data is only a reference count.
    const std::string keyPath = "HKEY_LOCAL_MACHINE\\" + std::string(sharedDllsKey);
    WalkValues(context, HKEY_LOCAL_MACHINE, sharedDllsKey, false,
               [&](const std::string& name, const std::string&) {
                   if (!IsValidPath(name))
                       ReportMissingFile(context, SectionSharedDlls, name, keyPath, name, name);
                   return keyPath + "\\" + name;
               });
}

void ScanFonts(ScanContext& context)
{
    // A font given by its file name alone lives in the Windows Fonts folder.
    const std::string keyPath = "HKEY_LOCAL_MACHINE\\" + std::string(fontsKey);
    const std::string windows = GetWindowsFolder();
    WalkValues(context, HKEY_LOCAL_MACHINE, fontsKey, true,
               [&](const std::string& name, const std::string& data) {
                   if (!PathFileExistsA(data.c_str())) {
                       std::string tested = windows + "\\Fonts\\" + data;
                       if (!IsValidPath(tested))
                           ReportMissingFile(context, SectionFonts, tested, keyPath, name, tested);
                   }
                   return keyPath + "\\" + data;
               });
}

void ScanAddRemovePrograms(ScanContext& context)
{
    const std::string windows = GetWindowsFolder();
    const std::string programFiles = GetProgramFilesFolder();
    WalkSubkeys(context, HKEY_LOCAL_MACHINE, uninstallKey, [&](const std::string& subkey) {
        std::string path = std::string(uninstallKey) + "\\" + subkey;
        RegKey key;
        if (key.Open(HKEY_LOCAL_MACHINE, path, KEY_ALL_ACCESS) != ERROR_SUCCESS)
            return std::string();
        // Entries that Windows hides from the installed-programs list are not judged.
        DWORD systemComponent = 0;
        if (key.QueryDwordValue(systemComponent, "SystemComponent") == ERROR_SUCCESS &&
            systemComponent == 1)
            return std::string();
        std::string command;
        if (!ReadText(key.Handle(), "UninstallString", valueDataBytes, command) || command.empty())
            return std::string();
        std::string tested = LowerAscii(command);
        ReplaceAll(tested, "%systemroot%", windows);
        ReplaceAll(tested, "%programfiles%", programFiles);
        std::string keyPath = "HKEY_LOCAL_MACHINE\\" + path;
        if (!IsValidPath(tested))
            ReportMissingFile(context, SectionAddRemove, command, keyPath, "UninstallString",
                              tested);
        return keyPath;
    });
}

void ScanServices(ScanContext& context)
{
    ScanServiceKeys(context, servicesKey, "ImagePath", SectionServices, GetWindowsFolder());
}

void ScanVxds(ScanContext& context)
{
    ScanServiceKeys(context, vxdKey, "StaticVXD", SectionVxd, GetSystemFolder());
}
