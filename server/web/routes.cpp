#include "web/routes.h"

#include "web/enrolment.h"
#include "web/pages.h"
#include "web/records.h"
#include "web/server_pictures.h"

#include <httplib.h>

#include <array>

namespace tamovox::web {

namespace {

constexpr std::size_t kMaxEnrolmentBytes = 8 * 1024 * 1024;
constexpr const char* kText = "text/plain; charset=utf-8";
constexpr const char* kHtml = "text/html; charset=utf-8";
constexpr const char* kXml = "text/xml; charset=utf-8";

void refuse(httplib::Response& res, int status, const std::string& reason)
{
    res.status = status;
    res.set_content(reason + "\n", kText);
}

void sendBytes(httplib::Response& res, const std::vector<std::uint8_t>& bytes, const char* type)
{
    res.set_content(std::string(bytes.begin(), bytes.end()), type);
}

// A query value that must be a number within bounds.
std::optional<int> numberParam(const httplib::Request& req, const char* key, int low, int high)
{
    if (!req.has_param(key) || req.get_param_value_count(key) != 1)
        return std::nullopt;
    return parseBoundedNumber(req.get_param_value(key), low, high);
}

std::optional<int> accountFromPath(const httplib::Request& req, Store& store, httplib::Response& res)
{
    const auto number = parseBoundedNumber(req.matches[1].str(), 1, kLastAccountNumber);
    if (!number || !store.accountByNumber(*number)) {
        refuse(res, 404, "unknown account");
        return std::nullopt;
    }
    return number;
}

const char* imageType(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() >= 4 && bytes[0] == 0x89 && bytes[1] == 'P')
        return "image/png";
    if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8)
        return "image/jpeg";
    if (bytes.size() >= 3 && bytes[0] == 'G' && bytes[1] == 'I' && bytes[2] == 'F')
        return "image/gif";
    if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M')
        return "image/bmp";
    return "application/octet-stream";
}

std::string formValue(const httplib::Request& req, const char* name)
{
    return req.has_file(name) ? req.get_file_value(name).content : std::string();
}

}  // namespace

