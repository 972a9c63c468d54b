#pragma once
// The whole registry saved to one cabinet and put back from it. On the NT
// family the hives are saved with the registry's own save function and come
// back by restore (or, where that does nothing, by loading each hive and
// replacing the live key's contents from it); on the 95 family the registry
// files are copied and renamed into place at the next start.

#include <windows.h>

#include <string>
#include <vector>

#include "core/Platform.h"

// One full backup as the date list shows it.
struct FullBackupEntry {
    std::string dateText; // BackupDateText of the cabinet's name
    std::string path;     // the cabinet's full path
};

class FullBackup {
public:
    // `programFolder`: the folder below which "Temp" and "RegBackup" live.
    explicit FullBackup(const std::string& programFolder);
    FullBackup();
    FullBackup(const FullBackup&) = delete;
    FullBackup& operator=(const FullBackup&) = delete;

    // Makes a full backup and checks that the cabinet in RegBackup holds
    // every file saved. 1 on success; 0 after a message box.
    int SaveRegistry();
    // Puts the backup in `cabinetPath` back: only after a fresh full backup
    // and once every file of the set has been checked. 1 when the registry
    // was restored; 0 after a message box saying that nothing (or what) was.
    int RestoreRegistry(const std::string& cabinetPath);
    // Saves one key to one file; 1, or 0 with the save's error in `error`.
    static int SaveHive(HKEY root, const std::string& subkey, const std::string& filePath,
                        LONG& error);
    // Enables or disables one privilege of the process; 1 when the system reports no error.
    static int SetPrivilege(const char* name, bool enable);

    // The cabinet the last successful SaveRegistry left in RegBackup.
    const std::string& LastCabinet() const { return lastCabinet; }
    std::string RegBackupFolder() const { return programFolder + "\\RegBackup"; }
    // The scratch folder this object uses; empty until one was prepared.
    const std::string& ScratchFolder() const { return scratch; }

    // The full backups in `programFolder`\RegBackup, in the order the folder lists them.
    static std::vector<FullBackupEntry> ListBackups(const std::string& programFolder);

    // 1 when RegRestoreKeyA really restores here (checked once on a scratch key).
    static int RestoreKeyWorks();
    // The 95 family's lines added to the text of an existing wininit.ini (or
    // to nothing): each of `lines` lands in the [Rename] section, and an
    // earlier line for the same target is dropped.
    static std::string MergeRenameLines(const std::string& existing,
                                        const std::vector<std::string>& lines);

private:
    int PrepareScratch();
    int SaveHives();
    int CopyRegistryFiles();
    int CheckCabinet(const std::string& cabinetPath, const std::vector<std::string>& names);
    int CheckHives(std::vector<std::string>& files);
    int RestoreHives(const std::vector<std::string>& files);
    int RestoreRegistryFiles();
    static std::string ProfileFolder95();

    ComApartment com;
    std::string programFolder;
    std::string scratch;
    std::string lastCabinet;
};

// Replaces the contents of `target` (values and subkeys, links left alone)
// with those of `source`; 0 or the first platform error in writing what
// `source` holds. Keys `source` lacks that cannot be deleted (the running
// system's volatile keys) stay.
LONG ReplaceKeyContents(HKEY target, HKEY source);

// Asks the system to restart, closing programs by force; 1 when it accepted.
int RestartComputer();
