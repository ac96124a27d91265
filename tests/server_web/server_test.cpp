// The real web server over TLS: its pages, enrolment through the form and the admin commands,
// and bad input refused with a clear status while nothing is stored.
#include "web_server_process.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

#include <cstring>
#include <string>
#include <vector>

namespace {

using tamovox::testing::WebServerProcess;

struct Reply {
    long status = 0;
    std::string body;
    CURLcode code = CURLE_OK;
};

std::size_t collect(char* data, std::size_t size, std::size_t count, void* user)
{
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

class WebServer : public ::testing::Test {
protected:
    WebServerProcess server{TAMOVOX_WEB_SERVER_BINARY};

    void SetUp() override { ASSERT_TRUE(server.started()) << server.log().toStdString(); }

    Reply request(const std::string& path, const std::string* body = nullptr, curl_mime* (*form)(CURL*, void*) = nullptr,
                  void* formData = nullptr)
    {
        Reply reply;
        CURL* curl = curl_easy_init();
        const std::string url = server.url().toStdString() + path;
        const std::string ca = server.caFile().toStdString();
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_CAINFO, ca.c_str());
        curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
        curl_easy_setopt(curl, CURLOPT_TIMEOUT, 20L);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply.body);
        curl_slist* headers = curl_slist_append(nullptr, "Expect:");
        // The client labels its raw records this way.
        if (body)
            headers = curl_slist_append(headers, "Content-Type: multipart/form-data");
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
        curl_mime* mime = nullptr;
        if (body) {
            curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body->data());
            curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size()));
        } else if (form) {
            mime = form(curl, formData);
            curl_easy_setopt(curl, CURLOPT_MIMEPOST, mime);
        }
        reply.code = curl_easy_perform(curl);
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
        curl_mime_free(mime);
        curl_slist_free_all(headers);
        curl_easy_cleanup(curl);
        return reply;
    }

    static std::string lookupPath(const std::string& machine)
    {
        return "/Hw7rTq2Lmc.php?S=2&I=" + machine + "&V=QUENTAR%200.7.9&A=&F=";
    }
};

struct FormFields {
    std::vector<std::pair<std::string, std::string>> fields;
    std::string picture;  // empty: none
};

curl_mime* buildForm(CURL* curl, void* data)
{
    auto* form = static_cast<FormFields*>(data);
    curl_mime* mime = curl_mime_init(curl);
    for (const auto& [name, value] : form->fields) {
        curl_mimepart* part = curl_mime_addpart(mime);
        curl_mime_name(part, name.c_str());
        curl_mime_data(part, value.c_str(), value.size());
    }
    if (!form->picture.empty()) {
        curl_mimepart* part = curl_mime_addpart(mime);
        curl_mime_name(part, "picture");
        curl_mime_filename(part, "me.jpg");
        curl_mime_data(part, form->picture.data(), form->picture.size());
    }
    return mime;
}

std::string encodedPicture(int w, int h, const char* format)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(QColor(200, 40, 40));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes.toStdString();
}

std::string uploadRecord(const std::string& file, int channel)
{
    std::string record(10'000'268, '\0');
    std::memcpy(record.data(), file.data(), file.size());
    std::memcpy(record.data() + 10'000'000, "x.png", 5);
    const std::int32_t fields[3] = {static_cast<std::int32_t>(file.size()), 5, channel};
    std::memcpy(record.data() + 10'000'256, fields, sizeof fields);  // little-endian host
    return record;
}

