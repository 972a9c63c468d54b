#pragma once
// One repair backup set: written into a work folder while a repair runs, then
// packed into a cabinet named after the date and time it was begun, in
// "Quillmoor8Backup" beside the program. The restore dialog, the headless
// restore and the backup lists read sets back through the same class.
//
// Config.ini, the set's index, is a sequence of records, each a fixed number
// of lines "[TAG:value]", written through a text-mode stream (so every line
// ends with CR CR LF on disk). The three record types every reader knows:
//
//   [TYPE:REG_KEY]    [NAME:<full key path>]  [PATH:\rkBackUp<n>.reg]
//   [TYPE:REG_VALUE]  [MAIN_KEY:<full key path>]  [VALUE_NAME:<name>]  [VALUE:<data as text>]
//   [TYPE:FILE]       [DEST_PATH:<full path the file stood at>]
//
// and two that follow one of those and refine it; a reader that does not
// know them skips them, as it skips any other TYPE:
//
//   [TYPE:REG_VALUE_EXACT]  [PATH:\rvBackUp<n>.reg]
//       right after the REG_VALUE record it belongs to: rvBackUp<n>.reg holds
//       that one value exactly as it stood (type and bytes) in REGEDIT4 form,
//       "[<full key path>]" then the value's line; a value that did not exist
//       (the prior state of a tweak) is written as "name"=- and restoring it
//       removes the value again.
//   [TYPE:FILE_COPY]  [PATH:\<stored name>]
//       right after the FILE record it belongs to: the name under which the
//       file's copy is stored in the set, unique within the set. Without it
//       (older sets) the copy is stored under the file's bare name.
//
// <n> is the number the caller passes (repair passes the record's 1-based
// position in its problem list). rkBackUp files are REGEDIT4 (or version 5)
// exports that "regedit /S" imports.

#include <string>

#include "repair/CabinetCompressor.h"

namespace recordType {
constexpr const char* regKey = "REG_KEY";
constexpr const char* regValue = "REG_VALUE";
constexpr const char* file = "FILE";
constexpr const char* regValueExact = "REG_VALUE_EXACT";
constexpr const char* fileCopy = "FILE_COPY";
} // namespace recordType

// How AddRegKey writes a key's export: in process (the default), or by
// running the system's registry editor with /e once per key (kept for comparison).
enum class KeyExport { InProcess, Regedit };

class BackupSet {
public:
    BackupSet() = default;
    BackupSet(const BackupSet&) = delete;
    BackupSet& operator=(const BackupSet&) = delete;

    // ---- Writing (one repair) ----------------------------------------------
    // RecoverUnfinishedSet(workFolder), make sure the folder exists and is
    // empty, Begin(workFolder), then AddRegKey / AddRegValue / AddFileCopy /
    // AddValueState for each item before it is removed or changed, then Finish.
    //
    // Every Add answers 1 only when the item's backup is complete in the work
    // folder and its record is in Config.ini: an item may be removed only
    // after a 1. On 0 nothing of the item is in the set and LastProblem() says
    // why (AddFileCopy and AppendRecord have also shown their message box).

    // A work folder that still holds the Config.ini of a set that was never
    // finished (the program was ended during a repair) is packed into a set of
    // its own, named after the time that Config.ini was made, and emptied.
    // 1 when there was none or it is packed; 0 when it could not be packed:
    // the folder is kept, `message` says where, and no new set may begin there.
    static int RecoverUnfinishedSet(const std::string& workFolder, std::string& message);

    // Names the set after the current local time ("7,4,2009_15,3,9", with
    // "_2", "_3" ... when a set of that name exists) and begins its cabinet.
    // 1 when begun; 0 after the cabinet's error box (records are still written
    // into the work folder, and Finish keeps them).
    int Begin(const std::string& workFolder);
    // The key's export as rkBackUp<number>.reg and its REG_KEY record.
    int AddRegKey(const std::string& keyPath, int number);
    // The REG_VALUE record with `valueData` as the record's text, and the
    // value's exact copy (type and bytes, read from the registry now) as
    // rvBackUp<number>.reg announced by a REG_VALUE_EXACT record. The value
    // must exist.
    int AddRegValue(const std::string& keyPath, const std::string& valueName,
                    const std::string& valueData, int number);
    // The state a value has now, before a tweak changes it: the same two
    // records as AddRegValue, the exact copy saying "name"=- when the value
    // (or its key) does not exist, so that a restore removes it again.
    int AddValueState(const std::string& keyPath, const std::string& valueName, int number);
    // Copies the file into the work folder under a name unique within the set
    // (its bare name when free) and writes its FILE and FILE_COPY records.
    int AddFileCopy(const std::string& filePath, int number);
    // Appends one record to Config.ini; 1 when all of it was written.
    int AppendRecord(const std::string& recordText);
    // Packs the work folder into the set's cabinet, reopens the cabinet and
    // checks that it lists every file of the folder at its size, and only
    // then empties the folder. 1 when so; 0 when the folder was kept
    // (ResultText() says where the backup is).
    int Finish();

    // Why the last Add answered 0; empty after a 1.
    const std::string& LastProblem() const { return problem; }
    // After a Finish that answered 0: the text to show the user.
    const std::string& ResultText() const { return resultText; }
    void SetKeyExport(KeyExport how) { keyExport = how; }

    // ---- Reading ---------------------------------------------------------------
    void SetCabinetPath(const std::string& path) { cabinetPath = path; }
    const std::string& CabinetPath() const { return cabinetPath; }
    // Empties `targetFolder`, then unpacks the set into it. 1 when every file
    // was unpacked; 0 after the cabinet layer's message box.
    int UnpackTo(const std::string& targetFolder);
    // The same without emptying the folder first.
    int UnpackInto(const std::string& targetFolder);

    // The value of field `tag` in one line of Config.ini: everything after the
    // tag and its colon up to the last "]". A line without the tag comes back
    // unchanged.
    static std::string ReadRecordField(const std::string& line, const std::string& tag);
    // "Saturday, July 04, 2009 Time: 15:03:09" for the set name
    // "7,4,2009_15,3,9" (a suffix such as "_2" is ignored); empty when the name
    // holds fewer than six numbers.
    static std::string BackupDateText(const std::string& setName);

    // The folder every set lives in: the program folder + "\Quillmoor8Backup".
    static std::string BackupFolder();

private:
    int BeginAt(const std::string& folder, const SYSTEMTIME& when);
    int AddValue(const std::string& keyPath, const std::string& valueName, const std::string* recordData,
                 int number);
    int ExportWithRegedit(const std::string& keyPath, const std::string& filePath);
    std::string FreeName(const std::string& stem, const std::string& extension) const;
    std::string FreeCopyName(const std::string& bareName, int number) const;
    bool CabinetHoldsWorkFolder();
    int Fail(const std::string& why);

    CabinetCompressor compressor;
    // The set being written (its cabinet, from Begin on), or the set to read.
    std::string cabinetPath;
    std::string workFolder;
    KeyExport keyExport = KeyExport::InProcess;
    std::string problem;
    std::string resultText;
};
