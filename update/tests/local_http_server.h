// A small HTTP/1.1 server on 127.0.0.1 for the updater's tests. It serves the files of one
// folder ("/name" is the file "name"), answers chosen paths with chosen responses, records each
// request, and can hold a response back until the test releases it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/socket.h"

namespace tov::test {

struct HttpResponse {
    int status = 200;
    std::string body;
    // Content-Length as announced: the body's length when unset; none at all with omitLength
    // (the body then ends when the connection closes).
    std::optional<uint64_t> announcedLength;
    bool omitLength = false;
    // Wait for release() before answering.
    bool hold = false;
    // Send the head at once and then the body one byte every dripMs (0: all at once), until it
    // is sent, the client goes or the server stops.
    uint32_t dripMs = 0;
};

// Ways to answer, for setResponse.
HttpResponse answer(int status, std::string body = {});
HttpResponse withLength(std::string body, uint64_t announcedLength);
HttpResponse withoutLength(std::string body);
HttpResponse held(std::string body);
HttpResponse dripping(std::string body, uint32_t everyMs);

struct HttpRequest {
    std::string path;
    std::map<std::string, std::string> headers;  // names in lower case
};

class LocalHttpServer {
  public:
    explicit LocalHttpServer(std::wstring folder);
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    bool listening() const { return listener_ != nullptr; }
    uint16_t port() const { return listener_ ? listener_->port() : 0; }
    std::string url(const std::string& path) const;
    void setResponse(const std::string& path, HttpResponse response);
    // Lets held responses go; later ones are no longer held.
    void release();
    // While on, a connection is reset as soon as the request starts arriving: the server takes
    // its first byte, leaves the rest unread and closes (such a request is recorded with the path
    // "<reset>").
    void resetConnections(bool on);
    // True once a held response is waiting.
    bool waitUntilHolding(uint32_t timeoutMs);
    // True once no connection is being answered (a client that gave up may leave a held or
    // dripping answer running; the next request waits for it).
    bool waitUntilIdle(uint32_t timeoutMs);

    std::vector<HttpRequest> requests() const;
    int requestCount(const std::string& path) const;

  private:
    void serve();
    // False when the connection is to be closed without a shutdown.
    bool answer(TcpSocket& socket);
    void drip(TcpSocket& socket, const std::string& body, uint32_t everyMs);
    HttpResponse responseFor(const std::string& path);

    std::wstring folder_;
    std::unique_ptr<TcpListener> listener_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::string, HttpResponse> responses_;
    std::vector<HttpRequest> requests_;
    bool released_ = false;
    bool reset_ = false;
    bool holding_ = false;
    bool busy_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace tov::test
