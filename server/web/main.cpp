// tamovox-web-server: the web side of the Tamo-Vox network over HTTPS (accounts, profiles,
// colours, pictures, image exchange, enrolment pages), with two admin commands.
#include "web/certificate.h"
#include "web/enrolment.h"
#include "web/routes.h"
#include "web/store.h"

#include <httplib.h>

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <sys/stat.h>
#include <thread>

namespace {

using namespace tamovox::web;

constexpr const char* kUsage =
    "Usage:\n"
    "  tamovox-web-server [--address ADDR] [--port PORT] [--data DIR] [--cert FILE --key FILE]\n"
    "      Serves HTTPS (default 127.0.0.1:8443, data folder ./web-data; port 0 picks a free one). Without --cert/--key a\n"
    "      self-signed certificate for localhost is made in DIR (cert.pem, key.pem) on first start;\n"
    "      clients trust it with TAMOVOX_CA_FILE=DIR/cert.pem.\n"
    "  tamovox-web-server enrol --data DIR --machine-id ID --name NAME [--first-name TEXT]\n"
    "      [--nickname TEXT] [--city TEXT] [--phrase TEXT] [--day TEXT] [--email TEXT]\n"
    "      [--folder TEXT] [--picture FILE]\n"
    "      Creates an account for a 16-digit machine identifier and prints its number.\n"
    "  tamovox-web-server set-status --data DIR --account N --status 0|220|230|240\n"
    "      Sets what the account's next login answers (0 normal, 220 update, 230 and 240 refused).\n";

// "--key value" pairs after the command; false on a stray word or a missing value.
bool parseOptions(int argc, char** argv, int first, std::map<std::string, std::string>& options)
{
    for (int i = first; i < argc; i += 2) {
        if (std::strncmp(argv[i], "--", 2) != 0 || i + 1 >= argc)
            return false;
        options[argv[i] + 2] = argv[i + 1];
    }
    return true;
}

bool checkKnown(const std::map<std::string, std::string>& options, std::initializer_list<const char*> known)
{
    for (const auto& [key, value] : options) {
        bool found = false;
        for (const char* k : known)
            found = found || key == k;
        if (!found) {
            std::fprintf(stderr, "tamovox-web-server: unknown option --%s\n%s", key.c_str(), kUsage);
            return false;
        }
    }
    return true;
}

std::string option(const std::map<std::string, std::string>& options, const char* key, const char* fallback = "")
{
    const auto it = options.find(key);
    return it == options.end() ? fallback : it->second;
}

bool openStore(Store& store, const std::string& dataDir)
{
    ::mkdir(dataDir.c_str(), 0700);
    const std::string error = store.open(dataDir);
    if (!error.empty())
        std::fprintf(stderr, "tamovox-web-server: %s\n", error.c_str());
    return error.empty();
}

int enrolCommand(const std::map<std::string, std::string>& o)
{
    if (!checkKnown(o, {"data", "machine-id", "name", "first-name", "nickname", "city", "phrase", "day", "email", "folder",
                        "picture"}))
        return 2;
    if (option(o, "data").empty() || option(o, "machine-id").empty() || option(o, "name").empty()) {
        std::fprintf(stderr, "tamovox-web-server: enrol needs --data, --machine-id and --name\n");
        return 2;
    }
    Store store;
    if (!openStore(store, option(o, "data")))
        return 1;
    // The options are the form's field names with dashes.
    const Profile p = profileFromFields([&o](std::string field) {
        std::replace(field.begin(), field.end(), '_', '-');
        return option(o, field.c_str());
    });
    std::string picture;
    if (const std::string file = option(o, "picture"); !file.empty()) {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "tamovox-web-server: cannot read %s\n", file.c_str());
            return 1;
        }
        picture.assign(std::istreambuf_iterator<char>(in), {});
    }
    const auto created = enrolAccount(store, p, {reinterpret_cast<const std::uint8_t*>(picture.data()), picture.size()});
    if (created.number == 0 || created.duplicate) {
        std::fprintf(stderr, "tamovox-web-server: %s\n", created.error.c_str());
        return created.duplicate ? 3 : 1;
    }
    std::printf("%d\n", created.number);
    return 0;
}

