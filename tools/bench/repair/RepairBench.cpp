// What a backed-up repair of 1,000 key problems costs: 1,000 planted keys
// (each like a class registration: a few values and a subkey) are backed up
// into one set and deleted, one after the other, and the set is packed. Once
// with the in-process export, once with the registry editor run per key.
// Each key's backup must be complete before the key is deleted, as in a repair.

#include <windows.h>

#include <cstdio>
#include <string>

#include "core/AppMessage.h"
#include "core/FileTools.h"
#include "core/Registry.h"
#include "repair/BackupSet.h"

namespace {

constexpr int keyCount = 1000;
const char* const branch = "Software\\QuillmoorBench\\Repair";

std::string KeyName(int n)
{
    char name[64];
    snprintf(name, sizeof(name), "%s\\{%08X-0000-4000-8000-00000000BE%02d}", branch, n, n % 100);
    return name;
}

bool PlantKeys()
{
    for (int n = 1; n <= keyCount; ++n) {
        HKEY key;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, KeyName(n).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            return false;
        std::string text = "Quillmoor benchmark class " + std::to_string(n);
        RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
        DWORD flags = n;
        RegSetValueExA(key, "Flags", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&flags), sizeof(flags));
        HKEY server;
        if (RegCreateKeyExA(key, "InprocServer32", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &server, nullptr) ==
            ERROR_SUCCESS) {
            std::string path = "C:\\Program Files\\Gone\\bench" + std::to_string(n) + ".dll";
            RegSetValueExA(server, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                           static_cast<DWORD>(path.size() + 1));
            RegSetValueExA(server, "ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>("Apartment"), 10);
            RegCloseKey(server);
        }
        RegCloseKey(key);
    }
    return true;
}

// Backs up and deletes every planted key, then packs the set; seconds taken,
// or a negative number when some key was not backed up or not deleted.
double RepairAll(KeyExport how, const std::string& workFolder)
{
    CreateDirectoryA(workFolder.c_str(), nullptr);
    EmptyFolder(workFolder, true);
    LARGE_INTEGER start, end, frequency;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    int failures = 0;
    std::string cabinet;
    {
        BackupSet set;
        set.SetKeyExport(how);
        set.Begin(workFolder);
        for (int n = 1; n <= keyCount; ++n) {
            if (!set.AddRegKey("HKEY_CURRENT_USER\\" + KeyName(n), n)) {
                fprintf(stderr, "bench: %s\n", set.LastProblem().c_str());
                ++failures;
                continue;
            }
            if (!DeleteRegKey(HKEY_CURRENT_USER, KeyName(n)))
                ++failures;
        }
        if (!set.Finish()) {
            fprintf(stderr, "bench: %s\n", set.ResultText().c_str());
            ++failures;
        }
        cabinet = set.CabinetPath();
    }
    QueryPerformanceCounter(&end);
    DeleteFileA(cabinet.c_str());
    if (failures)
        return -1;
    return static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
}

int WINAPI PrintMessage(HWND, LPCSTR text, LPCSTR, UINT)
{
    fprintf(stderr, "bench: message: %s\n", text);
    return IDOK;
}

} // namespace

int main()
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    messageBoxFunction = PrintMessage;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string workFolder = std::string(temp) + "QmBenchRepair";

    double seconds[2] = {};
    const KeyExport ways[2] = {KeyExport::InProcess, KeyExport::Regedit};
    for (int way = 0; way < 2; ++way) {
        if (!PlantKeys()) {
            fprintf(stderr, "bench: could not plant the keys\n");
            return 1;
        }
        seconds[way] = RepairAll(ways[way], workFolder);
    }
    DeleteRegKey(HKEY_CURRENT_USER, "Software\\QuillmoorBench");
    RemoveDirectoryA(workFolder.c_str());
    if (seconds[0] <= 0 || seconds[1] <= 0) {
        fprintf(stderr, "bench: a repair left keys without backup or undeleted\n");
        return 1;
    }
    printf("bench: repair1000_fast %.2f s\n", seconds[0]);
    printf("bench: repair1000_regedit %.2f s\n", seconds[1]);
    printf("bench: repair1000_speedup %.1f x\n", seconds[1] / seconds[0]);
    return 0;
}
