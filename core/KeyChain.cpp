#include "core/KeyChain.h"

#include <utility>

#include "core/Platform.h"
#include "core/Text.h"

namespace {

// Link keys hold their target, "\Registry\Machine\...", in this value.
const char linkValueName[] = "SymbolicLinkValue";

// The native calls that name a key and delete a link exist on the NT family
// only; the Windows 95 family has no link keys to worry about.
using NtQueryKeyProc = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
using NtDeleteKeyProc = LONG(NTAPI*)(HANDLE);
constexpr int keyNameInformation = 3;

std::string WideToAnsi(const wchar_t* text, int length)
{
    if (length <= 0)
        return std::string();
    int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string ansi(size > 0 ? size : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_ACP, 0, text, length, &ansi[0], size, nullptr, nullptr);
    return ansi;
}

std::string CurrentUserSidText()
{
    std::vector<BYTE> sid;
    if (!GetCurrentUserSid(sid))
        return std::string();
    auto convert = SystemFunction<BOOL(WINAPI*)(PSID, LPSTR*)>("advapi32.dll",
                                                               "ConvertSidToStringSidA");
    char* text = nullptr;
    if (!convert || !convert(sid.data(), &text))
        return std::string();
    std::string result = text;
    LocalFree(text);
    return result;
}

// The target of a link key held as itself; false for any other key.
bool LinkTarget(HKEY key, std::string& target)
{
    DWORD type = 0;
    DWORD size = 0;
    if (regApi.RegQueryValueExA(key, linkValueName, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        type != REG_LINK)
        return false;
    std::vector<BYTE> data(size + sizeof(wchar_t), 0);
    if (regApi.RegQueryValueExA(key, linkValueName, nullptr, &type, data.data(), &size) !=
        ERROR_SUCCESS)
        return false;
    target = Lowered(WideToAnsi(reinterpret_cast<const wchar_t*>(data.data()),
                                  static_cast<int>(size / sizeof(wchar_t))));
    return true;
}

// The Windows 95 family knows no link keys, and wants no open options.
DWORD OpenItselfOption()
{
    return IsWindows95Family() ? 0 : REG_OPTION_OPEN_LINK;
}

} // namespace

std::string RegistryObjectName(HKEY key)
{
    // The predefined roots are no objects of their own to ask.
    for (const NamedRoot& named : namedRoots)
        if (key == named.root && named.objectName)
            return named.objectName;
    if (key == HKEY_CURRENT_USER) {
        std::string sid = CurrentUserSidText();
        return sid.empty() ? std::string() : Lowered("\\registry\\user\\" + sid);
    }
    auto query = SystemFunction<NtQueryKeyProc>("ntdll.dll", "NtQueryKey");
    if (!query)
        return std::string();
    std::vector<BYTE> buffer(2048);
    ULONG length = 0;
    if (query(key, keyNameInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
              &length) != 0)
        return std::string();
    // KEY_NAME_INFORMATION: the name's length in bytes, then the name.
    ULONG nameBytes = *reinterpret_cast<const ULONG*>(buffer.data());
    if (nameBytes > buffer.size() - sizeof(ULONG))
        return std::string();
    return Lowered(WideToAnsi(reinterpret_cast<const wchar_t*>(buffer.data() + sizeof(ULONG)),
                                static_cast<int>(nameBytes / sizeof(wchar_t))));
}

LONG DeleteLinkKey(HKEY link)
{
    auto deleteKey = SystemFunction<NtDeleteKeyProc>("ntdll.dll", "NtDeleteKey");
    if (!deleteKey)
        return ERROR_CALL_NOT_IMPLEMENTED;
    return deleteKey(link) == 0 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

KeyChain::KeyChain(HKEY top, Links links) : links(links)
{
    names.push_back(RegistryObjectName(top));
}

LONG KeyChain::Enter(HKEY parent, const std::string& name, REGSAM access, RegKey& child,
                     Entered* facts)
{
    Entered entered;
    if (Depth() >= maxKeyDepth)
        return keyChainRefused;
    // Opened as itself first: a link is only ever followed on purpose.
    HKEY opened = nullptr;
    LONG rc = regApi.RegOpenKeyExA(parent, name.c_str(), OpenItselfOption(), access, &opened);
    if (rc != ERROR_SUCCESS)
        return rc;
    RegKey held(opened);
    entered.counted =
        regApi.RegQueryInfoKeyA(held.Handle(), nullptr, nullptr, nullptr, &entered.subkeys,
                                nullptr, nullptr, &entered.values, nullptr, nullptr, nullptr,
                                nullptr) == ERROR_SUCCESS;
    // A link key holds its target and nothing else; a key that cannot be
    // asked is held as it is, which is never more than the key itself.
    std::string target;
    entered.isLink = entered.counted && entered.subkeys == 0 && entered.values == 1 &&
                     LinkTarget(held.Handle(), target);
    std::string childName;
    if (entered.isLink && links == Links::Follow) {
        if (Name().empty() || LeadsIntoChain(target))
            return keyChainRefused;
        held.Close();
        rc = regApi.RegOpenKeyExA(parent, name.c_str(), 0, access, &opened);
        if (rc != ERROR_SUCCESS)
            return rc;
        held = RegKey(opened);
        entered.counted =
            regApi.RegQueryInfoKeyA(held.Handle(), nullptr, nullptr, nullptr, &entered.subkeys,
                                    nullptr, nullptr, &entered.values, nullptr, nullptr,
                                    nullptr, nullptr) == ERROR_SUCCESS;
        childName = target;
    } else if (!Name().empty()) {
        childName = Name() + "\\" + Lowered(name);
    }
    names.push_back(std::move(childName));
    child = std::move(held);
    if (facts)
        *facts = entered;
    return ERROR_SUCCESS;
}

void KeyChain::Leave()
{
    if (names.size() > 1)
        names.pop_back();
}

bool KeyChain::LeadsIntoChain(const std::string& target) const
{
    // The target is a key of the chain, or above one: walking it would
    // walk the chain again.
    for (const std::string& name : names) {
        if (name == target ||
            (name.size() > target.size() && name.compare(0, target.size(), target) == 0 &&
             name[target.size()] == '\\'))
            return true;
    }
    return false;
}
