#pragma once
// Deep key chains, and links as Wine makes them: a host system's symbolic link to a folder (as
// the profile's Documents to the Linux home) and a key whose SymbolicLinkValue names another key.

#include <windows.h>

#include <string>

// A folder link at `link` leading to the folder `target` (Windows paths); gone, as a link, at the end.
class FolderLink {
public:
    FolderLink(const std::string& link, const std::string& target);
    ~FolderLink();
    FolderLink(const FolderLink&) = delete;
    FolderLink& operator=(const FolderLink&) = delete;
    bool Made() const { return made; }

private:
    std::string link;
    std::string unixLink;
    bool made = false;
};

// A link key `name` below `parent` (under `root`) leading to the key
// `target` below `targetRoot`; gone, as a link, at the end.
class LinkKey {
public:
    LinkKey(HKEY root, const std::string& parent, const std::string& name, HKEY targetRoot,
            const std::string& target);
    ~LinkKey();
    LinkKey(const LinkKey&) = delete;
    LinkKey& operator=(const LinkKey&) = delete;
    bool Made() const { return made; }

private:
    HKEY root;
    std::string path;
    bool made = false;
};

// Creates `levels` nested subkeys "d" below `path` and writes the REG_SZ
// `name` = `data` in the deepest, one level at a time: a path that long
// cannot be named in one call.
bool PlantDeepChain(HKEY root, const std::string& path, int levels, const std::string& name,
                    const std::string& data);
// The REG_SZ `name` of the deepest key of such a chain; empty when unreadable.
std::string ReadDeepChain(HKEY root, const std::string& path, int levels, const std::string& name);
