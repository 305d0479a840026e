// libcurl GET for the native build, with the same rules as the WinHTTP one.
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <mutex>

#include "core/log.h"
#include "platform/text.h"
#include "update/http_get.h"

namespace tov {
namespace {

struct Transfer {
    CURL* curl = nullptr;
    BodySink* sink = nullptr;
    bool started = false;  // status and length checked, sink begun
    bool ok = true;
    long status = 0;
};

// Checks the status and announces the length to the sink, once, before the first body byte.
bool startBody(Transfer& t) {
    if (t.started) return t.ok;
    t.started = true;
    curl_easy_getinfo(t.curl, CURLINFO_RESPONSE_CODE, &t.status);
    if (t.status != 200) return t.ok = false;
    curl_off_t length = -1;
    curl_easy_getinfo(t.curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    std::optional<uint64_t> announced;
    if (length >= 0) announced = static_cast<uint64_t>(length);
    return t.ok = t.sink->begin(announced);
}

size_t onBody(char* data, size_t, size_t size, void* user) {
    Transfer& t = *static_cast<Transfer*>(user);
    if (!startBody(t)) return CURL_WRITEFUNC_ERROR;
    if (!t.sink->write(data, size)) {
        t.ok = false;
        return CURL_WRITEFUNC_ERROR;
    }
    return size;
}

std::string hostOf(const std::string& url) {
    std::string host;
    CURLU* parts = curl_url();
    char* text = nullptr;
    if (curl_url_set(parts, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
        curl_url_get(parts, CURLUPART_HOST, &text, 0) == CURLUE_OK) {
        host = text;
        curl_free(text);
    }
    curl_url_cleanup(parts);
    return host;
}

// The longest single wait for the network: a deadline is seen at least this often even if the
// wake-up from cancel() were lost.
constexpr int kPollMs = 1000;

class CurlHttpClient : public HttpClient {
  public:
    CurlHttpClient() {
        static std::once_flag once;
        std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    }

    void cancel() override {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
        if (running_) curl_multi_wakeup(running_);
    }

    void resume() override {
        std::lock_guard lock(mutex_);
        cancelled_ = false;
    }

    bool get(const std::string& url, BodySink& sink) override {
        Transfer t;
        t.curl = curl_easy_init();
        if (!t.curl) return false;
        t.sink = &sink;
        const std::string agent = userAgent();
        curl_slist* headers = curl_slist_append(nullptr, kAcceptHeader);
        curl_easy_setopt(t.curl, CURLOPT_URL, url.c_str());
        // Feed entries are data from the network: never let them name a local file.
        curl_easy_setopt(t.curl, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(t.curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(t.curl, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(t.curl, CURLOPT_MAXREDIRS, 10L);
        curl_easy_setopt(t.curl, CURLOPT_USERAGENT, agent.c_str());
        curl_easy_setopt(t.curl, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(t.curl, CURLOPT_CONNECTTIMEOUT_MS, 10000L);
        // Receive time-out: less than a byte in 30 s ends the transfer.
        curl_easy_setopt(t.curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(t.curl, CURLOPT_LOW_SPEED_TIME, 30L);
        curl_easy_setopt(t.curl, CURLOPT_BUFFERSIZE, 65536L);
        curl_easy_setopt(t.curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(t.curl, CURLOPT_WRITEFUNCTION, onBody);
        curl_easy_setopt(t.curl, CURLOPT_WRITEDATA, &t);
        if (const auto deadline = sink.deadline()) {
            // perform() ends the transfer at the deadline; curl's own limit, a little later,
            // only backs it up.
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                *deadline - BodySink::Clock::now());
            curl_easy_setopt(t.curl, CURLOPT_TIMEOUT_MS,
                             static_cast<long>(std::max<int64_t>(1, left.count() + 100)));
        }
        const CURLcode result = perform(t.curl, sink);
        // An empty body never reaches onBody.
        if (result == CURLE_OK) startBody(t);
        curl_slist_free_all(headers);
        curl_easy_cleanup(t.curl);

        if (t.started && t.status != 200) {
            logLine("update: %ls answered %lu", widen(hostOf(url)).c_str(),
                    static_cast<unsigned long>(t.status));
            return false;
        }
        const bool whole = sink.finish();
        return result == CURLE_OK && t.ok && whole;
    }

  private:
    // Runs the transfer on this thread through a multi handle, so that cancel() can wake the
    // wait for the network from another thread and the deadline is watched here as well.
    CURLcode perform(CURL* curl, const BodySink& sink) {
        CURLM* multi = curl_multi_init();
        if (!multi) return CURLE_OUT_OF_MEMORY;
        curl_multi_add_handle(multi, curl);
        {
            std::lock_guard lock(mutex_);
            if (cancelled_) {
                curl_multi_remove_handle(multi, curl);
                curl_multi_cleanup(multi);
                return CURLE_ABORTED_BY_CALLBACK;
            }
            running_ = multi;
        }
        CURLcode result = CURLE_ABORTED_BY_CALLBACK;
        while (true) {
            int active = 0;
            if (curl_multi_perform(multi, &active) != CURLM_OK) {
                result = CURLE_FAILED_INIT;
                break;
            }
            if (active == 0) {
                int left = 0;
                while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
                    if (message->msg == CURLMSG_DONE) result = message->data.result;
                }
                break;
            }
            {
                std::lock_guard lock(mutex_);
                if (cancelled_) break;
            }
            int waitMs = kPollMs;
            if (const auto deadline = sink.deadline()) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    *deadline - BodySink::Clock::now());
                if (left.count() <= 0) {
                    result = CURLE_OPERATION_TIMEDOUT;
                    break;
                }
                waitMs = static_cast<int>(std::min<int64_t>(waitMs, left.count() + 1));
            }
            curl_multi_poll(multi, nullptr, 0, waitMs, nullptr);
        }
        {
            std::lock_guard lock(mutex_);
            running_ = nullptr;
        }
        curl_multi_remove_handle(multi, curl);
        curl_multi_cleanup(multi);
        return result;
    }

    std::mutex mutex_;
    bool cancelled_ = false;
    CURLM* running_ = nullptr;  // the transfer under way, for cancel() to wake
};

}  // namespace

std::unique_ptr<HttpClient> makeHttpClient() {
    return std::make_unique<CurlHttpClient>();
}

}  // namespace tov
