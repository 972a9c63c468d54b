#pragma once
// Unpacks one cabinet (and the cabinets that follow it in its set) into a
// folder through the system's Cabinet.dll, loaded at run time. Order of use:
// OpenCabinet, then ExtractTo only if OpenCabinet answered 1.

#include <windows.h>
#include <fdi.h>

#include <string>

#include "core/Handles.h"

class CabinetExtractor {
public:
    CabinetExtractor() = default;
    ~CabinetExtractor();
    CabinetExtractor(const CabinetExtractor&) = delete;
    CabinetExtractor& operator=(const CabinetExtractor&) = delete;

    // 1 when ready to extract `cabinetPath`; 0 after a message box.
    int OpenCabinet(const std::string& cabinetPath);
    // 1 when every file was written below `targetFolder`; 0 after a message
    // box. Files written before a failure stay where they are.
    int ExtractTo(const std::string& targetFolder);

private:
    int ReportError();
    INT_PTR OnCopyFile(FDINOTIFICATION* info);
    INT_PTR OnCloseFile(FDINOTIFICATION* info);
    INT_PTR OnNextCabinet(FDINOTIFICATION* info);

    static FNALLOC(OnAlloc);
    static FNFREE(OnFree);
    static FNOPEN(OnOpen);
    static FNREAD(OnRead);
    static FNWRITE(OnWrite);
    static FNCLOSE(OnClose);
    static FNSEEK(OnSeek);
    static FNFDINOTIFY(OnNotify);

    ModuleOwner cabinetDll;
    decltype(&FDICreate) fdiCreate = nullptr;
    decltype(&FDICopy) fdiCopy = nullptr;
    decltype(&FDIIsCabinet) fdiIsCabinet = nullptr;
    decltype(&FDIDestroy) fdiDestroy = nullptr;

    HFDI context = nullptr;
    ERF errorRecord = {};
    // Set by the notifications; when not 0 it is the error shown.
    int furtherError = 0;
    std::string cabinetPath;
    std::string targetFolder; // ends with a backslash
    std::string nextCabinet;
    std::string lastFolderMade; // the folder whose path was last created
};

// True when a name stored in a cabinet stays inside the folder it is unpacked
// into: relative, no drive or stream colon, no component made only of dots.
bool IsSafeStoredName(const char* name);
