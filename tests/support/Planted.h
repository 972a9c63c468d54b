#pragma once
// Things a test plants in the test prefix and that vanish when the test ends:
// registry keys with values of any type under any root, files and folders.

#include <windows.h>

#include <string>
#include <vector>

// A registry key for the test that leaves the registry as it found it. Keys
// the constructor had to create go at the end with everything below them; a
// key that was there already loses only what this object put into it: its
// values are put back as they were and the subkeys it created are removed.
class PlantedKey {
public:
    // `path` is below `root`, e.g. "Software\\QuillmoorTest\\Run".
    PlantedKey(HKEY root, const std::string& path);
    ~PlantedKey();
    PlantedKey(const PlantedKey&) = delete;
    PlantedKey& operator=(const PlantedKey&) = delete;

    HKEY Root() const { return root; }
    const std::string& Path() const { return path; }
    // The full key path with the root's long name, e.g. "HKEY_CURRENT_USER\\Software\\...".
    std::string FullPath() const;

    // Each Set... writes one value of the key; an empty name is the default value.
    void SetString(const std::string& name, const std::string& data, DWORD type = REG_SZ);
    void SetDword(const std::string& name, DWORD data);
    void SetBinary(const std::string& name, const std::vector<BYTE>& data, DWORD type = REG_BINARY);
    // Puts the value back at the end as it is now (or deletes it if missing),
    // for a test that changes it by other means.
    void Keep(const std::string& name);
    // A subkey of this key (created now, deleted with this key).
    std::string Subkey(const std::string& name);

private:
    struct KeptValue {
        std::string name;
        bool existed;
        DWORD type;
        std::vector<BYTE> data;
    };

    HKEY root;
    std::string path;
    std::string topCreated; // shallowest key this object created; deleted at the end
    std::vector<KeptValue> kept;             // only while the key was there already
    std::vector<std::string> createdSubkeys; // likewise
};

// One value written into a key that may hold the system's own values (Run,
// Fonts ...): at the end the value is as it was, and the key is gone again if
// it was created for the value.
class PlantedValue : PlantedKey {
public:
    PlantedValue(HKEY root, const std::string& path, const std::string& name, const std::string& data,
                 DWORD type = REG_SZ)
        : PlantedKey(root, path)
    {
        SetString(name, data, type);
    }
};

// Removes a folder and everything in it.
void RemoveTree(const std::string& path);

// A file or folder made for the test: the parent folders that had to be
// created for it are removed again (when empty) at the end.
class PlantedPath {
public:
    PlantedPath(const PlantedPath&) = delete;
    PlantedPath& operator=(const PlantedPath&) = delete;
    const std::string& Path() const { return path; }

protected:
    explicit PlantedPath(const std::string& path) : path(path) {}
    ~PlantedPath();
    std::string path;
    std::vector<std::string> createdFolders; // deepest last
};

// A file written for the test, deleted at the end.
class PlantedFile : public PlantedPath {
public:
    PlantedFile(const std::string& path, const std::string& content = "x");
    ~PlantedFile();
};

// A folder created for the test and removed with everything in it at the end.
class PlantedFolder : public PlantedPath {
public:
    explicit PlantedFolder(const std::string& path);
    ~PlantedFolder() { RemoveTree(path); }
};

// Creates the folder and any missing parents; returns those created, shallowest first.
std::vector<std::string> CreateFolders(const std::string& path);
// A unique name for this test process, for keys and files that must not clash.
std::string UniqueName(const std::string& stem);
// The folder of the running test executable.
std::string TestBinaryFolder();
