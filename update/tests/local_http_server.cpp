#include "update/tests/local_http_server.h"

#include <algorithm>
#include <cctype>
#include <chrono>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace tov::test {
namespace {

std::string reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 404:
            return "Not Found";
        case 500:
            return "Internal Server Error";
        default:
            return "Status";
    }
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool readHead(TcpSocket& socket, std::string& head) {
    char buffer[2048];
    while (head.find("\r\n\r\n") == std::string::npos) {
        const RecvResult r = socket.receive(buffer, sizeof buffer);
        if (r.status != RecvStatus::Data) return false;
        head.append(buffer, r.bytes);
        if (head.size() > 65536) return false;
    }
    return true;
}

HttpRequest parseHead(const std::string& head) {
    HttpRequest request;
    size_t lineEnd = head.find("\r\n");
    const std::string first = head.substr(0, lineEnd);
    const size_t a = first.find(' '), b = first.rfind(' ');
    if (a != std::string::npos && b > a) request.path = first.substr(a + 1, b - a - 1);
    while (lineEnd != std::string::npos) {
        const size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string line = head.substr(start, lineEnd - start);
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        request.headers[lower(trim(line.substr(0, colon)))] = trim(line.substr(colon + 1));
    }
    return request;
}

}  // namespace

HttpResponse answer(int status, std::string body) {
    HttpResponse r;
    r.status = status;
    r.body = std::move(body);
    return r;
}

HttpResponse withLength(std::string body, uint64_t announcedLength) {
    HttpResponse r = answer(200, std::move(body));
    r.announcedLength = announcedLength;
    return r;
}

HttpResponse withoutLength(std::string body) {
    HttpResponse r = answer(200, std::move(body));
    r.omitLength = true;
    return r;
}

HttpResponse held(std::string body) {
    HttpResponse r = answer(200, std::move(body));
    r.hold = true;
    return r;
}

HttpResponse dripping(std::string body, uint32_t everyMs) {
    HttpResponse r = answer(200, std::move(body));
    r.dripMs = everyMs;
    return r;
}

LocalHttpServer::LocalHttpServer(std::wstring folder)
    : folder_(std::move(folder)), listener_(TcpListener::listenLoopback(0)) {
    if (listener_) thread_ = std::thread([this] { serve(); });
}

LocalHttpServer::~LocalHttpServer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        released_ = true;
    }
    changed_.notify_all();
    if (listener_) listener_->close();
    if (thread_.joinable()) thread_.join();
}

std::string LocalHttpServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port()) + path;
}

void LocalHttpServer::setResponse(const std::string& path, HttpResponse response) {
    std::lock_guard lock(mutex_);
    responses_[path] = std::move(response);
}

void LocalHttpServer::resetConnections(bool on) {
    std::lock_guard lock(mutex_);
    reset_ = on;
}

void LocalHttpServer::release() {
    {
        std::lock_guard lock(mutex_);
        released_ = true;
    }
    changed_.notify_all();
}

bool LocalHttpServer::waitUntilHolding(uint32_t timeoutMs) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [this] { return holding_; });
}

bool LocalHttpServer::waitUntilIdle(uint32_t timeoutMs) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !busy_; });
}

std::vector<HttpRequest> LocalHttpServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

int LocalHttpServer::requestCount(const std::string& path) const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count_if(requests_.begin(), requests_.end(),
                                          [&](const HttpRequest& r) { return r.path == path; }));
}

void LocalHttpServer::serve() {
    while (true) {
        std::unique_ptr<TcpSocket> socket = listener_->accept(0);
        if (!socket) return;
        {
            std::lock_guard lock(mutex_);
            busy_ = true;
        }
        // Closing with the request unread resets the connection.
        if (answer(*socket)) socket->shutdown();
        socket.reset();
        {
            std::lock_guard lock(mutex_);
            busy_ = false;
        }
        changed_.notify_all();
    }
}

HttpResponse LocalHttpServer::responseFor(const std::string& path) {
    {
        std::lock_guard lock(mutex_);
        const auto found = responses_.find(path);
        if (found != responses_.end()) return found->second;
    }
    HttpResponse response;
    // Files are found by path alone; a query is only recorded.
    const std::string name = path.substr(path.empty() ? 0 : 1, path.find('?') - 1);
    if (name.empty() || name.find_first_of("/\\") != std::string::npos || name == ".." ||
        !readFile(joinPath(folder_, widen(name)), response.body)) {
        response.status = 404;
        response.body = "not here";
    }
    return response;
}

bool LocalHttpServer::answer(TcpSocket& socket) {
    socket.setReceiveTimeout(5000);
    bool reset;
    {
        std::lock_guard lock(mutex_);
        reset = reset_;
    }
    if (reset) {
        char first;
        if (socket.receive(&first, 1).status != RecvStatus::Data) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the rest arrives
        std::lock_guard lock(mutex_);
        requests_.push_back({"<reset>", {}});
        return false;
    }
    std::string head;
    if (!readHead(socket, head)) return true;
    HttpRequest request = parseHead(head);
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
    }
    const HttpResponse response = responseFor(request.path);
    if (response.hold) {
        std::unique_lock lock(mutex_);
        holding_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return released_; });
        holding_ = false;
        if (stopping_) return true;
    }
    std::string out = "HTTP/1.1 " + std::to_string(response.status) + " " +
                      reason(response.status) + "\r\nContent-Type: application/octet-stream\r\n";
    if (!response.omitLength) {
        out += "Content-Length: " +
               std::to_string(response.announcedLength.value_or(response.body.size())) + "\r\n";
    }
    out += "Connection: close\r\n\r\n";
    if (response.dripMs > 0) {
        if (socket.sendAll(out.data(), out.size())) drip(socket, response.body, response.dripMs);
        return true;
    }
    out += response.body;
    socket.sendAll(out.data(), out.size());
    return true;
}

void LocalHttpServer::drip(TcpSocket& socket, const std::string& body, uint32_t everyMs) {
    for (char byte : body) {
        {
            std::unique_lock lock(mutex_);
            if (changed_.wait_for(lock, std::chrono::milliseconds(everyMs),
                                  [this] { return stopping_; })) {
                return;
            }
        }
        if (!socket.sendAll(&byte, 1)) return;
    }
}

}  // namespace tov::test
