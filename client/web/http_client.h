// Blocking HTTPS exchanges with the web server; each body lands in the shared responseBuffer.
// Any thread. An exchange and the reading of its body hold the response buffer (ResponseHold),
// so the device thread's USB icon fetch never overwrites a body the main thread is reading.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tamovox {

inline constexpr long kConnectTimeoutMs = 3000;    // the server is one hop away or not there
inline constexpr long kExchangeTimeoutMs = 10000;  // a whole exchange, body included
inline constexpr const char* kUserAgent = "Tamo-Vox/1.0";
inline constexpr const char* kDefaultWebUrl = "https://localhost:8443";

// Results of an exchange besides a body length.
inline constexpr int kHttpNoHandle = 1;
inline constexpr int kHttpTransportFailure = -1;

// The three web lamp counts, one per kind of operation.
enum class WebLampCounter { AccountFetch = 0, HttpGet = 1, Upload = 2 };

// Holds responseBuffer for this thread: from the request until its body has been read.
// Re-entrant on one thread (the account fetch holds it around its exchange and decoding).
class ResponseHold {
public:
    ResponseHold();
    ~ResponseHold();
    ResponseHold(const ResponseHold&) = delete;
    ResponseHold& operator=(const ResponseHold&) = delete;
};

// The response buffer, allocated on first use when start-up has not done it.
char* responseBuffer();

// Base address from TAMOVOX_WEB_URL, without a trailing slash.
std::string webBaseUrl();

// Green for four exchanges of one operation, blue for the next four.
void updateWebLamp(WebLampCounter counter);
// The lamp state the count selects and the count that follows it (pure).
int webLampStateFor(int count);
int nextWebLampCount(int count);

// The outcome of one exchange once its response has been read.
struct HttpRequest {
    long status = -1;           // HTTP status, -1 when none came back
    std::size_t bodyLength = 0; // bytes stored in responseBuffer (0 when the status is not 200)
};

// One GET of path (already built), with the given lamp count. Body length, 0 for no content,
// 1 without an HTTP handle, -1 on a transport failure (including both timeouts).
// outcome, when given, receives the status and the stored body length.
int httpGetPath(std::string_view path, WebLampCounter counter, HttpRequest* outcome = nullptr);

// GET of buildImagePath(base, number, kind) with httpGet's own lamp count.
int httpGet(std::string_view base, int number, int kind);

// POST of length body bytes with "Content-Type: multipart/form-data"; none on failure (a
// diagnostic line says why). The response body, if 200, is in responseBuffer.
std::optional<HttpRequest> httpPost(std::string_view path, const std::uint8_t* body, std::size_t length);

// The status code, or -1.
int readStatus(const HttpRequest& request);
// The body length, or 0 when the status is not 200.
int readBody(const HttpRequest& request);

// The body store rule: appends chunk at total unless that would pass the buffer's size.
// Returns false (nothing stored) when the chunk would overflow. Pure; the write callback uses it.
bool storeBodyChunk(char* buffer, std::size_t capacity, std::size_t& total, const char* chunk, std::size_t n);
// Terminates a body shorter than the buffer's size - 1, as the text replies expect.
void terminateBody(char* buffer, std::size_t capacity, std::size_t total);

}  // namespace tamovox
