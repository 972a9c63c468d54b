#include "repair/RegExport.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/Handles.h"
#include "core/Registry.h"

namespace {

// Past this many characters a line of hex bytes is continued on the next.
constexpr size_t hexLineWidth = 76;

std::string Quoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        default: out += c;
        }
    }
    return out + "\"";
}

// A string that the quoted form gives back byte for byte: one terminating
// zero and no other, and no line break (older importers know no escapes for those).
bool IsPlainString(const BYTE* data, size_t size)
{
    if (size == 0 || data[size - 1] != 0)
        return false;
    for (size_t i = 0; i + 1 < size; ++i)
        if (data[i] == 0 || data[i] == '\r' || data[i] == '\n')
            return false;
    return true;
}

// The key's kernel name (such as \REGISTRY\MACHINE\SOFTWARE\X), which shows
// where a link key really leads. Empty where the system has no such query
// (the Windows 95 family, which has no link keys either).
std::wstring KernelKeyName(HKEY key)
{
    using QueryKey = LONG(WINAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
    static const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    static const QueryKey queryKey =
        ntdll ? reinterpret_cast<QueryKey>(reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryKey"))) : nullptr;
    if (!queryKey)
        return std::wstring();
    constexpr int keyNameInformation = 3;
    std::vector<BYTE> buffer(1024);
    for (int tries = 0; tries < 4; ++tries) {
        ULONG needed = 0;
        LONG status = queryKey(key, keyNameInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status >= 0) {
            ULONG length = 0;
            memcpy(&length, buffer.data(), sizeof(length));
            const size_t chars = std::min<size_t>(length, buffer.size() - sizeof(ULONG)) / sizeof(wchar_t);
            std::wstring name(chars, L'\0');
            memcpy(&name[0], buffer.data() + sizeof(ULONG), chars * sizeof(wchar_t));
            return name;
        }
        if (needed <= buffer.size())
            break;
        buffer.resize(needed + sizeof(wchar_t));
    }
    return std::wstring();
}

// Writes one key after another, depth first, into the text.
class KeyWriter {
public:
    KeyWriter(std::string& text, std::string& problem) : text(text), problem(problem) {}

    bool Complete() const { return complete; }

    void Write(HKEY key, const std::string& path)
    {
        if (path.find_first_of("\r\n") != std::string::npos)
            return Fail("the key name " + path + " holds a line break");
        text += "\r\n[" + path + "]\r\n";
        WriteValues(key, path);
        if (chain.size() >= deepestExportedLevel) {
            if (HasSubkeys(key))
                Fail("the keys below " + path + " lie deeper than 512 levels");
            return;
        }
        for (const std::string& name : SubkeyNames(key, path)) {
            RegKey child;
            LONG rc = child.Open(key, name, KEY_READ);
            if (rc != ERROR_SUCCESS) {
                Fail("the key " + path + "\\" + name + " could not be opened (error " + std::to_string(rc) + ")");
                continue;
            }
            std::wstring kernelName = KernelKeyName(child.Handle());
            if (LeadsIntoChain(kernelName))
                continue;
            chain.push_back(kernelName);
            Write(child.Handle(), path + "\\" + name);
            chain.pop_back();
        }
    }

    void Enter(HKEY key) { chain.push_back(KernelKeyName(key)); }

private:
    void Fail(const std::string& why)
    {
        if (complete)
            problem = why;
        complete = false;
    }

    bool LeadsIntoChain(const std::wstring& kernelName) const
    {
        if (kernelName.empty())
            return false;
        // One key has one name, whichever way it was reached.
        return std::find(chain.begin(), chain.end(), kernelName) != chain.end();
    }

    bool HasSubkeys(HKEY key)
    {
        DWORD subkeys = 0;
        return regApi.RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                                       nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
               subkeys > 0;
    }

    void WriteValues(HKEY key, const std::string& path)
    {
        DWORD longestName = 0;
        DWORD longestData = 0;
        LONG rc = regApi.RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                          &longestName, &longestData, nullptr, nullptr);
        if (rc != ERROR_SUCCESS)
            return Fail("the values of " + path + " could not be counted (error " + std::to_string(rc) + ")");
        // A name in a multi-byte code page may take two bytes per character.
        std::vector<char> name(2 * (longestName + 1) + 2);
        std::vector<BYTE> data(longestData + 2);
        for (DWORD index = 0;;) {
            DWORD nameLength = static_cast<DWORD>(name.size());
            DWORD size = static_cast<DWORD>(data.size());
            DWORD type = 0;
            rc = regApi.RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &size);
            if (rc == ERROR_NO_MORE_ITEMS)
                return;
            if (rc == ERROR_MORE_DATA && name.size() < 65536 && data.size() < 0x10000000) {
                // Grown since it was counted: try the same value again with room to spare.
                name.resize(name.size() * 2);
                data.resize(std::max<size_t>(data.size() * 2, size + 2));
                continue;
            }
            if (rc != ERROR_SUCCESS)
                return Fail("a value of " + path + " could not be read (error " + std::to_string(rc) + ")");
            std::string valueName(name.data(), nameLength);
            // A name the code page cannot spell comes back with '?' in it and
            // names no value: written like that, the import would make another.
            if (valueName.find('?') != std::string::npos &&
                regApi.RegQueryValueExA(key, valueName.c_str(), nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                Fail("a value name of " + path + " cannot be written in the system's code page");
            else
                text += RegValueLine(valueName, type, data.data(), size) + "\r\n";
            ++index;
        }
    }

    std::vector<std::string> SubkeyNames(HKEY key, const std::string& path)
    {
        std::vector<std::string> names;
        char name[1024];
        for (DWORD index = 0;; ++index) {
            DWORD length = sizeof(name);
            LONG rc = regApi.RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
            if (rc == ERROR_NO_MORE_ITEMS)
                break;
            if (rc != ERROR_SUCCESS) {
                Fail("a subkey of " + path + " could not be read (error " + std::to_string(rc) + ")");
                break;
            }
            names.emplace_back(name, length);
        }
        return names;
    }

    std::string& text;
    std::string& problem;
    std::vector<std::wstring> chain; // kernel names of the keys being written, outermost first
    bool complete = true;
};

} // namespace

std::string RegValueLine(const std::string& name, DWORD type, const BYTE* data, size_t size)
{
    std::string line = name.empty() ? "@=" : Quoted(name) + "=";
    if (type == REG_SZ && IsPlainString(data, size))
        return line + Quoted(std::string(reinterpret_cast<const char*>(data), size - 1));
    char buffer[32];
    if (type == REG_DWORD && size == sizeof(DWORD)) {
        DWORD value = 0;
        memcpy(&value, data, sizeof(value));
        snprintf(buffer, sizeof(buffer), "dword:%08lx", static_cast<unsigned long>(value));
        return line + buffer;
    }
    if (type == REG_BINARY)
        line += "hex:";
    else {
        snprintf(buffer, sizeof(buffer), "hex(%lx):", static_cast<unsigned long>(type));
        line += buffer;
    }
    size_t lineStart = 0;
    for (size_t i = 0; i < size; ++i) {
        snprintf(buffer, sizeof(buffer), "%02x", data[i]);
        line += buffer;
        if (i + 1 == size)
            break;
        line += ',';
        if (line.size() - lineStart >= hexLineWidth) {
            line += "\\\r\n  ";
            lineStart = line.size() - 2;
        }
    }
    return line;
}

std::string RegAbsentValueLine(const std::string& name)
{
    return (name.empty() ? std::string("@") : Quoted(name)) + "=-";
}

int ExportRegKeyText(const std::string& keyPath, std::string& text, std::string& problem)
{
    problem.clear();
    HKEY root = nullptr;
    std::string subkey;
    if (!SplitKeyPath(keyPath, root, subkey) || subkey.empty()) {
        problem = keyPath + " names no key below a root";
        return 0;
    }
    RegKey key;
    LONG rc = key.Open(root, subkey, KEY_READ);
    if (rc != ERROR_SUCCESS) {
        problem = "the key " + keyPath + " could not be opened (error " + std::to_string(rc) + ")";
        return 0;
    }
    KeyWriter writer(text, problem);
    writer.Enter(key.Handle());
    writer.Write(key.Handle(), keyPath);
    return writer.Complete() ? 1 : 0;
}

int ExportRegKey(const std::string& keyPath, const std::string& filePath, std::string& problem)
{
    std::string text = regeditHeader;
    if (!ExportRegKeyText(keyPath, text, problem))
        return 0;
    text += "\r\n";
    if (!WriteNewFile(filePath, text)) {
        problem = "the export file " + filePath + " could not be written (error " +
                  std::to_string(GetLastError()) + ")";
        return 0;
    }
    return 1;
}

int WriteNewFile(const std::string& path, const std::string& bytes)
{
    HANDLE opened = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return 0;
    HandleOwner file(opened);
    size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 20));
        DWORD written = 0;
        ok = WriteFile(file.Get(), bytes.data() + done, chunk, &written, nullptr) && written == chunk;
        done += written;
    }
    ok = CloseHandle(file.Release()) && ok;
    if (!ok) {
        DWORD error = GetLastError();
        DeleteFileA(path.c_str());
        SetLastError(error);
    }
    return ok ? 1 : 0;
}
