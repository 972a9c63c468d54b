#pragma once
// One value written into a key that may already exist and hold the system's
// own values (Run, Sounds, Fonts ...). Only what the test added goes away:
// the value, and the key when the test created it.

#include <windows.h>

#include <string>
#include <vector>

class PlantedValue {
public:
    PlantedValue(HKEY root, const std::string& path, const std::string& name,
                 const std::string& data);
    PlantedValue(HKEY root, const std::string& path, const std::string& name, DWORD data);
    ~PlantedValue();
    PlantedValue(const PlantedValue&) = delete;
    PlantedValue& operator=(const PlantedValue&) = delete;

    const std::string& Name() const { return name; }
    // Whether the value is still in the registry.
    bool Exists() const;

private:
    void Write(DWORD type, const void* data, DWORD size);

    HKEY root;
    std::string path;
    std::string name;
    bool createdKey = false;
};
