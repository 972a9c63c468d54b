#include "repair/RepairPlan.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "core/PathCheck.h"
#include "core/Registry.h"
#include "core/ResourceText.h"
#include "core/ScanSection.h"
#include "core/Text.h"
#include "resource.h"
#include "scan/HistoryScanners.h"

namespace {

// "S-1-5-21-..." of the current user, built from the identifier's bytes (the
// conversion call is missing before Windows 2000).
std::string OwnSidText()
{
    std::vector<BYTE> sid;
    if (!GetCurrentUserSid(sid) || sid.size() < 8)
        return std::string();
    unsigned subCount = sid[1];
    if (sid.size() < 8 + 4 * static_cast<size_t>(subCount))
        return std::string();
    unsigned long long authority = 0;
    for (int i = 2; i < 8; ++i)
        authority = (authority << 8) | sid[i];
    std::string text = "S-" + std::to_string(sid[0]) + "-" + std::to_string(authority);
    for (unsigned i = 0; i < subCount; ++i) {
        const BYTE* part = &sid[8 + 4 * i];
        DWORD value = part[0] | (part[1] << 8) | (part[2] << 16) | (static_cast<DWORD>(part[3]) << 24);
        text += "-" + std::to_string(value);
    }
    return text;
}

// "controlset001" for the control set the system runs on; empty when unknown.
std::string CurrentControlSetName()
{
    RegKey select;
    DWORD current = 0;
    if (select.Open(HKEY_LOCAL_MACHINE, "SYSTEM\\Select", KEY_READ) != ERROR_SUCCESS ||
        select.QueryDwordValue(current, "Current") != ERROR_SUCCESS || current == 0 || current > 999)
        return std::string();
    char name[32];
    std::snprintf(name, sizeof(name), "controlset%03lu", static_cast<unsigned long>(current));
    return name;
}

// Keys that hold what the scanners walk: never removed whole, nor anything above them.
const char* const containerKeys[] = {
    "hkey_local_machine\\software\\microsoft\\windows\\currentversion\\run",
    "hkey_current_user\\software\\microsoft\\windows\\currentversion\\run",
    "hkey_local_machine\\software\\microsoft\\windows\\currentversion\\app paths",
    "hkey_local_machine\\software\\microsoft\\windows\\help",
    "hkey_local_machine\\software\\microsoft\\windows\\currentversion\\shareddlls",
    "hkey_local_machine\\software\\microsoft\\windows nt\\currentversion\\fonts",
    "hkey_local_machine\\software\\microsoft\\windows\\currentversion\\uninstall",
    "hkey_local_machine\\system\\currentcontrolset\\services",
    "hkey_local_machine\\system\\currentcontrolset\\services\\vxd",
    "hkey_local_machine\\software\\classes\\clsid",
    "hkey_local_machine\\software\\classes\\typelib",
    "hkey_current_user\\software\\classes\\clsid",
    "hkey_current_user\\software\\classes\\typelib",
    "hkey_current_user\\software\\microsoft\\internet explorer\\typedurls",
    "hkey_current_user\\control panel\\sounds",
    "hkey_current_user\\software\\microsoft\\windows\\currentversion\\explorer\\userassist",
};

bool IsWithin(const std::string& inner, const std::string& outer)
{
    return inner.size() >= outer.size() && inner.compare(0, outer.size(), outer) == 0 &&
           (inner.size() == outer.size() || inner[outer.size()] == '\\');
}

bool SameTarget(const RepairTarget& a, const RepairTarget& b)
{
    if (a.kind != b.kind || a.kind == TargetKind::None)
        return false;
    if (a.kind == TargetKind::File)
        return a.file == b.file;
    // Value names compare without regard to case, as the registry does.
    return a.key == b.key && (a.kind == TargetKind::Key || Lowered(a.value) == Lowered(b.value));
}

// Does `other` (a record's target) lie in the key `key` is, or name it?
bool LiesInKey(const RepairTarget& other, const RepairTarget& key)
{
    return key.kind == TargetKind::Key &&
           (other.kind == TargetKind::Key || other.kind == TargetKind::Value) &&
           IsWithin(other.key, key.key);
}

bool MatchesIgnoreList(const ProblemRecord& record, const RepairTarget& target,
                       const std::vector<std::string>& ignoreEntries)
{
    const std::string tail = "\\" + record.valueName + "\\" + record.valueData;
    if (IsExcludedReference(ExpandRootAbbreviations(record.keyPath) + tail, ignoreEntries))
        return true;
    return !target.key.empty() && IsExcludedReference(target.key + tail, ignoreEntries);
}

} // namespace

