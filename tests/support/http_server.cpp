#include "http_server.h"

#include <ws2tcpip.h>

#include <algorithm>

namespace {

const DWORD HEAD_WAIT_MS = 10000;   // a request head that never ends is dropped
const DWORD HOLD_MS = 60000;        // a held reply goes by itself after this
const size_t HEAD_MAX = 16384;

bool same_name(const std::string &a, const std::string &b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return tolower((unsigned char)x) == tolower((unsigned char)y);
           });
}

// Readable within `ms`: the wait of every receive here is bounded.
bool readable(SOCKET s, DWORD ms)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval limit = {(long)(ms / 1000), (long)(ms % 1000) * 1000};
    return select(0, &set, nullptr, nullptr, &limit) == 1;
}

std::string read_head(SOCKET client)
{
    std::string head;
    DWORD start = GetTickCount();
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < HEAD_MAX) {
        DWORD spent = GetTickCount() - start;
        if (spent >= HEAD_WAIT_MS || !readable(client, HEAD_WAIT_MS - spent))
            break;
        char part[1024];
        int got = recv(client, part, sizeof part, 0);
        if (got <= 0)
            break;
        head.append(part, got);
    }
    return head;
}

Request parse(const std::string &head)
{
    Request request;
    size_t at = head.find("\r\n");
    request.line = head.substr(0, at);
    while (at != std::string::npos) {
        size_t start = at + 2, end = head.find("\r\n", start);
        if (end == std::string::npos || end == start)
            break;
        std::string line = head.substr(start, end - start);
        size_t colon = line.find(':');
        std::string value = colon == std::string::npos ? "" : line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        request.headers.push_back({line.substr(0, colon), value});
        at = end;
    }
    return request;
}

std::string path_of(const Request &request)
{
    size_t first = request.line.find(' '), second = request.line.find(' ', first + 1);
    return first == std::string::npos ? "" : request.line.substr(first + 1, second - first - 1);
}

void send_all(SOCKET client, const std::string &data)
{
    for (size_t done = 0; done < data.size();) {
        int sent = send(client, data.data() + done, (int)std::min<size_t>(data.size() - done, 1 << 16), 0);
        if (sent <= 0)
            return;
        done += sent;
    }
}

}   // namespace

std::string http_reply(const std::string &status, const std::string &headers, const std::string &body)
{
    return "HTTP/1.1 " + status + "\r\n" + headers + "Content-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

std::string http_ok(const std::string &body)
{
    return http_reply("200 OK", "Content-Type: application/octet-stream\r\n", body);
}

std::string Request::header(const std::string &name) const
{
    for (auto &h : headers)
        if (same_name(h.first, name))
            return h.second;
    return "";
}

size_t Request::count(const std::string &name) const
{
    return std::count_if(headers.begin(), headers.end(), [&](const auto &h) { return same_name(h.first, name); });
}

void HttpServer::start(At at, int port, const std::map<std::string, std::string> &replies, bool hold)
{
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
        stop_at(at, "no winsock");
    routes = replies;
    released = CreateEventW(nullptr, TRUE, hold ? FALSE : TRUE, nullptr);
    listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET)
        stop_at(at, "no socket: " + std::to_string(WSAGetLastError()));
    // The previous test's connections may still linger on this port.
    BOOL reuse = TRUE;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, (const char *)&reuse, sizeof reuse);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons((u_short)port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener, (sockaddr *)&address, sizeof address) != 0 || listen(listener, 8) != 0)
        stop_at(at, "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::to_string(WSAGetLastError()));
    stopping = false;
    thread = std::thread([this] { serve(); });
}

void HttpServer::set_route(const std::string &path, const std::string &reply)
{
    std::lock_guard<std::mutex> hold(lock);
    routes[path] = reply;
}

void HttpServer::release()
{
    if (released)
        SetEvent(released);
}

void HttpServer::serve()
{
    while (!stopping) {
        if (!readable(listener, 50))
            continue;
        SOCKET client = accept(listener, nullptr, nullptr);
        if (client == INVALID_SOCKET)
            continue;
        answer(client);
        closesocket(client);
    }
}

void HttpServer::answer(SOCKET client)
{
    std::string head = read_head(client);
    if (head.empty())
        return;
    Request request = parse(head);
    std::string reply;
    {
        std::lock_guard<std::mutex> hold(lock);
        seen.push_back(request);
        auto route = routes.find(path_of(request));
        reply = route != routes.end() ? route->second : http_reply("404 Not Found", "", "not here");
    }
    WaitForSingleObject(released, HOLD_MS);
    send_all(client, reply);
    // Sent whole before the close, so that the client reads the end of the body, not a reset.
    shutdown(client, SD_SEND);
    {
        std::lock_guard<std::mutex> hold(lock);
        replied++;
    }
    char drain[256];
    while (readable(client, 1000) && recv(client, drain, sizeof drain, 0) > 0) {
    }
}

bool HttpServer::wait_requests(size_t count, DWORD ms)
{
    return wait_for(ms, [&] {
        std::lock_guard<std::mutex> hold(lock);
        return seen.size() >= count;
    });
}

bool HttpServer::wait_replies(size_t count, DWORD ms)
{
    return wait_for(ms, [&] {
        std::lock_guard<std::mutex> hold(lock);
        return replied >= count;
    });
}

std::vector<Request> HttpServer::requests()
{
    std::lock_guard<std::mutex> hold(lock);
    return seen;
}

void HttpServer::stop()
{
    if (listener == INVALID_SOCKET)
        return;
    stopping = true;
    release();
    if (thread.joinable())
        thread.join();
    closesocket(listener);
    listener = INVALID_SOCKET;
    CloseHandle(released);
    released = nullptr;
    WSACleanup();
}
