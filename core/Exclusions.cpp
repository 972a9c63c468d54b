#include "core/PathCheck.h"

#include <windows.h>

#include "core/Text.h"

// Entries that are noise in every registry: caches, system-managed folders,
// services and components whose references are known to look broken while
// they work. A problem mentioning any of them is never shown.
const char BuiltInExclusions[builtInExclusionCount][260] = {
    "software\\microsoft\\windows\\currentversion\\internet settings\\cache\\paths",
    "content.ie5\\cache",
    "advanced inf setup",
    "ie.hklmzoneInfo",
    "ie.hkcuzoneInfo",
    "HKEY_CLASSES_ROOT\\.htc",
    ".htc",
    ".dbx",
    "recycled",
    "recycler",
    ".BAS",
    ".MST",
    ".NCH",
    ".VB",
    "CachePath",
    "svchost",
    "DumpFile",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
    ".RAR",
    ".PCD",
    "Services\\mchInjDrv",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Hewlett-Packard\\DigitalImaging\\CtxMgr\\Strings",
    "Software\\Microsoft\\MPEG2Demultiplexer\\WriteCaptureDir",
    "HKEY_CLASSES_ROOT\\TypeLib\\{00025E01-0000-0000-C000-000000000046}\\5.0\\HELPDIR",
    "LeadToolsDir",
    "ProjectsPluginsDir",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Hewlett-Packard\\DigitalImaging",
    "CoreIncludePath",
    "SdkDvdGraphicsPath",
    "SdkIncludePath",
    "LocalDelta",
    "RemoteDelta",
    "JITSetupPage",
    "blank.htm",
    "HKEY_CLASSES_ROOT\\CLSID\\{0A4550F5-9BC3-4152-B387-A6A92314EFB9}\\InprocServer32",
    "HKEY_CLASSES_ROOT\\CLSID\\{8B621BBF-A21D-4311-92E5-A98E7DDDF36A}\\InprocServer32",
    "HKEY_CLASSES_ROOT\\CLSID\\{8E16892B-25C6-431f-8297-0EABCF13AC59}\\InprocServer32",
    "HKEY_CLASSES_ROOT\\CLSID\\{98F933D7-551D-45c5-A99A-93D438DA87D9}\\InprocServer32",
    "HistoryHashMapFile",
    "DocIdMapFile",
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\CLFS",
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Filetrace",
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\RDPCDD",
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\RDPENCDD",
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\SamSs",
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\sptd",
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\VgaSave",
    "Services\\MySQL",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows Search\\Gather\\Windows\\SystemIndex",
    "mysqld-nt",
    "flash9b.ocx",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\explorer\\VolumeCaches",
};

namespace {

// The built-in entries as they are compared, lowered once: every problem found
// is held against all of them.
const std::vector<std::string>& LoweredBuiltInExclusions()
{
    static const std::vector<std::string> lowered = [] {
        std::vector<std::string> entries;
        for (const char* exclusion : BuiltInExclusions)
            entries.push_back(Lowered(exclusion));
        return entries;
    }();
    return lowered;
}

} // namespace

int IsExcludedReference(const std::string& text, const std::vector<std::string>& ignoreList)
{
    std::string lowered = Lowered(text);
    for (const std::string& exclusion : LoweredBuiltInExclusions())
        if (lowered.find(exclusion) != std::string::npos)
            return 1;
    for (const std::string& entry : ignoreList) {
        // An empty entry would hide every problem.
        if (!entry.empty() && lowered.find(Lowered(entry)) != std::string::npos)
            return 1;
    }
    return 0;
}
