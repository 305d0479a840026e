// WinHTTP GET, asynchronous underneath: the calling thread starts each step and waits for its
// completion with the deadline and cancel() in view, so a server that never answers or drips
// cannot hold it. Closing the request handle aborts what WinHTTP still has under way (on Wine a
// blocked call is not aborted by a close, so the wait must not be inside WinHTTP).
#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <condition_variable>
#include <cwchar>
#include <memory>
#include <mutex>

#include "core/log.h"
#include "platform/text.h"
#include "update/http_get.h"

namespace tov {
namespace {

constexpr DWORD kChunkBytes = 65536;

struct InternetHandle {
    HINTERNET h = nullptr;
    explicit InternetHandle(HINTERNET handle) : h(handle) {}
    ~InternetHandle() { close(); }
    void close() {
        if (h) WinHttpCloseHandle(h);
        h = nullptr;
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    explicit operator bool() const { return h != nullptr; }
};

// What one request shares with WinHTTP's callbacks. WinHTTP holds a reference (the context value
// of the request handle) until it reports the handle closing, so the read buffer stays valid even
// for a read abandoned under way.
struct Exchange {
    std::mutex mutex;
    std::condition_variable changed;
    DWORD completed = 0;  // the callback status that ended the step under way; 0 while it runs
    DWORD error = 0;      // of WINHTTP_CALLBACK_STATUS_REQUEST_ERROR
    DWORD bytes = 0;      // of DATA_AVAILABLE and READ_COMPLETE
    bool cancelled = false;
    std::string buffer = std::string(kChunkBytes, '\0');
};
using ExchangeRef = std::shared_ptr<Exchange>;

void CALLBACK onStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD length) {
    if (!context) return;  // the session and connection handles carry none
    auto* ref = reinterpret_cast<ExchangeRef*>(context);
    if (status == WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING) {
        delete ref;  // nothing more comes for this request
        return;
    }
    Exchange& ex = **ref;
    DWORD error = 0, bytes = 0;
    switch (status) {
        case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
        case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
            break;
        case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
            bytes = info ? *static_cast<DWORD*>(info) : 0;
            break;
        case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
            bytes = length;
            break;
        case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
            error = info ? static_cast<WINHTTP_ASYNC_RESULT*>(info)->dwError : ERROR_GEN_FAILURE;
            break;
        default:
            return;
    }
    {
        std::lock_guard lock(ex.mutex);
        ex.completed = status;
        ex.error = error;
        ex.bytes = bytes;
    }
    ex.changed.notify_all();
}

// The announced body length, read as text so that a length past 4 GiB is still seen as such.
std::optional<uint64_t> contentLength(HINTERNET request) {
    wchar_t text[32];
    DWORD size = sizeof text;
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX,
                             text, &size, WINHTTP_NO_HEADER_INDEX)) {
        return std::nullopt;
    }
    uint64_t value = 0;
    bool digits = false;
    for (const wchar_t* c = text; *c; ++c) {
        if (*c < L'0' || *c > L'9') return std::nullopt;
        digits = true;
        value = value > (UINT64_MAX - 9) / 10 ? UINT64_MAX : value * 10 + (*c - L'0');
    }
    if (!digits) return std::nullopt;
    return value;
}

class WinHttpClient : public HttpClient {
  public:
    void cancel() override {
        ExchangeRef current;
        {
            std::lock_guard lock(mutex_);
            cancelled_ = true;
            current = current_;
        }
        if (!current) return;
        {
            std::lock_guard lock(current->mutex);
            current->cancelled = true;
        }
        current->changed.notify_all();
    }

    void resume() override {
        std::lock_guard lock(mutex_);
        cancelled_ = false;
    }

    bool get(const std::string& url, BodySink& sink) override {
        const std::wstring wideUrl = widen(url);
        wchar_t host[256] = {}, path[2048] = {}, extra[2048] = {};
        URL_COMPONENTS parts{};
        parts.dwStructSize = sizeof parts;
        parts.lpszHostName = host;
        parts.dwHostNameLength = ARRAYSIZE(host);
        parts.lpszUrlPath = path;
        parts.dwUrlPathLength = ARRAYSIZE(path);
        parts.lpszExtraInfo = extra;
        parts.dwExtraInfoLength = ARRAYSIZE(extra);
        if (!WinHttpCrackUrl(wideUrl.c_str(), 0, 0, &parts)) return false;
        const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
        const std::wstring target = std::wstring(path) + extra;

        const ExchangeRef ex = std::make_shared<Exchange>();
        {
            std::lock_guard lock(mutex_);
            if (cancelled_) return false;
            current_ = ex;
        }
        const bool ok = run(ex, host, parts.nPort, target, secure, sink);
        {
            std::lock_guard lock(mutex_);
            current_.reset();
        }
        return ok;
    }

