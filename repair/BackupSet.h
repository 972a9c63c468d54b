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

class BackupSet {
public:
    BackupSet() = default;
    BackupSet(const BackupSet&) = delete;
    BackupSet& operator=(const BackupSet&) = delete;

    // ---- Writing (one repair) ----------------------------------------------
    // Begin(workFolder), then AddRegKey / AddRegValue / AddFileCopy for each
    // item before it is removed, then Finish.
    int Begin(const std::string& workFolder);
    int AddRegKey(const std::string& keyPath, int number);
    int AddRegValue(const std::string& keyPath, const std::string& valueName,
                    const std::string& valueData, int number);
    int AddFileCopy(const std::string& filePath, int number);
    int AppendRecord(const std::string& recordText);
    int Finish();
    int AddValueState(const std::string& keyPath, const std::string& valueName, int number);
    static int RecoverUnfinishedSet(const std::string& workFolder, std::string& message);
    const std::string& LastProblem() const { return cabinetPath; }
    const std::string& ResultText() const { return cabinetPath; }

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
    CabinetCompressor compressor;
    std::string cabinetPath;
    std::string workFolder;
};
