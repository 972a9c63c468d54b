#pragma once
// One HTTP request over WinINet, read whole: the update check's version page
// and the updater's download. Built into the updater too, so it uses nothing
// else of the program.

#include <windows.h>

#include <functional>
#include <string>

enum class HttpResult { Done, Missing, Failed };

// Requests `address` with the program's user agent and request headers and
// `flags` (INTERNET_FLAG_...) and reads the whole answer into `bytes`.
// Missing: the server answered with any status but 200 (a proxy's or a
// captive portal's own page must not pass for the server). Failed: no
// connection or request could be made, or a read failed. `announced` gets
// the length the server announced, 0 when it announced none; `onPiece` is
// called after each piece with the bytes read so far and that length.
HttpResult HttpGet(const std::string& address, DWORD flags, std::string& bytes, DWORD* announced = nullptr,
                   const std::function<void(size_t, DWORD)>& onPiece = nullptr);
