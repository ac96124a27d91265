// Load on the web server: N client threads each repeat one GET over TLS for a fixed time, with
// their connection kept alive or a new connection per request; prints requests per second.
// Usage: tamovox-web-load URL CA_FILE CLIENTS SECONDS keepalive|fresh
#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

std::size_t discard(char*, std::size_t size, std::size_t count, void*) { return size * count; }

struct Totals {
    std::atomic<long> ok{0};
    std::atomic<long> failed{0};
};

void client(const std::string& url, const std::string& ca, bool keepAlive, std::chrono::steady_clock::time_point end,
            Totals& totals)
{
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_CAINFO, ca.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 10L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, discard);
    if (!keepAlive) {
        curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
        curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
        curl_easy_setopt(curl, CURLOPT_SSL_SESSIONID_CACHE, 0L);  // a full handshake each time
    }
    while (std::chrono::steady_clock::now() < end) {
        long status = 0;
        if (curl_easy_perform(curl) == CURLE_OK && curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK &&
            status == 200)
            ++totals.ok;
        else
            ++totals.failed;
    }
    curl_easy_cleanup(curl);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s URL CA_FILE CLIENTS SECONDS keepalive|fresh\n", argv[0]);
        return 2;
    }
    const std::string url = argv[1];
    const std::string ca = argv[2];
    const int clients = std::atoi(argv[3]);
    const int seconds = std::atoi(argv[4]);
    const bool keepAlive = std::strcmp(argv[5], "keepalive") == 0;
    if (clients < 1 || clients > 500 || seconds < 1 || seconds > 120)
        return 2;
    curl_global_init(CURL_GLOBAL_DEFAULT);
    Totals totals;
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::seconds(seconds);
    std::vector<std::thread> threads;
    for (int i = 0; i < clients; ++i)
        threads.emplace_back(client, url, ca, keepAlive, end, std::ref(totals));
    for (std::thread& t : threads)
        t.join();
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s clients=%d %s: %.0f requests/s (%ld ok, %ld failed, %.1f s)\n", url.c_str(), clients,
                keepAlive ? "keep-alive" : "new connection each", totals.ok / elapsed, totals.ok.load(),
                totals.failed.load(), elapsed);
    curl_global_cleanup();
    return totals.failed == 0 ? 0 : 1;
}