int setStatusCommand(const std::map<std::string, std::string>& o)
{
    if (!checkKnown(o, {"data", "account", "status"}))
        return 2;
    const auto number = parseBoundedNumber(option(o, "account"), 1, kLastAccountNumber);
    const auto status = parseBoundedNumber(option(o, "status"), 0, 255);
    if (option(o, "data").empty() || !number || !status || !isAccountStatus(*status)) {
        std::fprintf(stderr, "tamovox-web-server: set-status needs --data, --account N and --status 0|220|230|240\n");
        return 2;
    }
    Store store;
    if (!openStore(store, option(o, "data")))
        return 1;
    if (!store.setStatus(*number, *status)) {
        std::fprintf(stderr, "tamovox-web-server: no account %d\n", *number);
        return 1;
    }
    return 0;
}

int serve(const std::map<std::string, std::string>& o)
{
    if (!checkKnown(o, {"address", "port", "data", "cert", "key"}))
        return 2;
    const std::string address = option(o, "address", "127.0.0.1");
    const auto port = parseBoundedNumber(option(o, "port", "8443"), 0, 65535);  // 0: any free port
    const std::string dataDir = option(o, "data", "web-data");
    if (!port) {
        std::fprintf(stderr, "tamovox-web-server: bad --port\n");
        return 2;
    }
    Store store;
    if (!openStore(store, dataDir))
        return 1;
    std::string cert = option(o, "cert");
    std::string key = option(o, "key");
    if (cert.empty() != key.empty()) {
        std::fprintf(stderr, "tamovox-web-server: --cert and --key go together\n");
        return 2;
    }
    if (cert.empty()) {
        cert = dataDir + "/cert.pem";
        key = dataDir + "/key.pem";
        if (const std::string error = ensureCertificate(cert, key, address); !error.empty()) {
            std::fprintf(stderr, "tamovox-web-server: %s\n", error.c_str());
            return 1;
        }
    }
    httplib::SSLServer server(cert.c_str(), key.c_str());
    if (!server.is_valid()) {
        std::fprintf(stderr, "tamovox-web-server: cannot load %s / %s\n", cert.c_str(), key.c_str());
        return 1;
    }
    // Enough workers for many keep-alive clients at once.
    server.new_task_queue = [] { return new httplib::ThreadPool(64); };
    server.set_keep_alive_max_count(1000);
    server.set_keep_alive_timeout(5);
    server.set_read_timeout(10);
    server.set_write_timeout(10);
    server.set_payload_max_length(kUploadRecordBytes);
    installRoutes(server, store);

    // SIGINT and SIGTERM stop the listener; the handlers' threads finish their requests.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    std::thread([&server, stopSignals] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        std::fprintf(stderr, "tamovox-web-server: signal %d, stopping\n", signal);
        server.stop();
    }).detach();

    const int bound = *port == 0 ? server.bind_to_any_port(address.c_str()) : (server.bind_to_port(address.c_str(), *port) ? *port : -1);
    if (bound <= 0) {
        std::fprintf(stderr, "tamovox-web-server: cannot listen on %s:%d\n", address.c_str(), *port);
        return 1;
    }
    std::fprintf(stderr, "tamovox-web-server: listening on https://%s:%d (data %s, certificate %s)\n", address.c_str(),
                 bound, dataDir.c_str(), cert.c_str());
    server.listen_after_bind();
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);  // image format plugins
    std::map<std::string, std::string> options;
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "enrol") == 0)
        return parseOptions(argc, argv, 2, options) ? enrolCommand(options) : (std::fputs(kUsage, stderr), 2);
    if (argc >= 2 && std::strcmp(argv[1], "set-status") == 0)
        return parseOptions(argc, argv, 2, options) ? setStatusCommand(options) : (std::fputs(kUsage, stderr), 2);
    const int first = argc >= 2 && std::strcmp(argv[1], "serve") == 0 ? 2 : 1;
    if (!parseOptions(argc, argv, first, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    return serve(options);
}
