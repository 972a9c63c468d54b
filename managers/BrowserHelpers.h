#pragma once
// Internet Explorer's browser helper objects: listing them, and removing one
// after its whole key is safe in the program's backup key.

#include <string>
#include <vector>

extern const char browserHelpersKeyPath[];
// Below HKEY_CURRENT_USER: one copy of each removed object's key, named by its class id.
extern const char browserHelpersBackupKey[];

struct BrowserHelper {
    std::string classId; // the object's key name, in braces
    std::string name;    // its key's default value
    std::string file;    // its class's in-process server
};

std::vector<BrowserHelper> ListBrowserHelpers();

// The file registered for the class id; empty when there is none.
std::string BrowserHelperFile(const std::string& classId);

// Copies the object's key (values and subkeys) to the backup key under its
// class id, replacing an older copy, and deletes the key once the copy reads
// back whole; 1 when removed.
int RemoveBrowserHelper(const std::string& classId);