std::string ExpandRootAbbreviations(const std::string& keyPath)
{
    std::string path = keyPath;
    ReplaceAll(path, ResourceString(IDS_HKCLASS), "HKEY_CLASSES_ROOT");
    ReplaceAll(path, ResourceString(IDS_HKCU), "HKEY_CURRENT_USER");
    ReplaceAll(path, ResourceString(IDS_HKLM), "HKEY_LOCAL_MACHINE");
    return path;
}

std::string CanonicalKeyPath(const std::string& fullPath)
{
    size_t slash = fullPath.find('\\');
    std::string rootName = fullPath.substr(0, slash);
    std::string rest = slash == std::string::npos ? std::string() : fullPath.substr(slash + 1);
    while (!rest.empty() && rest.back() == '\\')
        rest.pop_back();
    HKEY root = ParseRootKeyName(rootName);
    if (!root)
        return std::string();
    std::string lowerRest = Lowered(rest);

    if (root == HKEY_USERS) {
        std::string sid = Lowered(OwnSidText());
        if (!sid.empty() && IsWithin(lowerRest, sid)) {
            root = HKEY_CURRENT_USER;
            lowerRest = lowerRest.substr(std::min(lowerRest.size(), sid.size() + 1));
        } else if (!sid.empty() && IsWithin(lowerRest, sid + "_classes")) {
            root = HKEY_CURRENT_USER;
            std::string below = lowerRest.substr(std::min(lowerRest.size(), sid.size() + 9));
            lowerRest = "software\\classes" + (below.empty() ? "" : "\\" + below);
        }
    } else if (root == HKEY_CLASSES_ROOT) {
        // The merged view shows the user's own class key over the machine's.
        std::string classes = "Software\\Classes" + (rest.empty() ? "" : "\\" + rest);
        root = !rest.empty() && KeyExists(HKEY_CURRENT_USER, classes) ? HKEY_CURRENT_USER
                                                                       : HKEY_LOCAL_MACHINE;
        lowerRest = Lowered(classes);
    } else if (root == HKEY_LOCAL_MACHINE && lowerRest.compare(0, 17, "system\\controlset") == 0) {
        std::string current = CurrentControlSetName();
        std::string numbered = lowerRest.substr(7, lowerRest.find('\\', 7) - 7);
        if (!current.empty() && numbered == current)
            lowerRest = "system\\currentcontrolset" + lowerRest.substr(7 + numbered.size());
    }
    std::string canonical = Lowered(RootKeyName(root));
    return lowerRest.empty() ? canonical : canonical + "\\" + lowerRest;
}

RemovalKind RemovalKindOf(unsigned section)
{
    switch (section) {
    case SectionActiveX:
    case SectionProgramId:
    case SectionAddRemove:
    case SectionAppPaths:
    case SectionServices:
    case SectionVxd:
    case SectionFileAssoc:
        return RemovalKind::Key;
    case SectionFonts:
    case SectionSharedDlls:
    case SectionHelpFiles:
    case SectionStartup:
    case SectionSounds: // one sound, never the whole scheme
    case SectionCompleteRegistry:
    case SectionMru:
        return RemovalKind::Value;
    case SectionIETypedUrls:
        return RemovalKind::TypedAddress;
    case SectionShortcuts:
        return RemovalKind::BackedUpFile;
    case SectionWinTemp:
    case SectionScanDisk:
    case SectionIECookies:
        return RemovalKind::File;
    case SectionIETemp:
        return RemovalKind::BrowserCache;
    case SectionTweaks:
        return RemovalKind::Tweak;
    default:
        return RemovalKind::Nothing;
    }
}

