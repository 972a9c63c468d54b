// The file association scanner: extension keys below HKEY_CLASSES_ROOT whose
// registration leads nowhere.

#include <windows.h>

#include <string>

#include "core/PathCheck.h"
#include "core/ProblemRecord.h"
#include "core/Registry.h"
#include "core/ResourceText.h"
#include "core/ScanSection.h"
#include "resource.h"
#include "scan/ClassesWalk.h"
#include "scan/ScanContext.h"
#include "scan/Scanners.h"

namespace {

// 1 when some subkey of the extension key (a ProgID written below it, as
// many installers do) offers a ShellNew entry.
int HasShellNew(ScanContext& context, HKEY root, const std::string& extension)
{
    RegKey key;
    if (key.Open(root, extension, KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return 0;
    const DWORD count = CountSubkeys(key.Handle());
    for (DWORD index = 0; index < count && context.KeepScanning(); ++index) {
        std::string name;
        if (EnumSubkeyName<256>(key.Handle(), index, name) &&
            KeyExists(root, extension + "\\" + name + "\\ShellNew"))
            return 1;
    }
    return 0;
}

bool SubkeyExists(const std::string& extension, const char* name)
{
    return KeyExists(HKEY_CLASSES_ROOT, extension + "\\" + name) != 0;
}

// The value name and data of the problem with an extension; false when the
// extension does something.
bool FindExtensionProblem(ScanContext& context, const std::string& extension,
                          std::string& valueName, std::string& valueData)
{
    const std::string progId = ReadRegString(HKEY_CLASSES_ROOT, extension, "");
    if (!progId.empty()) {
        if (IsValidProgId(progId) || SubkeyExists(extension, "ShellEx"))
            return false;
        valueName = ResourceString(IDS_DEFAULT_VALUE);
        valueData = progId;
        return true;
    }
    const std::string handler =
        ReadRegString(HKEY_CLASSES_ROOT, extension + "\\PersistentHandler", "");
    if (!handler.empty()) {
        if (ClsidKeyExists(handler) || SubkeyExists(extension, "ShellEx"))
            return false;
        valueName = "PersistentHandler";
        valueData = handler;
        return true;
    }
    if (SubkeyExists(extension, "Shell") || SubkeyExists(extension, "ShellEx") ||
        SubkeyExists(extension, "DefaultIcon") ||
        HasShellNew(context, HKEY_CLASSES_ROOT, extension))
        return false;
    valueName = "ShellEx";
    return true;
}

void ExamineExtension(ScanContext& context, const std::string& extension)
{
    // A content or perceived type tells the system what the file is, even
    // when nothing else is registered for it.
    if (!ReadRegString(HKEY_CLASSES_ROOT, extension, "Content Type").empty() ||
        !ReadRegString(HKEY_CLASSES_ROOT, extension, "PerceivedType").empty())
        return;
    std::string valueName;
    std::string valueData;
    if (FindExtensionProblem(context, extension, valueName, valueData)) {
        context.Report(MakeProblemRecord(SectionFileAssoc, extension, ClassesKeyPath(extension),
                                         valueName, valueData, ResourceString(IDS_APPID_INVALID)));
    }
    context.ShowItem(ClassesKeyPath(extension));
    context.Pump();
}

} // namespace

void ScanFileAssociations(ScanContext& context)
{
    ForEachClassesSubkey<255>(context, "", [&](const std::string& name) {
        if (name[0] == '.')
            ExamineExtension(context, name);
    });
}
