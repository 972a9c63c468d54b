#include <winsock2.h>

#include "LocalHttpServer.h"

#include <zlib.h>

#include <cstdio>

LocalHttpServer::LocalHttpServer() : listener(INVALID_SOCKET)
{
    InitializeCriticalSection(&lock);
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 0), &data) != 0)
        return;
    SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int size = sizeof(address);
    if (socket == INVALID_SOCKET || bind(socket, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(socket, 4) != 0 ||
        getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        if (socket != INVALID_SOCKET)
            closesocket(socket);
        return;
    }
    listener = socket;
    port = ntohs(address.sin_port);
    thread = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

LocalHttpServer::~LocalHttpServer()
{
    InterlockedExchange(&stopping, 1);
    if (thread) {
        WaitForSingleObject(thread, 30000);
        CloseHandle(thread);
    }
    if (listener != INVALID_SOCKET)
        closesocket(listener);
    WSACleanup();
    DeleteCriticalSection(&lock);
}

std::string LocalHttpServer::Host() const
{
    return port ? "127.0.0.1:" + std::to_string(port) : std::string();
}

void LocalHttpServer::Set(const std::string& path, const HttpReply& reply)
{
    EnterCriticalSection(&lock);
    replies[path] = reply;
    LeaveCriticalSection(&lock);
}

void LocalHttpServer::Clear()
{
    EnterCriticalSection(&lock);
    replies.clear();
    LeaveCriticalSection(&lock);
}

DWORD WINAPI LocalHttpServer::Run(void* self)
{
    LocalHttpServer* server = static_cast<LocalHttpServer*>(self);
    while (!server->stopping) {
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(server->listener, &ready);
        timeval wait = {0, 100000};
        if (select(0, &ready, nullptr, nullptr, &wait) <= 0)
            continue;
        SOCKET connection = accept(server->listener, nullptr, nullptr);
        if (connection == INVALID_SOCKET)
            continue;
        server->Answer(connection);
        closesocket(connection);
    }
    return 0;
}

void LocalHttpServer::Answer(UINT_PTR connection)
{
    DWORD timeout = 5000;
    setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof(timeout));
    std::string request;
    char piece[1024];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 16384) {
        int got = recv(connection, piece, sizeof(piece), 0);
        if (got <= 0)
            return;
        request.append(piece, got);
    }
    size_t start = request.find(' ') + 1;
    std::string path = request.substr(start, request.find(' ', start) - start);
    HttpReply reply;
    reply.status = 404;
    reply.body = "<html><body>Not Found</body></html>";
    EnterCriticalSection(&lock);
    auto found = replies.find(path);
    if (found != replies.end())
        reply = found->second;
    LeaveCriticalSection(&lock);

    char head[200];
    snprintf(head, sizeof(head),
             "HTTP/1.0 %d %s\r\nContent-Type: text/html\r\nContent-Length: %u\r\nConnection: close\r\n\r\n",
             reply.status, reply.status == 200 ? "OK" : "Error", unsigned(reply.body.size()));
    std::string answer = head;
    size_t bodyStart = answer.size();
    answer += reply.body;
    size_t sendUpTo = answer.size();
    if (reply.dropAfter != std::string::npos)
        sendUpTo = bodyStart + reply.dropAfter;
    size_t halfway = reply.holdHalfway ? bodyStart + reply.body.size() / 2 : sendUpTo;
    for (size_t sent = 0; sent < sendUpTo;) {
        if (sent == halfway)
            WaitForSingleObject(reply.holdHalfway, 20000);
        size_t upTo = sent < halfway ? halfway : sendUpTo;
        int put = send(connection, answer.data() + sent, int(upTo - sent), 0);
        if (put <= 0)
            return;
        sent += put;
    }
    shutdown(connection, SD_SEND);
}

std::string MakeZip(const std::map<std::string, std::string>& files)
{
    auto put16 = [](std::string& out, unsigned v) { out += char(v & 0xff); out += char(v >> 8 & 0xff); };
    auto put32 = [&](std::string& out, unsigned long v) { put16(out, v & 0xffff); put16(out, v >> 16); };
    std::string archive, directory;
    for (const auto& [name, contents] : files) {
        std::string packed(compressBound(uLong(contents.size())) + 64, '\0');
        z_stream stream = {};
        deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(contents.data()));
        stream.avail_in = uInt(contents.size());
        stream.next_out = reinterpret_cast<Bytef*>(&packed[0]);
        stream.avail_out = uInt(packed.size());
        deflate(&stream, Z_FINISH);
        packed.resize(stream.total_out);
        deflateEnd(&stream);
        unsigned long crc = crc32(0, reinterpret_cast<const Bytef*>(contents.data()), uInt(contents.size()));
        unsigned long offset = archive.size();
        std::string common;
        put16(common, 20), put16(common, 0), put16(common, 8), put16(common, 0), put16(common, 0);
        put32(common, crc), put32(common, packed.size()), put32(common, contents.size());
        put16(common, name.size()), put16(common, 0);
        put32(archive, 0x04034b50);
        archive += common + name + packed;
        put32(directory, 0x02014b50);
        put16(directory, 20);
        directory += common;
        put16(directory, 0), put16(directory, 0), put16(directory, 0), put32(directory, 0);
        put32(directory, offset);
        directory += name;
    }
    unsigned long directoryOffset = archive.size();
    archive += directory;
    put32(archive, 0x06054b50), put16(archive, 0), put16(archive, 0);
    put16(archive, files.size()), put16(archive, files.size());
    put32(archive, directory.size()), put32(archive, directoryOffset), put16(archive, 0);
    return archive;
}
