// The client's HTTPS exchanges, pictures and account fetches, in process, against the real web
// server over TLS (and a hostile one for replies the real server never sends).
#include "../server_web/web_server_process.h"

#include "core/shared_state.h"
#include "mainwindow/main_window.h"
#include "mainwindow/usb_icon.h"
#include "web/account_fetch.h"
#include "web/certificate.h"
#include "web/http_client.h"
#include "web/pictures.h"
#include "web/web_text.h"

#include <httplib.h>

#include <QApplication>
#include <QBuffer>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace tamovox {
namespace {

using testing::WebServerProcess;

QByteArray encode(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QImage filled(int w, int h, QColor colour)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

void pointClientAt(const QString& url, const QString& caFile)
{
    setenv("TAMOVOX_WEB_URL", url.toUtf8().constData(), 1);
    setenv("TAMOVOX_CA_FILE", caFile.toUtf8().constData(), 1);
}

std::span<const std::uint8_t> bytesOf(const QByteArray& data)
{
    return {reinterpret_cast<const std::uint8_t*>(data.constData()), static_cast<std::size_t>(data.size())};
}

class WebClient : public ::testing::Test {
protected:
    WebServerProcess server{TAMOVOX_WEB_SERVER_BINARY};
    QTemporaryDir files;
    int rene = 0;

    void SetUp() override
    {
        ASSERT_TRUE(server.started()) << server.log().toStdString();
        const QString picture = files.filePath("rene.png");
        ASSERT_TRUE(filled(100, 80, QColor(0, 0, 255)).save(picture));
        rene = server.enrol("0000000305441741", "René Dupont",
                            {"--first-name", "René", "--nickname", "Rémi", "--city", "Québec", "--phrase",
                             "Vive la radio", "--email", "rene@example.org", "--picture", picture});
        ASSERT_EQ(rene, 20001) << server.lastError().toStdString();
        pointClientAt(server.url(), server.caFile());
        std::snprintf(shared().identity.machineId, sizeof shared().identity.machineId, "0000000305441741");
        shared().appearance.repaintRefetch = 0;
        shared().web.lastImageNumber = 0;
        shared().web.lastProfileNumber = 0;
    }
};

TEST_F(WebClient, GetsPicturesAndPostsRecords)
{
    struct Case {
        const char* label;
        const char* base;
        int number;
        int kind;
        QSize picture;  // empty: the result is 0
    } cases[] = {
        {"member picture", "/users/", rene, 1, QSize(100, 80)},
        {"unknown member is no content", "/users/", 40000, 1, QSize()},
        {"usb black", "/usb/", 0, 1, QSize(32, 32)},
        {"usb green", "/usb/", 0, 2, QSize(32, 32)},
        {"usb red", "/usb/", 0, 3, QSize(32, 32)},
        {"no shared picture yet", "/echange/", 3, 1, QSize()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ResponseHold hold;
        const int length = httpGet(c.base, c.number, c.kind);
        if (c.picture.isEmpty()) {
            EXPECT_EQ(length, 0);
            continue;
        }
        ASSERT_GT(length, 8);
        EXPECT_EQ(decodePng(length).size(), c.picture);
    }

    // A JPEG shared on channel 3 comes back through decodeAnyImage only.
    const QByteArray jpeg = encode(filled(12, 10, QColor(250, 250, 0)), "JPEG");
    std::vector<std::uint8_t> record(kUploadRecordBytes, 0);
    std::memcpy(record.data(), jpeg.constData(), jpeg.size());
    std::memcpy(record.data() + 10'000'000, "photo.jpg", 9);
    const std::int32_t fields[3] = {static_cast<std::int32_t>(jpeg.size()), 9, 3};
    std::memcpy(record.data() + 10'000'256, fields, sizeof fields);
    const auto posted = httpPost(buildImagePath("/echange/", 3, 3), record.data(), record.size());
    ASSERT_TRUE(posted);
    EXPECT_EQ(readStatus(*posted), 200);
    ResponseHold hold;
    const int length = httpGet("/echange/", 3, 1);
    ASSERT_EQ(length, jpeg.size());
    EXPECT_TRUE(decodePng(length).isNull()) << "not a PNG";
    EXPECT_EQ(decodeAnyImage(length).size(), QSize(12, 10));
}

TEST_F(WebClient, LoginProfileAndColourFillTheSharedState)
{
    EXPECT_EQ(fetchAccount(0, FetchKind::Lookup), 160);
    EXPECT_EQ(shared().identity.accountNumber, rene);
    EXPECT_EQ(shared().identity.accountNumberBytes[0], rene >> 8);
    EXPECT_STREQ(shared().appearance.statusText, "Bonjour René Dupont.  Sois le bienvenu sur notre réseau !");

    EXPECT_GT(fetchAccount(rene, FetchKind::OwnProfile), 0);
    const Identity& id = shared().identity;
    EXPECT_STREQ(id.profileFirstName, "René");
    EXPECT_STREQ(id.profileNickname, "Rémi");
    EXPECT_STREQ(id.profileCity, "Québec");
    EXPECT_STREQ(id.profilePhrase, "Vive la radio");
    EXPECT_STREQ(id.profileEmail, "rene@example.org");
    EXPECT_STREQ(id.profileFolder, "20001");

    // Pure blue, posted as the colour window does, comes back as BACKGROUND.
    const std::int32_t colour[5] = {1, 0, 0, 255, rene};
    const auto posted = httpPost("/users/params.php", reinterpret_cast<const std::uint8_t*>(colour), sizeof colour);
    ASSERT_TRUE(posted);
    EXPECT_EQ(readStatus(*posted), 200);
    EXPECT_GT(fetchAccount(rene, FetchKind::Params), 0);
    EXPECT_EQ(shared().appearance.backgroundColour, 0xFF0000u);

    EXPECT_EQ(fetchAccount(40000, FetchKind::Params), 0) << "unknown account: no content";
}

TEST_F(WebClient, SpeakerDisplayDrawsOnceUntilTheSpeakerOrARepaintChanges)
{
    MainWindow* window = mainWindow() ? mainWindow() : createMainWindow();
    window->canvas().fill(Qt::black);
    shared().channel.talkerId = rene;
    auto exchanges = [] { return shared().web.webLampCount[0].load(); };
    shared().web.webLampCount[0] = 0;

    speakerFetchTick();
    EXPECT_EQ(exchanges(), 2) << "picture and profile";
    const QImage& canvas = window->canvas();
    EXPECT_EQ(canvas.pixelColor(10, 340), QColor(255, 0, 0)) << "red frame";
    EXPECT_EQ(canvas.pixelColor(109, 419), QColor(255, 0, 0));
    EXPECT_EQ(canvas.pixelColor(50, 380), QColor(0, 0, 255)) << "the picture itself";
    bool textDrawn = false;
    for (int x = 15; x < 60 && !textDrawn; ++x)
        for (int y = 319; y < 339; ++y)
            textDrawn = textDrawn || canvas.pixelColor(x, y).lightness() > 128;
    EXPECT_TRUE(textDrawn) << "first name in white on the strip";

    speakerFetchTick();
    EXPECT_EQ(exchanges(), 2) << "same speaker, no repaint: nothing fetched";

    shared().appearance.repaintRefetch = 1;
    speakerFetchTick();
    EXPECT_EQ(exchanges(), 3) << "a repaint brings the picture back, not the profile";
}

TEST_F(WebClient, UsbIconFetchesOncePerStateAndShowsAtTheNextPaint)
{
    if (!mainWindow())
        createMainWindow();
    auto fetches = [] { return shared().web.webLampCount[1].load(); };
    shared().web.webLampCount[1] = 0;
    showUsbStatusIcon(3);
    showUsbStatusIcon(2);
    showUsbStatusIcon(2);
    EXPECT_EQ(fetches(), 2) << "the same state twice fetches once";
    std::lock_guard lock(shared().skin.usbIconLock);
    EXPECT_EQ(shared().skin.usbIcon.size(), QSize(32, 32));
    EXPECT_EQ(shared().skin.usbIconRect.left, 314);
    EXPECT_EQ(shared().skin.usbIcon.pixelColor(16, 18), QColor(20, 180, 60)) << "the green plug";
}

TEST_F(WebClient, ResponseBufferIsNeverOverwrittenWhileABodyIsRead)
{
    std::atomic<bool> stop{false};
    std::thread device([&stop] {
        for (int state = 2; !stop; state = state == 2 ? 3 : 2)
            showUsbStatusIcon(state);
    });
    int wrong = 0;
    for (int i = 0; i < 20; ++i) {
        std::strcpy(shared().identity.profileCity, "");
        if (fetchAccount(rene, FetchKind::OwnProfile) > 0 && std::strcmp(shared().identity.profileCity, "Québec") != 0)
            ++wrong;
        QCoreApplication::processEvents();
    }
    stop = true;
    device.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(wrong, 0);
    std::lock_guard lock(shared().skin.usbIconLock);
    EXPECT_EQ(shared().skin.usbIcon.size(), QSize(32, 32)) << "the icon reached the main thread";
}

// The PNG chunk checksum.
quint32 crc32(const unsigned char* data, std::size_t n)
{
    quint32 crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

TEST(PictureDecoding, RefusesWhatIsNotAPictureOrTooLarge)
{
    QImage translucent(4, 4, QImage::Format_ARGB32);
    translucent.fill(QColor(255, 255, 255, 0));
    // A PNG header that claims 100000 x 100000 pixels: tiny file, huge picture.
    QByteArray huge = encode(filled(1, 1, Qt::red), "PNG");
    const unsigned char side[4] = {0x00, 0x01, 0x86, 0xA0};
    huge.replace(16, 4, reinterpret_cast<const char*>(side), 4);
    huge.replace(20, 4, reinterpret_cast<const char*>(side), 4);
    const quint32 crc = crc32(reinterpret_cast<const unsigned char*>(huge.constData()) + 12, 17);
    const unsigned char crcBytes[4] = {static_cast<unsigned char>(crc >> 24), static_cast<unsigned char>(crc >> 16),
                                       static_cast<unsigned char>(crc >> 8), static_cast<unsigned char>(crc)};
    huge.replace(29, 4, reinterpret_cast<const char*>(crcBytes), 4);  // a header the decoder believes
    struct Case {
        const char* label;
        QByteArray bytes;
        bool pngOnly;
        QSize size;  // empty: no picture
    } cases[] = {
        {"png", encode(filled(32, 32, Qt::green), "PNG"), true, QSize(32, 32)},
        {"jpeg is not a png", encode(filled(8, 8, Qt::green), "JPEG"), true, QSize()},
        {"jpeg as any image", encode(filled(8, 8, Qt::green), "JPEG"), false, QSize(8, 8)},
        {"bmp as any image", encode(filled(5, 3, Qt::green), "BMP"), false, QSize(5, 3)},
        {"4096 wide is allowed", encode(filled(4096, 1, Qt::green), "PNG"), true, QSize(4096, 1)},
        {"4097 wide is refused", encode(filled(4097, 1, Qt::green), "PNG"), true, QSize()},
        {"header claiming 100000 x 100000", huge, true, QSize()},
        {"garbage", QByteArray(100, 'x'), false, QSize()},
        {"seven bytes", QByteArray("\x89PNG\r\n\x1A", 7), true, QSize()},
        {"transparent picture", encode(translucent, "PNG"), true, QSize(4, 4)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const QImage picture = decodePictureBytes(bytesOf(c.bytes), c.pngOnly);
        if (c.size.isEmpty())
            EXPECT_TRUE(picture.isNull());
        else
            EXPECT_EQ(picture.size(), c.size);
        if (std::strcmp(c.label, "transparent picture") == 0) {
            EXPECT_EQ(picture.pixel(1, 1), 0xFF000000u) << "composed over opaque black";
        }
    }
}

// A TLS server that answers what the reference server never would.
class HostileServer {
public:
    HostileServer()
    {
        cert_ = dir_.filePath("cert.pem").toStdString();
        const std::string key = dir_.filePath("key.pem").toStdString();
        web::ensureCertificate(cert_, key, "127.0.0.1");
        server_ = std::make_unique<httplib::SSLServer>(cert_.c_str(), key.c_str());
        port_ = server_->bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_->listen_after_bind(); });
        while (!server_->is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ~HostileServer()
    {
        server_->stop();
        thread_.join();
    }
    httplib::SSLServer& routes() { return *server_; }
    QString url() const { return QString("https://localhost:%1").arg(port_); }
    QString caFile() const { return QString::fromStdString(cert_); }

private:
    QTemporaryDir dir_;
    std::string cert_;
    std::unique_ptr<httplib::SSLServer> server_;
    int port_ = 0;
    std::thread thread_;
};

TEST(HostileReplies, ShortLookupReplyPicksUpNoOlderBytes)
{
    HostileServer hostile;
    std::atomic<int> calls{0};
    hostile.routes().Get(R"(/Hw7rTq2Lmc\.php)", [&calls](const httplib::Request&, httplib::Response& res) {
        std::string body(160, '\0');
        if (calls++ == 0) {
            body.replace(34, 5, "20777");
            body.replace(40, 6, "Ancien");
        } else {
            body.resize(3);  // a status byte of 0 and nothing else
        }
        res.set_content(body, "application/octet-stream");
    });
    pointClientAt(hostile.url(), hostile.caFile());
    ASSERT_EQ(fetchAccount(0, FetchKind::Lookup), 160);
    EXPECT_STREQ(shared().identity.lookupName, "Ancien");
    ASSERT_EQ(fetchAccount(0, FetchKind::Lookup), 3);
    EXPECT_STREQ(shared().identity.lookupName, "") << "nothing of the older reply";
    EXPECT_EQ(shared().identity.accountNumber, 0);
    EXPECT_STREQ(shared().appearance.statusText, "Bonjour .  Sois le bienvenu sur notre réseau !");
}

TEST(HostileReplies, ServerDownOrSilentIsATransportFailure)
{
    // Nothing listens: refused at once.
    const int closed = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(closed, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t size = sizeof address;
    getsockname(closed, reinterpret_cast<sockaddr*>(&address), &size);
    const int closedPort = ntohs(address.sin_port);
    close(closed);
    pointClientAt(QString("https://127.0.0.1:%1").arg(closedPort), "");
    EXPECT_EQ(httpGet("/usb/", 0, 1), -1);
    EXPECT_EQ(fetchAccount(0, FetchKind::Params), -1);

    // Listens and never answers the TLS handshake: the connection phase gives up.
    const int silent = socket(AF_INET, SOCK_STREAM, 0);
    address.sin_port = 0;
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(silent, 8), 0);
    getsockname(silent, reinterpret_cast<sockaddr*>(&address), &size);
    pointClientAt(QString("https://127.0.0.1:%1").arg(ntohs(address.sin_port)), "");
    EXPECT_EQ(httpGet("/usb/", 0, 1), -1);
    close(silent);

    // Connects, then sends headers and never the whole body: the exchange gives up at its limit.
    HostileServer hostile;
    std::atomic<bool> done{false};
    hostile.routes().Get(R"(/usb/usb_black\.png)", [&done](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("image/png", [&done](std::size_t, httplib::DataSink& sink) {
            sink.write("\x89PNG", 4);
            while (!done)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            return false;
        });
    });
    pointClientAt(hostile.url(), hostile.caFile());
    EXPECT_EQ(httpGet("/usb/", 0, 1), -1);
    done = true;
}

}  // namespace
}  // namespace tamovox

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("TAMOVOX_UNATTENDED", "0", 1);
    setenv("NO_PROXY", "*", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
