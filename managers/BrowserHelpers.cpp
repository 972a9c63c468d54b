#include "managers/BrowserHelpers.h"

#include "core/Registry.h"
#include "managers/EntryBackup.h"

const char browserHelpersKeyPath[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
const char browserHelpersBackupKey[] = "Software\\Quillmoor8\\BHOBkup";

std::vector<BrowserHelper> ListBrowserHelpers()
{
    std::vector<BrowserHelper> helpers;
    ForEachSubkey(HKEY_LOCAL_MACHINE, browserHelpersKeyPath, [&](const std::string& name, RegKey& object) {
        BrowserHelper helper;
        helper.classId = name;
        char display[256] = {};
        DWORD size = 255;
        if (object.QueryStringValue(display, "", &size) == ERROR_SUCCESS)
            helper.name = BufferText(display, size < 255 ? size : 255);
        helper.file = BrowserHelperFile(helper.classId);
        helpers.push_back(helper);
    });
    return helpers;
}

std::string BrowserHelperFile(const std::string& classId)
{
    return ReadRegString(HKEY_CLASSES_ROOT, "CLSID\\" + classId + "\\InprocServer32", "", REG_SZ);
}

int RemoveBrowserHelper(const std::string& classId)
{
    if (classId.empty())
        return 0;
    const std::string objectKey = std::string(browserHelpersKeyPath) + "\\" + classId;
    if (!CopyKeyTreeChecked(HKEY_LOCAL_MACHINE, objectKey, HKEY_CURRENT_USER, browserHelpersBackupKey,
                            classId, true))
        return 0;
    return DeleteRegKey(HKEY_LOCAL_MACHINE, objectKey);
}
