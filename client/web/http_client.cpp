#include "web/http_client.h"

#include "core/lifecycle_log.h"
#include "core/shared_state.h"
#include "web/web_text.h"

#include <curl/curl.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

namespace tamovox {

namespace {

thread_local int t_responseHoldDepth = 0;

// Trusted in addition to an extra CA file: the system's hashed certificate folder.
constexpr const char* kSystemCertificateFolder = "/etc/ssl/certs";

struct BodySink {
    CURL* handle = nullptr;
    char* buffer = nullptr;
    std::size_t total = 0;
    bool statusKnown = false;
    bool keep = false;       // only a 200 body is stored
    bool overflowed = false;
};

std::size_t writeBody(char* data, std::size_t size, std::size_t count, void* user)
{
    auto* sink = static_cast<BodySink*>(user);
    const std::size_t n = size * count;
    if (!sink->statusKnown) {
        long status = 0;
        curl_easy_getinfo(sink->handle, CURLINFO_RESPONSE_CODE, &status);
        sink->statusKnown = true;
        sink->keep = status == 200;
    }
    if (!sink->keep)
        return n;  // read and dropped: a non-200 body is no content
    if (!storeBodyChunk(sink->buffer, kResponseBufferBytes, sink->total, data, n)) {
        sink->overflowed = true;
        return 0;  // stops the transfer; what fitted is kept
    }
    return n;
}

void initialiseCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

enum class Verb { Get, Post };

// One exchange from handle to close. Returns the exchange code and fills request.
int exchange(Verb verb, std::string_view path, const std::uint8_t* body, std::size_t length, HttpRequest& request)
{
    initialiseCurlOnce();
    char* buffer = responseBuffer();
    if (!buffer)
        return kHttpNoHandle;
    CURL* handle = curl_easy_init();
    if (!handle)
        return kHttpNoHandle;
    const std::string url = webBaseUrl() + escapeRequestPath(path);
    BodySink sink;
    sink.handle = handle;
    sink.buffer = buffer;
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);  // worker threads must not get SIGALRM
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, kExchangeTimeoutMs);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "https,http");
    // An extra CA (the local server's own certificate) next to the system store: OpenSSL loads
    // both the file and the hashed folder.
    if (const char* caFile = std::getenv("TAMOVOX_CA_FILE"); caFile && *caFile) {
        curl_easy_setopt(handle, CURLOPT_CAINFO, caFile);
        curl_easy_setopt(handle, CURLOPT_CAPATH, kSystemCertificateFolder);
    }
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, writeBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &sink);
    curl_slist* headers = nullptr;
    if (verb == Verb::Post) {
        headers = curl_slist_append(headers, "Content-Type: multipart/form-data");
        headers = curl_slist_append(headers, "Expect:");
        curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(handle, CURLOPT_POST, 1L);
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body);
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(length));
    }
    const CURLcode code = curl_easy_perform(handle);
    long status = -1;
    if (curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status == 0)
        status = -1;
    request.status = status;
    int result = kHttpTransportFailure;
    if (code == CURLE_OK || (code == CURLE_WRITE_ERROR && sink.overflowed)) {
        request.bodyLength = sink.keep ? sink.total : 0;
        terminateBody(buffer, kResponseBufferBytes, request.bodyLength);
        result = status == 200 ? static_cast<int>(request.bodyLength) : 0;
    } else if (verb == Verb::Post) {
        logDiagnostic(std::string("Erreur curl_easy_perform: ") + curl_easy_strerror(code));
    }
    curl_slist_free_all(headers);
    curl_easy_cleanup(handle);
    return result;
}

}  // namespace

ResponseHold::ResponseHold()
{
    if (t_responseHoldDepth++ == 0)
        shared().web.responseLock.lock();
}

ResponseHold::~ResponseHold()
{
    if (--t_responseHoldDepth == 0)
        shared().web.responseLock.unlock();
}

char* responseBuffer()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (!shared().web.responseBuffer)
            shared().web.responseBuffer = new (std::nothrow) char[kResponseBufferBytes + 1]();
    });
    return shared().web.responseBuffer;
}

std::string webBaseUrl()
{
    const char* url = std::getenv("TAMOVOX_WEB_URL");
    std::string base = url && *url ? url : kDefaultWebUrl;
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    return base;
}

int webLampStateFor(int count) { return count < 4 ? 3 : 5; }
int nextWebLampCount(int count) { return count + 1 >= 8 ? 0 : count + 1; }

void updateWebLamp(WebLampCounter counter)
{
    std::atomic<int>& count = shared().web.webLampCount[static_cast<int>(counter)];
    const int before = count.load(std::memory_order_relaxed);
    shared().lamps.https = webLampStateFor(before);
    count.store(nextWebLampCount(before), std::memory_order_relaxed);
}

bool storeBodyChunk(char* buffer, std::size_t capacity, std::size_t& total, const char* chunk, std::size_t n)
{
    if (n > capacity - total)
        return false;
    std::memcpy(buffer + total, chunk, n);
    total += n;
    return true;
}

void terminateBody(char* buffer, std::size_t capacity, std::size_t total)
{
    // The buffer has one byte more than the largest body, so every body is terminated.
    if (total <= capacity)
        buffer[total] = '\0';
}

int httpGetPath(std::string_view path, WebLampCounter counter, HttpRequest* outcome)
{
    ResponseHold hold;
    updateWebLamp(counter);
    HttpRequest request;
    const int result = exchange(Verb::Get, path, nullptr, 0, request);
    if (outcome)
        *outcome = request;
    return result;
}

int httpGet(std::string_view base, int number, int kind)
{
    return httpGetPath(buildImagePath(base, number, kind), WebLampCounter::HttpGet);
}

std::optional<HttpRequest> httpPost(std::string_view path, const std::uint8_t* body, std::size_t length)
{
    ResponseHold hold;
    HttpRequest request;
    if (exchange(Verb::Post, path, body, length, request) < 0 || request.status < 0)
        return std::nullopt;
    return request;
}

int readStatus(const HttpRequest& request)
{
    if (request.status < 0)
        logDiagnostic("Erreur: pas de statut HTTP");
    return request.status < 0 ? -1 : static_cast<int>(request.status);
}

int readBody(const HttpRequest& request)
{
    return request.status == 200 ? static_cast<int>(request.bodyLength) : 0;
}

}  // namespace tamovox
