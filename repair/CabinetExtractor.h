#pragma once
// Unpacks one cabinet (and the cabinets that follow it in its set) into a
// folder through the system's Cabinet.dll, loaded at run time. Order of use:
// OpenCabinet, then ExtractTo (or ListFiles) only if OpenCabinet answered 1.
// It shows nothing itself: a call that answers 0 leaves its error number and
// text for the caller to show.

#include <windows.h>
#include <fdi.h>

#include <string>
#include <vector>

#include "core/Handles.h"

// One file stored in a cabinet: its stored name and its size in bytes.
struct CabinetEntry {
    std::string name;
    long size = 0;
};

class CabinetExtractor {
public:
    CabinetExtractor() = default;
    ~CabinetExtractor();
    CabinetExtractor(const CabinetExtractor&) = delete;
    CabinetExtractor& operator=(const CabinetExtractor&) = delete;

    // 1 when ready to read `cabinetPath`, else 0.
    int OpenCabinet(const std::string& cabinetPath);
    // 1 when every file was written below `targetFolder`, else 0. Files
    // written before a failure stay where they are.
    int ExtractTo(const std::string& targetFolder);
    // Reads the whole cabinet (and those following it) without writing
    // anything; 1 with every stored file in `entries`, in stored order, else 0.
    int ListFiles(std::vector<CabinetEntry>& entries);

    // The error number of the last call that answered 0 (Cabinet.dll's own
    // numbers or cabErrorNoLibrary), and its text.
    int ErrorNumber() const { return errorRecord.erfOper; }
    const char* ErrorText() const;

private:
    int ReportError();
    int CopyEach(const std::string& targetFolder, std::vector<CabinetEntry>* listing);
    INT_PTR OnCopyFile(FDINOTIFICATION* info);
    INT_PTR OnCloseFile(FDINOTIFICATION* info);
    INT_PTR OnNextCabinet(FDINOTIFICATION* info);

    // The file and memory callbacks are the .cpp file's own.
    static FNFDINOTIFY(OnNotify);

    ModuleOwner cabinetDll;
    decltype(&FDICreate) fdiCreate = nullptr;
    decltype(&FDICopy) fdiCopy = nullptr;
    decltype(&FDIDestroy) fdiDestroy = nullptr;

    HFDI context = nullptr;
    ERF errorRecord = {};
    // Set by the notifications; when not 0 it is the error shown.
    int furtherError = 0;
    std::string cabinetPath;
    std::string targetFolder; // ends with a backslash
    std::string nextCabinet;
    std::string lastFolderMade; // the folder whose path was last created
    std::vector<CabinetEntry>* listing = nullptr; // set while listing: nothing is written
};

// True when a name stored in a cabinet stays inside the folder it is unpacked
// into: relative, no drive or stream colon, no component made only of dots.
bool IsSafeStoredName(const char* name);