void installRoutes(httplib::Server& server, Store& store)
{
    // Drawn once; served from memory.
    static const std::array<std::vector<std::uint8_t>, 3> usbIcons = {usbIconPng(1), usbIconPng(2), usbIconPng(3)};

    server.Get(R"(/Hw7rTq2Lmc\.php)", [&store](const httplib::Request& req, httplib::Response& res) {
        const std::string machine = req.has_param("I") ? req.get_param_value("I") : "";
        if (req.get_param_value("S") != "2" || req.get_param_value_count("I") != 1 || !isMachineId(machine))
            return refuse(res, 400, "lookup needs S=2 and I=<16 digits>");
        const auto account = store.accountByMachine(machine);
        const auto reply = account ? lookupReplyFor(true, account->status, account->number, account->profile.displayName)
                                   : lookupReplyFor(false, 0, 0, "");
        sendBytes(res, reply, "application/octet-stream");
    });

    server.Get(R"(/users/(\d{1,9})/client\.xml)", [&store](const httplib::Request& req, httplib::Response& res) {
        if (const auto number = accountFromPath(req, store, res))
            res.set_content(buildClientXml(store.accountByNumber(*number)->profile), kXml);
    });

    server.Get(R"(/users/(\d{1,9})/params\.xml)", [&store](const httplib::Request& req, httplib::Response& res) {
        const auto number = accountFromPath(req, store, res);
        if (!number)
            return;
        const auto colour = store.colour(*number);
        if (!colour)
            return refuse(res, 404, "no parameters for this account");
        res.set_content(buildParamsXml(*colour), kXml);
    });

    // N=2 the speaker's picture, N=1 a member's: the same stored portrait.
    server.Get(R"(/users/images\.php)", [&store](const httplib::Request& req, httplib::Response& res) {
        const auto number = numberParam(req, "F", 1, kLastAccountNumber);
        const auto size = numberParam(req, "N", 1, 2);
        if (!number || !size)
            return refuse(res, 400, "images.php needs F=<account> and N=1 or N=2");
        const auto png = store.picture(*number);
        if (!png)
            return refuse(res, 404, "no picture for this account");
        sendBytes(res, *png, "image/png");
    });

    server.Get(R"(/usb/usb_(black|green|red)\.png)", [](const httplib::Request& req, httplib::Response& res) {
        const std::string colour = req.matches[1].str();
        const int state = colour == "black" ? 1 : colour == "green" ? 2 : 3;
        sendBytes(res, usbIcons[state - 1], "image/png");
    });

    server.Get(R"(/echange/pc_img_share_get\.php)", [&store](const httplib::Request& req, httplib::Response& res) {
        const auto channel = numberParam(req, "F", kFirstSharedChannel, kLastSharedChannel);
        if (!channel || !numberParam(req, "N", 1, 1))
            return refuse(res, 400, "pc_img_share_get.php needs F=<channel 1-10> and N=1");
        const auto picture = store.sharedPicture(*channel);
        if (!picture)
            return refuse(res, 404, "no shared picture on this channel");
        sendBytes(res, picture->data, imageType(picture->data));
    });

    server.Post(R"(/echange/pc_img_share_post\.php)", [&store](const httplib::Request& req, httplib::Response& res) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(req.body.data());
        const UploadParse parsed = parseUploadRecord({bytes, req.body.size()});
        if (!parsed.record)
            return refuse(res, 400, parsed.error);
        if (!isSharedPicture(parsed.record->data))
            return refuse(res, 415, "the file is not a PNG, JPEG, BMP or GIF picture of at most 4096 x 4096");
        const std::vector<std::uint8_t> data(parsed.record->data.begin(), parsed.record->data.end());
        if (!store.setSharedPicture(parsed.record->channel, data, parsed.record->name))
            return refuse(res, 500, "cannot store the picture");
        res.set_content("OK\n", kText);
    });

    server.Post(R"(/users/params\.php)", [&store](const httplib::Request& req, httplib::Response& res) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(req.body.data());
        const auto record = parseColourRecord({bytes, req.body.size()});
        if (!record)
            return refuse(res, 400, "colour record must be 20 bytes: 1, red, green, blue, account");
        if (!store.setColour(record->account, record->colourRef))
            return refuse(res, 404, "unknown account");
        res.set_content("OK\n", kText);
    });

    server.Get("/", [](const httplib::Request&, httplib::Response& res) { res.set_content(homePage(), kHtml); });
    server.Get(R"(/installer\.php)",
               [](const httplib::Request&, httplib::Response& res) { res.set_content(installerPage(), kHtml); });
    server.Get(R"(/FR-Tamo-Vox\.php)",
               [](const httplib::Request&, httplib::Response& res) { res.set_content(documentationPage(), kHtml); });

    server.Post("/inscription", [&store](const httplib::Request& req, httplib::Response& res) {
        if (!req.is_multipart_form_data() || req.body.size() > kMaxEnrolmentBytes) {
            res.status = req.body.size() > kMaxEnrolmentBytes ? 413 : 400;
            return res.set_content(errorPage("Inscription refusée", "Formulaire invalide ou trop volumineux."), kHtml);
        }
        const Profile profile = profileFromFields([&req](const char* field) { return formValue(req, field); });
        const std::string picture = formValue(req, "picture");
        const auto created =
            enrolAccount(store, profile, {reinterpret_cast<const std::uint8_t*>(picture.data()), picture.size()});
        if (created.number == 0 || created.duplicate) {
            res.status = created.duplicate ? 409 : 400;
            return res.set_content(errorPage("Inscription refusée", created.error), kHtml);
        }
        res.set_content(enrolledPage(created.number, profile.displayName), kHtml);
    });

    // The client posts its two records as raw bytes labelled "multipart/form-data" with no
    // boundary; the library would refuse those before any handler sees them, so the label is
    // set to what the body really is. The request object is ours, only handed over as const.
    server.set_pre_routing_handler([](const httplib::Request& req, httplib::Response&) {
        if (req.method == "POST" && (req.path == "/echange/pc_img_share_post.php" || req.path == "/users/params.php")) {
            auto& headers = const_cast<httplib::Headers&>(req.headers);
            headers.erase("Content-Type");
            headers.emplace("Content-Type", "application/octet-stream");
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });

    server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty())
            res.set_content(res.status == 404 ? "not found\n" : "request refused\n", kText);
    });
    server.set_logger([](const httplib::Request& req, const httplib::Response& res) {
        std::fprintf(stderr, "tamovox-web-server: %s %s %s -> %d (%zu bytes)\n", req.remote_addr.c_str(),
                     req.method.c_str(), req.path.c_str(), res.status, res.body.size());
    });
}

}  // namespace tamovox::web