TEST_F(WebServer, PagesAreServedInFrench)
{
    struct Case {
        const char* path;
        const char* contains;
    } cases[] = {
        {"/", "Inscrire un PC sur le réseau"},
        {"/", "enctype=\"multipart/form-data\""},
        {"/installer.php", "Installer le client Tamo-Vox"},
        {"/FR-Tamo-Vox.php", "Utiliser Tamo-Vox"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const Reply reply = request(c.path);
        EXPECT_EQ(reply.status, 200);
        EXPECT_NE(reply.body.find(c.contains), std::string::npos);
        EXPECT_NE(reply.body.find("<html lang=\"fr\">"), std::string::npos);
    }
}

TEST_F(WebServer, FormEnrolsAMachineWithItsPictureScaled)
{
    FormFields form{{{"machine_id", "1234567890123456"}, {"name", "Zoé"}, {"first_name", "Zoé"}, {"city", "Nîmes"},
                     {"phrase", "Bonjour à tous"}},
                    encodedPicture(800, 400, "JPEG")};
    const Reply created = request("/inscription", nullptr, buildForm, &form);
    ASSERT_EQ(created.status, 200) << created.body;
    EXPECT_NE(created.body.find("20001"), std::string::npos);

    const Reply again = request("/inscription", nullptr, buildForm, &form);
    EXPECT_EQ(again.status, 409) << "one account per machine";

    const Reply lookup = request(lookupPath("1234567890123456"));
    ASSERT_EQ(lookup.body.size(), 160u);
    EXPECT_EQ(lookup.body.substr(34, 5), "20001");
    EXPECT_EQ(lookup.body.substr(40, 3), "Zo\xE9");

    const Reply xml = request("/users/20001/client.xml");
    EXPECT_NE(xml.body.find("<PRENOM>Zo&#xE9;</PRENOM>"), std::string::npos) << xml.body;
    EXPECT_NE(xml.body.find("<VILLE>Nîmes</VILLE>"), std::string::npos);

    const Reply picture = request("/users/images.php?N=2&F=20001");
    ASSERT_EQ(picture.status, 200);
    const QImage stored = QImage::fromData(reinterpret_cast<const uchar*>(picture.body.data()),
                                           static_cast<int>(picture.body.size()), "PNG");
    EXPECT_EQ(stored.size(), QSize(240, 120)) << "kept in proportion within 240 x 240, as PNG";
    EXPECT_EQ(request("/users/images.php?F=20001&N=1").body, picture.body);
}

TEST_F(WebServer, AdminCommandsEnrolAndSetTheLoginStatus)
{
    const int number = server.enrol("0000000000000042", "Radio Test", {"--city", "Brest"});
    ASSERT_EQ(number, 20001) << server.lastError().toStdString();
    EXPECT_EQ(server.enrol("0000000000000042", "Encore"), -1);
    EXPECT_EQ(server.lastExit(), 3) << "the machine is enrolled already";
    ASSERT_TRUE(server.setStatus(number, 230));
    EXPECT_EQ(static_cast<unsigned char>(request(lookupPath("0000000000000042")).body[2]), 230);
    EXPECT_FALSE(server.setStatus(number, 231)) << "not a login status";
    EXPECT_FALSE(server.setStatus(40000, 0)) << "no such account";
    const Reply portrait = request("/users/images.php?N=2&F=20001");
    EXPECT_EQ(portrait.status, 200) << "a drawn portrait when none was given";
    EXPECT_EQ(portrait.body.substr(1, 3), "PNG");
    EXPECT_NE(server.run({"--help"}).indexOf("set-status"), -1);
}

TEST_F(WebServer, BadInputGetsAClearErrorAndStoresNothing)
{
    ASSERT_EQ(server.enrol("0000000305441741", "René"), 20001);
    const std::string notImage(5000, 'x');
    const std::string badRecord = uploadRecord(notImage, 3);
    const std::string goodRecordWrongSize = uploadRecord(encodedPicture(10, 10, "PNG"), 3).substr(0, 10'000'000);
    const std::string tooBig(10'000'269, '\0');
    const std::string colourUnknown = std::string("\x01\0\0\0\xFF\0\0\0\0\0\0\0\0\0\0\0\x40\x9C\0\0", 20);  // 40000
    const std::string colourShort(19, '\x01');
    struct Case {
        const char* label;
        std::string path;
        const std::string* body;
        long status;
    } cases[] = {
        {"lookup without machine", "/Hw7rTq2Lmc.php?S=2&V=QUENTAR%200.7.9", nullptr, 400},
        {"lookup with a short machine id", lookupPath("12345"), nullptr, 400},
        {"lookup with letters", lookupPath("12345678901234ab"), nullptr, 400},
        {"unknown account profile", "/users/40000/client.xml", nullptr, 404},
        {"guest has no profile", "/users/19704/params.xml", nullptr, 404},
        {"account number not a number", "/users/abc/client.xml", nullptr, 404},
        {"picture without account", "/users/images.php?N=2&F=", nullptr, 400},
        {"picture with a sign", "/users/images.php?N=2&F=-20001", nullptr, 400},
        {"picture of unknown account", "/users/images.php?N=2&F=40000", nullptr, 404},
        {"path climbing", "/users/../../etc/passwd", nullptr, 404},
        {"encoded path climbing", "/usb/%2e%2e/%2e%2e/etc/passwd", nullptr, 404},
        {"usb icon that does not exist", "/usb/usb_blue.png", nullptr, 404},
        {"shared picture of channel 0", "/echange/pc_img_share_get.php?F=0&N=1", nullptr, 400},
        {"upload of a non-image", "/echange/pc_img_share_post.php", &badRecord, 415},
        {"upload of a short record", "/echange/pc_img_share_post.php", &goodRecordWrongSize, 400},
        {"upload past the record size", "/echange/pc_img_share_post.php", &tooBig, 413},
        {"colour of unknown account", "/users/params.php", &colourUnknown, 404},
        {"colour record too short", "/users/params.php", &colourShort, 400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const Reply reply = request(c.path, c.body);
        EXPECT_EQ(reply.status, c.status) << reply.body;
        EXPECT_FALSE(reply.body.empty()) << "the refusal says why";
    }
    EXPECT_EQ(request("/echange/pc_img_share_get.php?F=3&N=1").status, 404) << "nothing was stored";
    EXPECT_TRUE(server.running());
}

TEST_F(WebServer, SharedPictureAndColourRoundTrip)
{
    ASSERT_EQ(server.enrol("0000000305441741", "René"), 20001);
    const std::string bmp = encodedPicture(30, 20, "BMP");
    const std::string record = uploadRecord(bmp, 7);
    EXPECT_EQ(request("/echange/pc_img_share_post.php", &record).status, 200);
    EXPECT_TRUE(request("/echange/pc_img_share_get.php?F=7&N=1").body == bmp) << "stored as sent";

    const std::string colour = std::string("\x01\0\0\0\0\0\0\0\xFF\0\0\0\0\0\0\0\x21\x4E\0\0", 20);  // green, 20001
    EXPECT_EQ(request("/users/params.php", &colour).status, 200);
    EXPECT_NE(request("/users/20001/params.xml").body.find("<BACKGROUND>00FF00</BACKGROUND>"), std::string::npos);
}

}  // namespace
