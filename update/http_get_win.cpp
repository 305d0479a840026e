// WinHTTP GET.
#include <windows.h>
#include <winhttp.h>

#include <cwchar>

#include "core/log.h"
#include "platform/text.h"
#include "update/http_get.h"

namespace tov {
namespace {

constexpr DWORD kChunkBytes = 65536;

struct InternetHandle {
    HINTERNET h = nullptr;
    explicit InternetHandle(HINTERNET handle) : h(handle) {}
    ~InternetHandle() {
        if (h) WinHttpCloseHandle(h);
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    explicit operator bool() const { return h != nullptr; }
};

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

        InternetHandle session(WinHttpOpen(widen(userAgent()).c_str(),
                                           WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                           WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
        if (!session) return false;
        WinHttpSetTimeouts(session.h, 10000, 10000, 15000, 30000);
        InternetHandle connection(WinHttpConnect(session.h, host, parts.nPort, 0));
        if (!connection) return false;
        InternetHandle request(WinHttpOpenRequest(connection.h, L"GET", target.c_str(), nullptr,
                                                  WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                  secure ? WINHTTP_FLAG_SECURE : 0));
        if (!request) return false;
        const std::wstring accept = widen(kAcceptHeader);
        if (!WinHttpSendRequest(request.h, accept.c_str(), static_cast<DWORD>(-1),
                                WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
            !WinHttpReceiveResponse(request.h, nullptr)) {
            return false;
        }
        DWORD status = 0, size = sizeof status;
        if (!WinHttpQueryHeaders(request.h, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                 WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                                 WINHTTP_NO_HEADER_INDEX)) {
            return false;
        }
        if (status != 200) {
            logLine("update: %ls answered %lu", host, static_cast<unsigned long>(status));
            return false;
        }
        if (!sink.begin(contentLength(request.h))) return false;
        std::string chunk(kChunkBytes, '\0');
        while (true) {
            DWORD got = 0;
            if (!WinHttpReadData(request.h, chunk.data(), kChunkBytes, &got)) {
                sink.finish();
                return false;
            }
            if (got == 0) break;
            if (!sink.write(chunk.data(), got)) {
                sink.finish();
                return false;
            }
        }
        return sink.finish();
    }
};

}  // namespace

std::unique_ptr<HttpClient> makeHttpClient() {
    return std::make_unique<WinHttpClient>();
}

}  // namespace tov
