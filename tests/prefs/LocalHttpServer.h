#pragma once
// A small HTTP server on 127.0.0.1 for one test: it answers GET requests from
// a table of paths (404 for any other), one connection at a time, on a thread
// of its own that ends with the object. Only the loopback address is bound.

#include <windows.h>

#include <map>
#include <string>

struct HttpReply {
    int status = 200;
    std::string body;
    // Sends the announced length's first `dropAfter` bytes only, then closes.
    size_t dropAfter = std::string::npos;
    // Sends the first half of the body, then waits for this event (at most
    // 20 seconds) before the rest.
    HANDLE holdHalfway = nullptr;
};

class LocalHttpServer {
public:
    LocalHttpServer();
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    // "127.0.0.1:PORT", or empty when no port could be bound.
    std::string Host() const;
    void Set(const std::string& path, const HttpReply& reply);
    void Clear();

private:
    static DWORD WINAPI Run(void* self);
    void Answer(UINT_PTR connection);

    UINT_PTR listener;
    int port = 0;
    volatile LONG stopping = 0;
    HANDLE thread = nullptr;
    CRITICAL_SECTION lock;
    std::map<std::string, HttpReply> replies;
};

// A zip archive of the files given (name, contents), each deflated.
std::string MakeZip(const std::map<std::string, std::string>& files);
