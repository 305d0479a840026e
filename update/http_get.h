// Plain HTTP(S) GET for the feed and the downloads: WinHTTP on Windows, libcurl elsewhere.
// Requests carry the user agent "Tovenmar/<version>" and the Accept header below; only status 200
// is success. A GET never outlives its sink's deadline or a cancel(), whatever the server does:
// the calling thread waits for the network with both in view and abandons the request at once.
#pragma once

#include <memory>
#include <string>

#include "update/body_sink.h"
#include "update/version.h"

namespace tov {

inline constexpr const char* kAcceptHeader =
    "Accept: application/vnd.github+json, application/octet-stream";

class HttpClient {
  public:
    virtual ~HttpClient() = default;
    // GETs a UTF-8 URL into the sink. False on any failure, when the sink's deadline passes or
    // after cancel(); another status than 200 is logged as "update: <host> answered <status>".
    virtual bool get(const std::string& url, BodySink& sink) = 0;
    // Any thread: a GET under way ends at once (false), and so does every later one until
    // resume().
    virtual void cancel() = 0;
    virtual void resume() = 0;
};

std::unique_ptr<HttpClient> makeHttpClient();

inline std::string userAgent() {
    return std::string("Tovenmar/") + kCurrentVersion;
}

}  // namespace tov
