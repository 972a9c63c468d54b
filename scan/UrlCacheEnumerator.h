#pragma once
// Walks the entries of the system's URL cache that match a search pattern.
// Owns the record of the current entry and the search handle.

#include <windows.h>
#include <wininet.h>

#include <string>
#include <vector>

class UrlCacheEnumerator {
public:
    UrlCacheEnumerator() = default;
    ~UrlCacheEnumerator();
    UrlCacheEnumerator(const UrlCacheEnumerator&) = delete;
    UrlCacheEnumerator& operator=(const UrlCacheEnumerator&) = delete;

    // The first entry matching `pattern` (a search started before is closed
    // first), or null. The record stays valid until the next call.
    const INTERNET_CACHE_ENTRY_INFOA* First(const std::string& pattern);
    // The next entry of the search, or null.
    const INTERNET_CACHE_ENTRY_INFOA* Next();
    void Close();

private:
    // Makes room for `wanted` bytes and zeroes the record.
    INTERNET_CACHE_ENTRY_INFOA* PrepareBuffer();

    std::vector<unsigned char> buffer;
    DWORD wanted = 4096;
    HANDLE search = nullptr;
};
