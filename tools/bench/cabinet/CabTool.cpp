// Packs a folder into a cabinet or unpacks one, with the program's own
// cabinet classes, for the cabinet benchmark and the Linux-side checks:
//
//   bench_cabinet pack CABINET FOLDER     CreateCabinet, AddFolder, Flush
//   bench_cabinet unpack CABINET FOLDER   OpenCabinet, ExtractTo
//   bench_cabinet set WORKFOLDER FILE...  a backup set in WORKFOLDER: one key, the
//                                         prior state of a value, FILE... copied;
//                                         prints the set's cabinet path
//
// Message box texts are printed as "message: TEXT" instead of shown; the exit
// code is 0 when the operation answered 1.

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "core/AppMessage.h"
#include "repair/BackupSet.h"
#include "repair/CabinetCompressor.h"
#include "repair/CabinetExtractor.h"

namespace {

int WINAPI PrintMessage(HWND, LPCSTR text, LPCSTR, UINT)
{
    printf("message: %s\n", text);
    fflush(stdout);
    return IDOK;
}

int Pack(const char* cabinet, const char* folder)
{
    CabinetCompressor compressor;
    if (!compressor.CreateCabinet(cabinet)) {
        ShowAppMessage(nullptr, compressor.ErrorText());
        return 0;
    }
    compressor.AddFolder(folder);
    if (compressor.Flush())
        return 1;
    ShowAppMessage(nullptr, compressor.ErrorText());
    return 0;
}

int Unpack(const char* cabinet, const char* folder)
{
    CabinetExtractor extractor;
    if (extractor.OpenCabinet(cabinet) && extractor.ExtractTo(folder))
        return 1;
    ShowAppMessage(nullptr, extractor.ErrorText());
    return 0;
}

int WriteSet(const char* workFolder, char** files, int count)
{
    CreateDirectoryA(workFolder, nullptr);
    BackupSet set;
    int ok = set.Begin(workFolder);
    ok &= set.AddRegKey("HKEY_CURRENT_USER\\Environment", 1);
    ok &= set.AddValueState("HKEY_CURRENT_USER\\Environment", "QuillmoorNoSuchValue", 2);
    for (int i = 0; i < count; ++i)
        ok &= set.AddFileCopy(files[i], 3 + i);
    ok &= set.Finish();
    printf("set: %s\n", set.CabinetPath().c_str());
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    messageBoxFunction = PrintMessage;
    if (argc >= 3 && strcmp(argv[1], "set") == 0)
        return WriteSet(argv[2], argv + 3, argc - 3) ? 0 : 1;
    if (argc != 4) {
        fprintf(stderr, "usage: bench_cabinet pack|unpack CABINET FOLDER | set WORKFOLDER FILE...\n");
        return 2;
    }
    int ok = 0;
    if (strcmp(argv[1], "pack") == 0)
        ok = Pack(argv[2], argv[3]);
    else if (strcmp(argv[1], "unpack") == 0)
        ok = Unpack(argv[2], argv[3]);
    else
        return 2;
    return ok ? 0 : 1;
}
