// The account fetch: every fetch holds accountLock; the exchange and the reading of its body
// hold the response buffer, which is let go before any message box so the device thread's
// USB icon fetch does not wait on a person.
#include "web/account_fetch.h"

#include "core/lifecycle_log.h"
#include "core/message_box.h"
#include "core/shared_state.h"
#include "core/text_field.h"
#include "imaging/box_blur.h"
#include "mainwindow/colours.h"
#include "mainwindow/main_window.h"
#include "web/http_client.h"
#include "web/pictures.h"
#include "web/web_text.h"

#include <QDesktopServices>
#include <QPainter>
#include <QUrl>

#include <cstring>
#include <optional>
#include <span>

namespace tamovox {

namespace {

constexpr const char* kGuestText =
    "Bonjour. Ce matériel n'est pas incrit\nsur le réseau social Tamo-Vox pour PC.\n"
    "Merci de prendre connaissance des\nconditions d'utilisation sur le site.\n";
constexpr const char* kGuestClosing = "Au plaisir de vous entendre sur nos ondes.";
constexpr const char* kGuestSignature = "L'équipe Tamo-Vox";
constexpr const char* kInstallerPage = "/installer.php";
constexpr int kMaxGreetingNameChars = 30;  // wide characters, terminator included

constexpr Rect kSpeakerStrip{10, 318, 310, 339};
constexpr int kSpeakerPictureX = 10;
constexpr int kSpeakerPictureY = 340;
constexpr Rect kPhraseArea{20, 620, 280, 640};

std::span<const std::uint8_t> responseBody(const HttpRequest& outcome)
{
    return {reinterpret_cast<const std::uint8_t*>(responseBuffer()), outcome.bodyLength};
}

// The body as one terminated text, as tag extraction searches it.
std::string_view responseText(const HttpRequest& outcome)
{
    const char* text = responseBuffer();
    return {text, strnlen(text, outcome.bodyLength)};
}

void drawUtf8Text(QPainter& painter, int x, int y, const char* text, std::uint32_t colour)
{
    painter.setPen(colourFromRef(colour));
    painter.drawText(QRect(x, y, kMainWindowWidth - x, 24), Qt::AlignLeft | Qt::AlignTop, QString::fromUtf8(text));
}

void drawSpeakerPicture(const QImage& picture)
{
    MainWindow* window = mainWindow();
    if (!window || picture.isNull())
        return;
    {
        QPainter painter(&window->canvas());
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(kSpeakerPictureX, kSpeakerPictureY, picture);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setPen(QPen(colourFromRef(kRed), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(kSpeakerPictureX, kSpeakerPictureY, picture.width() - 1, picture.height() - 1);
    }
    window->flush({kSpeakerPictureX, kSpeakerPictureY, kSpeakerPictureX + picture.width(),
                   kSpeakerPictureY + picture.height()});
}

void drawSpeakerProfile(const HttpRequest& outcome)
{
    char firstName[64] = {};
    char city[64] = {};
    char phrase[128] = {};
    const std::string_view text = responseText(outcome);
    extractTag(text, "PRENOM", firstName, sizeof firstName);
    extractTag(text, "VILLE", city, sizeof city);
    extractTag(text, "PHRASE", phrase, sizeof phrase);
    for (char* field : {firstName, city, phrase})
        decodeEntities(field);
    logDiagnostic(std::string("speaker profile: ") + firstName + " | " + city + " | " + phrase);
    MainWindow* window = mainWindow();
    if (!window)
        return;
    const Rect& strip = kSpeakerStrip;
    {
        QPainter painter(&window->canvas());
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.fillRect(QRect(strip.left, strip.top, strip.width(), strip.height()),
                         colourFromRef(shared().appearance.backgroundColour.load()));
        painter.setFont(skinFont(20));
        drawUtf8Text(painter, 15, 319, firstName, kWhite);
        drawUtf8Text(painter, 170, 319, city, kWhite);
    }
    boxBlur(window->canvas(), kPhraseArea);
    {
        QPainter painter(&window->canvas());
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setFont(skinFont(20));
        drawUtf8Text(painter, kPhraseArea.left, kPhraseArea.top, phrase, kYellow);
    }
    window->flush(strip);
    window->flush(kPhraseArea);
}

void storeOwnProfile(const HttpRequest& outcome)
{
    Identity& id = shared().identity;
    const std::string_view text = responseText(outcome);
    struct Field {
        const char* tag;
        char* dest;
        std::size_t capacity;
    };
    const Field fields[] = {
        {"PRENOM", id.profileFirstName, sizeof id.profileFirstName},
        {"PSEUDO", id.profileNickname, sizeof id.profileNickname},
        {"VILLE", id.profileCity, sizeof id.profileCity},
        {"PHRASE", id.profilePhrase, sizeof id.profilePhrase},
        {"JOUR", id.profileDay, sizeof id.profileDay},
        {"EMAIL", id.profileEmail, sizeof id.profileEmail},
        {"FOLDER", id.profileFolder, sizeof id.profileFolder},
    };
    for (const Field& field : fields) {
        extractTag(text, field.tag, field.dest, field.capacity);
        field.dest[field.capacity - 1] = '\0';
        decodeEntities(field.dest);
    }
    logDiagnostic(std::string("own profile: ") + id.profileFirstName + " | " + id.profileNickname + " | " +
                  id.profileCity + " | " + id.profilePhrase + " | " + id.profileDay + " | " + id.profileEmail +
                  " | " + id.profileFolder);
}

void storeParams(const HttpRequest& outcome)
{
    char value[64] = {};
    extractTag(responseText(outcome), "BACKGROUND", value, sizeof value);
    decodeEntities(value);
    shared().appearance.backgroundColour = parseHexColour(value);
    char hex[16];
    std::snprintf(hex, sizeof hex, "%06X", shared().appearance.backgroundColour.load());
    logDiagnostic(std::string("background colour: ") + hex);
}

void openPage(const std::string& path)
{
    const QString url = QString::fromStdString(webBaseUrl() + path);
    logDiagnostic("open page: " + url.toStdString());
    QDesktopServices::openUrl(QUrl(url));
}

void setWindowEnabled(bool enabled)
{
    if (MainWindow* window = mainWindow())
        window->setEnabled(enabled);
}

void handleLookup(const LookupReply& reply)
{
    Identity& id = shared().identity;
    setAccountNumber(static_cast<std::uint16_t>(reply.number));
    std::memcpy(id.lookupName, reply.name, sizeof id.lookupName);
    id.lookupName[kLookupNameBytes] = '\0';
    logDiagnostic("account number: " + std::to_string(id.accountNumber.load()));

    if (id.accountNumber == kGuestAccountNumber) {
        const std::string text = std::string(kGuestText) + webBaseUrl() + "/\n\n" + kGuestClosing + "\n" + kGuestSignature;
        showMessageBox(mainWindow(), QString::fromUtf8(text), "Information du Superviseur", BoxIcon::Warning);
        openPage("/");
        setWindowEnabled(true);
    }
    const std::string message = joinLookupLines(reply);
    const QString messageText = QString::fromUtf8(message.data(), static_cast<qsizetype>(utf8BoundaryPrefix(message, message.size())));
    switch (reply.status) {
    case kLookupUnknownPc:
        setWindowEnabled(false);
        showMessageBox(mainWindow(), messageText, "Votre PC Windows est inconnu\n", BoxIcon::Question);
        setWindowEnabled(true);
        break;
    case kLookupUpdateRequired:
    case kLookupRefused:
    case kLookupClosed:
        setWindowEnabled(false);
        showMessageBox(mainWindow(), messageText, QString::fromUtf8("Le programme va s'arrêter\n"), BoxIcon::Question);
        if (reply.status == kLookupUpdateRequired)
            openPage(kInstallerPage);
        setWindowEnabled(true);
        logDiagnostic("lookup status " + std::to_string(reply.status) + ": the program ends");
        if (MainWindow* window = mainWindow())
            window->destroyWindow();
        break;
    default: {
        std::string name = windows1252ToUtf8(id.lookupName);
        if (QString::fromUtf8(name).size() + 1 > kMaxGreetingNameChars)
            name.clear();
        const std::string greeting = greetingText(name);
        copyTextField(shared().appearance.statusText, sizeof shared().appearance.statusText, greeting);
        logDiagnostic("greeting: " + greeting);
        break;
    }
    }
}

}  // namespace

std::string accountFetchPath(int number, FetchKind kind)
{
    const std::string n = std::to_string(number);
    switch (kind) {
    case FetchKind::SpeakerImage: return "/users/images.php?N=2&F=" + n;
    case FetchKind::SpeakerProfile:
    case FetchKind::OwnProfile: return "/users/" + n + "/client.xml";
    case FetchKind::Lookup: return lookupPath(shared().identity.machineId, shared().identity.clientVersion);
    case FetchKind::Params: return "/users/" + n + "/params.xml";
    }
    return {};
}

std::string greetingText(std::string_view name)
{
    return "Bonjour " + std::string(name) + ".  Sois le bienvenu sur notre réseau !";
}

int fetchAccount(int number, FetchKind kind)
{
    WebShared& web = shared().web;
    std::lock_guard account(web.accountLock);
    if (!shared().appearance.repaintRefetch) {
        if ((kind == FetchKind::SpeakerImage && number == web.lastImageNumber) ||
            (kind == FetchKind::SpeakerProfile && number == web.lastProfileNumber))
            return 0;
    }
    shared().appearance.repaintRefetch = 0;
    if (kind == FetchKind::SpeakerImage)
        web.lastImageNumber = number;
    if (kind == FetchKind::SpeakerProfile)
        web.lastProfileNumber = number;

    std::optional<LookupReply> lookup;
    int result = 0;
    {
        ResponseHold hold;
        HttpRequest outcome;
        result = httpGetPath(accountFetchPath(number, kind), WebLampCounter::AccountFetch, &outcome);
        if (outcome.status == 200 && outcome.bodyLength > 0) {
            switch (kind) {
            case FetchKind::SpeakerImage: drawSpeakerPicture(decodePng(static_cast<int>(outcome.bodyLength))); break;
            case FetchKind::SpeakerProfile: drawSpeakerProfile(outcome); break;
            case FetchKind::OwnProfile: storeOwnProfile(outcome); break;
            case FetchKind::Lookup: lookup = parseLookupReply(responseBody(outcome)); break;
            case FetchKind::Params: storeParams(outcome); break;
            }
        }
    }
    if (lookup)
        handleLookup(*lookup);
    return result;
}

void speakerFetchTick()
{
    const int speaker = shared().channel.talkerId.load(std::memory_order_relaxed);
    fetchAccount(speaker, FetchKind::SpeakerImage);
    fetchAccount(speaker, FetchKind::SpeakerProfile);
}

}  // namespace tamovox
