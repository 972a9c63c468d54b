// Packs a folder into a cabinet or unpacks one, with the program's own
// cabinet classes, for the cabinet benchmark and the Linux-side checks:
//
//   bench_cabinet pack CABINET FOLDER     CreateCabinet, AddFolder, Flush
//   bench_cabinet unpack CABINET FOLDER   OpenCabinet, ExtractTo
//
// Message box texts are printed as "message: TEXT" instead of shown; the exit
// code is 0 when the operation answered 1.

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "core/AppMessage.h"
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
    if (!compressor.CreateCabinet(cabinet))
        return 0;
    compressor.AddFolder(folder);
    return compressor.Flush();
}

int Unpack(const char* cabinet, const char* folder)
{
    CabinetExtractor extractor;
    return extractor.OpenCabinet(cabinet) && extractor.ExtractTo(folder);
}

} // namespace

int main(int argc, char** argv)
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    if (argc != 4) {
        fprintf(stderr, "usage: bench_cabinet pack|unpack CABINET FOLDER\n");
        return 2;
    }
    messageBoxFunction = PrintMessage;
    int ok = 0;
    if (strcmp(argv[1], "pack") == 0)
        ok = Pack(argv[2], argv[3]);
    else if (strcmp(argv[1], "unpack") == 0)
        ok = Unpack(argv[2], argv[3]);
    else
        return 2;
    return ok ? 0 : 1;
}
