// How much the whole-registry walk costs beyond the registry itself: a
// synthetic branch of 20,000 keys and 100,000 values is walked once with the
// bare platform calls and one file test per path-like value (the floor), and
// once by WalkRegistryValues with a context that drops everything.

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "scan/HistoryScanners.h"
#include "scan/ScanContext.h"

namespace {

constexpr int groupCount = 200;
constexpr int keysPerGroup = 99;   // 200 groups + 200 * 99 keys = 20,000 keys
constexpr int valuesPerKey = 5;    // 100,000 values
constexpr int existingFileCount = 100;
const char* const fileFolder = "C:\\QmBenchFiles";

class DroppingContext : public ScanContext {
public:
    void Report(ProblemPtr) override {}
    void ShowItem(const std::string&) override {}
    void Step() override {}
    void Pump() override {}
    void ShowFailure(const std::string&) override {}
    void SetStatus(const std::string&) override {}
    void SetGroupLabel(SectionGroupId, const std::string&) override {}
    bool GroupChecked(SectionGroupId) override { return false; }
    void SetRowText(int, int, const std::string&) override {}
    std::string RowText(int, int) override { return ""; }
    void SetRowImage(int, int) override {}
    void FillProgress() override {}
    void ShowFinalMessage(const std::string&) override {}
    void ShowResultsPage() override {}
    void ScanFinished() override {}
};

std::string Format(const char* format, int number)
{
    char text[MAX_PATH];
    snprintf(text, sizeof(text), format, number);
    return text;
}

// Value `n` of the branch: a third existing files, a third missing files, a
// third other text, numbers and binary data.
void SetBenchValue(HKEY key, int n)
{
    std::string name = Format("Value%d", n % valuesPerKey);
    std::string text;
    switch (n % 3) {
    case 0:
        text = std::string(fileFolder) + Format("\\file%03d.txt", n % existingFileCount);
        break;
    case 1:
        text = n % 2 ? std::string(fileFolder) + Format("\\gone%06d.exe", n)
                     : Format("\"C:\\Program Files\\QmGone%d\\tool.exe\" /run,0", n);
        break;
    default:
        if (n % 9 == 2) {
            DWORD number = n;
            RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&number),
                           sizeof(number));
            return;
        }
        if (n % 9 == 5) {
            BYTE bytes[24] = {};
            RegSetValueExA(key, name.c_str(), 0, REG_BINARY, bytes, sizeof(bytes));
            return;
        }
        text = Format("plain text setting number %d", n);
    }
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
}

bool PlantBranch(const std::string& branch)
{
    CreateDirectoryA(fileFolder, nullptr);
    for (int i = 0; i < existingFileCount; ++i) {
        std::string path = std::string(fileFolder) + Format("\\file%03d.txt", i);
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        CloseHandle(file);
    }
    int value = 0;
    for (int g = 0; g < groupCount; ++g) {
        HKEY group;
        std::string groupPath = branch + Format("\\Group%03d", g);
        if (RegCreateKeyExA(HKEY_CURRENT_USER, groupPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &group, nullptr) != ERROR_SUCCESS)
            return false;
        for (int v = 0; v < valuesPerKey; ++v)
            SetBenchValue(group, value++);
        for (int k = 0; k < keysPerGroup; ++k) {
            HKEY key;
            if (RegCreateKeyExA(group, Format("Key%02d", k).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &key, nullptr) != ERROR_SUCCESS)
                return false;
            for (int v = 0; v < valuesPerKey; ++v)
                SetBenchValue(key, value++);
            RegCloseKey(key);
        }
        RegCloseKey(group);
    }
    return true;
}

void RemoveBranch(const std::string& branch)
{
    SHDeleteKeyA(HKEY_CURRENT_USER, branch.c_str());
    for (int i = 0; i < existingFileCount; ++i)
        DeleteFileA((std::string(fileFolder) + Format("\\file%03d.txt", i)).c_str());
    RemoveDirectoryA(fileFolder);
}

// The floor: every key opened once, every value read once, one file test for
// each string holding a drive path.
void BareWalk(HKEY key)
{
    DWORD subkeys = 0, values = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return;
    for (DWORD i = 0; i < subkeys; ++i) {
        char name[255];
        DWORD length = sizeof(name);
        HKEY subkey;
        if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) ==
                ERROR_SUCCESS &&
            RegOpenKeyExA(key, name, 0, KEY_ALL_ACCESS, &subkey) == ERROR_SUCCESS) {
            BareWalk(subkey);
            RegCloseKey(subkey);
        }
    }
    static char name[16383];
    for (DWORD i = 0; i < values; ++i) {
        char data[261] = {};
        DWORD nameLength = sizeof(name), type = 0, dataLength = 260;
        if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data),
                          &dataLength) != ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_EXPAND_SZ))
            continue;
        const char* drive = strstr(data, ":\\");
        if (drive && drive > data)
            GetFileAttributesA(drive - 1);
    }
}

double Seconds(LARGE_INTEGER start)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return double(now.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

double TimeBare(const std::string& branch)
{
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, branch.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 0;
    BareWalk(key);
    RegCloseKey(key);
    return Seconds(start);
}

double TimeScanner(const std::string& branch)
{
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, branch.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 0;
    DroppingContext context;
    WalkRegistryValues(context, key, "HKEY_CURRENT_USER\\" + branch, 13);
    RegCloseKey(key);
    return Seconds(start);
}

} // namespace

int main()
{
    const std::string branch = Format("Software\\QuillmoorBench_%lu", GetCurrentProcessId());
    FillMruKeys();
    keepScanning = 1;
    if (!PlantBranch(branch)) {
        fprintf(stderr, "bench: could not plant the branch\n");
        RemoveBranch(branch);
        return 1;
    }
    // Two rounds, alternating, best of each: the first round also warms the
    // server's and the file system's caches.
    double bare = 1e9, scanner = 1e9;
    for (int round = 0; round < 2; ++round) {
        bare = std::min(bare, TimeBare(branch));
        scanner = std::min(scanner, TimeScanner(branch));
    }
    RemoveBranch(branch);
    printf("bench: walk_bare %.2f s\n", bare);
    printf("bench: walk_scanner %.2f s\n", scanner);
    printf("bench: walk_ratio %.2f x\n", scanner / bare);
    fflush(stdout);
    return 0;
}