RepairTarget TargetOf(const ProblemRecord& record)
{
    RepairTarget target;
    auto registryTarget = [&](TargetKind kind, const std::string& value) {
        target.kind = kind;
        target.key = CanonicalKeyPath(ExpandRootAbbreviations(record.keyPath));
        target.value = value;
    };
    auto fileTarget = [&] {
        target.kind = TargetKind::File;
        target.file = Lowered(record.item);
    };
    switch (RemovalKindOf(record.section)) {
    case RemovalKind::Key:
        registryTarget(TargetKind::Key, "");
        break;
    case RemovalKind::Value:
        registryTarget(TargetKind::Value, record.valueName);
        break;
    case RemovalKind::TypedAddress:
        // One record per typed address, the value's name in `item`.
        registryTarget(TargetKind::Value, record.item);
        break;
    case RemovalKind::BackedUpFile:
    case RemovalKind::File:
        fileTarget();
        break;
    case RemovalKind::BrowserCache:
        if (record.valueData == "IE_FILE")
            fileTarget();
        break;
    default:
        break;
    }
    return target;
}

bool IsProtectedKey(const std::string& canonicalKey)
{
    size_t slash = canonicalKey.find('\\');
    if (canonicalKey.empty() || slash == std::string::npos ||
        canonicalKey.find('\\', slash + 1) == std::string::npos)
        return true; // a root, or a key directly below one
    if (IsWithin(canonicalKey, "hkey_users")) {
        size_t second = canonicalKey.find('\\', slash + 1);
        if (canonicalKey.find('\\', second + 1) == std::string::npos)
            return true; // a user's hive or a key directly below it
    }
    auto holds = [&](const std::string& container) { return IsWithin(container, canonicalKey); };
    for (const char* container : containerKeys) {
        if (holds(container))
            return true;
    }
    for (const MruKey& mru : mruKeys) {
        if (!mru.root)
            break;
        if (holds(CanonicalKeyPath(RootKeyName(mru.root) + "\\" + mru.subkey)))
            return true;
    }
    return false;
}

std::vector<RepairDecision> PlanRepair(const std::vector<ProblemPtr>& problems,
                                       const std::vector<std::string>& ignoreEntries)
{
    const size_t count = problems.size();
    std::vector<RepairTarget> targets(count);
    std::vector<bool> vetoes(count, false);
    for (size_t i = 0; i < count; ++i) {
        targets[i] = TargetOf(*problems[i]);
        vetoes[i] = !problems[i]->checked || MatchesIgnoreList(*problems[i], targets[i], ignoreEntries);
    }

    std::vector<RepairDecision> decisions(count, RepairDecision::Skip);
    for (size_t i = 0; i < count; ++i) {
        if (!problems[i]->checked)
            continue;
        const RepairTarget& target = targets[i];
        bool kept = vetoes[i];
        for (size_t j = 0; j < count && !kept; ++j) {
            kept = vetoes[j] && (SameTarget(targets[j], target) || LiesInKey(targets[j], target));
        }
        if ((target.kind == TargetKind::Key && IsProtectedKey(target.key)) ||
            (target.kind == TargetKind::Value && target.key.find('\\') == std::string::npos)) {
            decisions[i] = RepairDecision::Refused;
        } else if (kept) {
            decisions[i] = RepairDecision::Kept;
        } else {
            decisions[i] = RepairDecision::Remove;
        }
    }

    // Each target once; whatever lies in a key that goes whole goes with it.
    for (size_t i = 0; i < count; ++i) {
        if (decisions[i] != RepairDecision::Remove)
            continue;
        for (size_t j = 0; j < count; ++j) {
            if (j == i || decisions[j] != RepairDecision::Remove)
                continue;
            if (SameTarget(targets[j], targets[i])) {
                if (j < i)
                    decisions[i] = RepairDecision::Duplicate;
            } else if (LiesInKey(targets[i], targets[j])) {
                decisions[i] = RepairDecision::Covered;
            }
            if (decisions[i] != RepairDecision::Remove)
                break;
        }
    }
    return decisions;
}
