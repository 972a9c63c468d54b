#include "scan/UrlCacheEnumerator.h"

#include <algorithm>

UrlCacheEnumerator::~UrlCacheEnumerator()
{
    Close();
}

INTERNET_CACHE_ENTRY_INFOA* UrlCacheEnumerator::PrepareBuffer()
{
    if (buffer.size() >= wanted)
        std::fill(buffer.begin(), buffer.end(), 0);
    else
        buffer.assign(wanted, 0);
    return reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer.data());
}

const INTERNET_CACHE_ENTRY_INFOA* UrlCacheEnumerator::First(const std::string& pattern)
{
    Close();
    while (true) {
        INTERNET_CACHE_ENTRY_INFOA* entry = PrepareBuffer();
        DWORD size = static_cast<DWORD>(buffer.size());
        search = FindFirstUrlCacheEntryA(pattern.c_str(), entry, &size);
        if (search)
            return entry;
        // A record too large for the buffer: the platform said how much it needs.
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size <= buffer.size())
            return nullptr;
        wanted = size;
    }
}

const INTERNET_CACHE_ENTRY_INFOA* UrlCacheEnumerator::Next()
{
    if (!search)
        return nullptr;
    while (true) {
        INTERNET_CACHE_ENTRY_INFOA* entry = PrepareBuffer();
        DWORD size = static_cast<DWORD>(buffer.size());
        if (FindNextUrlCacheEntryA(search, entry, &size))
            return entry;
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size <= buffer.size())
            return nullptr;
        wanted = size;
    }
}

void UrlCacheEnumerator::Close()
{
    if (search)
        FindCloseUrlCache(search);
    search = nullptr;
}
