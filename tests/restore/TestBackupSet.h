#pragma once
// Backup sets made by hand for the restore tests (older sets, damaged sets):
// Config.ini stored the way the writer stores it (CR CR LF), registry exports
// from the registry editor and file copies, packed into the backup folder.

#include <string>

class TestBackupSet {
public:
    // `name` is the set name, e.g. "7,4,2009_15,3,9".
    explicit TestBackupSet(const std::string& name);
    ~TestBackupSet(); // deletes the cabinet and the work folder
    TestBackupSet(const TestBackupSet&) = delete;
    TestBackupSet& operator=(const TestBackupSet&) = delete;

    // A key exported now by the registry editor, with its record.
    void Key(const std::string& keyPath, int number);
    void Value(const std::string& keyPath, const std::string& name, const std::string& data);
    // A copy of the file as it stands now, stored under `storedName` (with its
    // record) or, when empty, under its bare name as older sets do.
    void File(const std::string& path, const std::string& storedName = "");
    // Lines added to Config.ini as they are; each "\n" is stored as CR CR LF.
    void Lines(const std::string& text);

    // Packs the set into the backup folder; its cabinet path.
    std::string Pack();
    const std::string& Name() const { return name; }

private:
    std::string name;
    std::string work;
    std::string cabinet;
};

// The registry editor's export of a key, for comparing states; empty when
// the key does not exist.
std::string ExportKey(const std::string& keyPath);