  private:
    bool run(const ExchangeRef& ex, const wchar_t* host, INTERNET_PORT port,
             const std::wstring& target, bool secure, BodySink& sink) {
        InternetHandle session(WinHttpOpen(widen(userAgent()).c_str(),
                                           WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                           WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS,
                                           WINHTTP_FLAG_ASYNC));
        if (!session) return false;
        WinHttpSetTimeouts(session.h, 10000, 10000, 15000, 30000);
        if (WinHttpSetStatusCallback(session.h, onStatus,
                                     WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS |
                                         WINHTTP_CALLBACK_FLAG_HANDLES,
                                     0) == WINHTTP_INVALID_STATUS_CALLBACK) {
            return false;
        }
        InternetHandle connection(WinHttpConnect(session.h, host, port, 0));
        if (!connection) return false;
        InternetHandle request(WinHttpOpenRequest(connection.h, L"GET", target.c_str(), nullptr,
                                                  WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                  secure ? WINHTTP_FLAG_SECURE : 0));
        if (!request) return false;
        // From here WinHTTP owns one reference, given back when it reports the handle closing.
        auto* context = new ExchangeRef(ex);
        DWORD_PTR contextValue = reinterpret_cast<DWORD_PTR>(context);
        if (!WinHttpSetOption(request.h, WINHTTP_OPTION_CONTEXT_VALUE, &contextValue,
                              sizeof contextValue)) {
            delete context;
            return false;
        }

        const bool ok = exchange(*ex, request.h, contextValue, host, sink);
        // Closing the request aborts whatever WinHTTP still has under way for it.
        request.close();
        return ok;
    }

    // Marks a step as started; its completion arrives through onStatus.
    static void begin(Exchange& ex) {
        std::lock_guard lock(ex.mutex);
        ex.completed = 0;
    }

    // Waits for the step under way to end with `expected`. False on an error, on cancel() and
    // when the sink's deadline passes first.
    static bool await(Exchange& ex, DWORD expected, const BodySink& sink) {
        std::unique_lock lock(ex.mutex);
        const auto done = [&ex] { return ex.completed != 0 || ex.cancelled; };
        if (const auto deadline = sink.deadline()) {
            if (!ex.changed.wait_until(lock, *deadline, done)) return false;
        } else {
            ex.changed.wait(lock, done);
        }
        return !ex.cancelled && ex.completed == expected;
    }

    static bool exchange(Exchange& ex, HINTERNET request, DWORD_PTR context, const wchar_t* host,
                         BodySink& sink) {
        const std::wstring accept = widen(kAcceptHeader);
        begin(ex);
        if (!WinHttpSendRequest(request, accept.c_str(), static_cast<DWORD>(-1),
                                WINHTTP_NO_REQUEST_DATA, 0, 0, context) ||
            !await(ex, WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE, sink)) {
            return false;
        }
        begin(ex);
        if (!WinHttpReceiveResponse(request, nullptr) ||
            !await(ex, WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE, sink)) {
            return false;
        }
        DWORD status = 0, size = sizeof status;
        if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                 WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                                 WINHTTP_NO_HEADER_INDEX)) {
            return false;
        }
        if (status != 200) {
            logLine("update: %ls answered %lu", host, static_cast<unsigned long>(status));
            return false;
        }
        if (!sink.begin(contentLength(request))) return false;
        while (true) {
            // Only what has arrived is read, so a slow body still comes chunk by chunk.
            begin(ex);
            if (!WinHttpQueryDataAvailable(request, nullptr) ||
                !await(ex, WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE, sink)) {
                sink.finish();
                return false;
            }
            const DWORD available = std::min(ex.bytes, kChunkBytes);
            if (available == 0) break;
            begin(ex);
            if (!WinHttpReadData(request, ex.buffer.data(), available, nullptr) ||
                !await(ex, WINHTTP_CALLBACK_STATUS_READ_COMPLETE, sink)) {
                sink.finish();
                return false;
            }
            const DWORD got = ex.bytes;
            if (got == 0) break;
            if (!sink.write(ex.buffer.data(), got)) {
                sink.finish();
                return false;
            }
        }
        return sink.finish();
    }

    std::mutex mutex_;
    bool cancelled_ = false;
    ExchangeRef current_;  // the GET under way, for cancel() to wake
};

}  // namespace

std::unique_ptr<HttpClient> makeHttpClient() {
    return std::make_unique<WinHttpClient>();
}

}  // namespace tov
