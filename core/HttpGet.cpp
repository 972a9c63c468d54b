#include "core/HttpGet.h"

#include <wininet.h>

#include "core/Handles.h"

namespace {

const char userAgent[] = "Microsoft Internet Explorer";
const char requestHeaders[] = "Accept: */*\r\n\r\n";

// Internet handles, which InternetCloseHandle ends.
struct InternetHandleTraits {
    using Type = HINTERNET;
    static HINTERNET Empty() { return nullptr; }
    static bool IsEmpty(HINTERNET h) { return h == nullptr; }
    static void Close(HINTERNET h) { InternetCloseHandle(h); }
};
using InternetHandle = UniqueHandle<InternetHandleTraits>;

} // namespace

HttpResult HttpGet(const std::string& address, DWORD flags, std::string& bytes, DWORD* announced,
                   const std::function<void(size_t, DWORD)>& onPiece)
{
    bytes.clear();
    InternetHandle internet(InternetOpenA(userAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet.Get())
        return HttpResult::Failed;
    InternetHandle request(InternetOpenUrlA(internet.Get(), address.c_str(), requestHeaders,
                                            static_cast<DWORD>(sizeof(requestHeaders) - 1), flags, 0));
    if (!request.Get())
        return HttpResult::Failed;
    DWORD status = 0, size = sizeof(status);
    if (!HttpQueryInfoA(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
        return HttpResult::Failed;
    if (status != 200)
        return HttpResult::Missing;
    DWORD length = 0;
    size = sizeof(length);
    if (!HttpQueryInfoA(request.Get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size, nullptr))
        length = 0;
    if (announced)
        *announced = length;
    // A page that arrives in several packets is read whole.
    for (;;) {
        char piece[8192];
        DWORD read = 0;
        if (!InternetReadFile(request.Get(), piece, sizeof(piece), &read)) {
            bytes.clear();
            return HttpResult::Failed;
        }
        if (read == 0)
            return HttpResult::Done;
        bytes.append(piece, read);
        if (onPiece)
            onPiece(bytes.size(), length);
    }
}
