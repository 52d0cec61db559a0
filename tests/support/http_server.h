// A tiny HTTP server on 127.0.0.1 for the update check: canned replies by path, every request's
// head recorded, optionally holding its reply until the test lets it go. One per test.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "driver.h"

std::string http_reply(const std::string &status, const std::string &headers, const std::string &body);
std::string http_ok(const std::string &body);

struct Request {
    std::string line;                                // "GET /path HTTP/1.1"
    std::vector<std::pair<std::string, std::string>> headers;   // in the order sent
    std::string header(const std::string &name) const;          // "" when absent; names ignore case
    size_t count(const std::string &name) const;
};

class HttpServer {
public:
    ~HttpServer() { stop(); }
    // Listens on 127.0.0.1:port; replies by path, anything else gets 404.
    void start(At at, int port, const std::map<std::string, std::string> &routes, bool hold = false);
    void set_route(const std::string &path, const std::string &reply);
    // Lets a held reply go.
    void release();
    // Waits until `count` requests have arrived.
    bool wait_requests(size_t count, DWORD ms);
    // Waits until `count` replies have been sent whole.
    bool wait_replies(size_t count, DWORD ms);
    std::vector<Request> requests();
    void stop();

private:
    void serve();
    void answer(SOCKET client);

    SOCKET listener = INVALID_SOCKET;
    std::thread thread;
    std::mutex lock;
    std::map<std::string, std::string> routes;
    std::vector<Request> seen;
    size_t replied = 0;
    HANDLE released = nullptr;
    volatile bool stopping = false;
};
