#include "web/records.h"

#include "web/web_text.h"

#include <cstdio>
#include <cstring>

namespace tamovox::web {

namespace {

constexpr std::size_t kProfileShortField = 63;   // the client's 64-byte fields
constexpr std::size_t kProfileLongField = 127;   // PHRASE and EMAIL
constexpr std::size_t kDisplayNameChars = 24;

struct LookupLines {
    int status;
    const char* line1;
    const char* line2;
};
// Each line fits the client's 29 bytes; the first ends with a line break since the client
// joins them as they are.
constexpr LookupLines kLookupLines[] = {
    {200, "Ce PC n'est pas inscrit\n", "au réseau Tamo-Vox."},
    {220, "Mise à jour nécessaire.\n", "Voir la page d'installation."},
    {230, "Votre compte est suspendu.\n", "Contactez l'administrateur."},
    {240, "Votre compte est fermé.\n", "Merci et au revoir."},
};

void putField(std::vector<std::uint8_t>& reply, std::size_t offset, std::size_t capacity, std::string_view text)
{
    const std::size_t n = text.size() < capacity ? text.size() : capacity;
    std::memcpy(reply.data() + offset, text.data(), n);
}

// Longest prefix of at most max bytes that ends on a UTF-8 character boundary.
std::string_view utf8Prefix(std::string_view text, std::size_t max)
{
    if (text.size() <= max)
        return text;
    std::size_t cut = max;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return text.substr(0, cut);
}

bool validUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = text[i];
        std::size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        if (n == 0 || i + n > text.size() || (n == 2 && c < 0xC2))
            return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += n;
    }
    return true;
}

std::size_t utf8Length(std::string_view text)
{
    std::size_t n = 0;
    for (unsigned char c : text)
        n += (c & 0xC0) != 0x80;
    return n;
}

// Why a field is refused, or an empty string.
std::string checkField(std::string_view label, std::string_view value, std::size_t maxEncodedBytes)
{
    if (!validUtf8(value))
        return std::string(label) + " : texte illisible (UTF-8 attendu).";
    for (unsigned char c : value)
        if (c < 0x20 || c == 0x7F || c == '<' || c == '>')
            return std::string(label) + " : caractère interdit (< > ou caractère de contrôle).";
    if (encodeEntities(value).size() > maxEncodedBytes)
        return std::string(label) + " : texte trop long.";
    return {};
}

}  // namespace

bool isAccountStatus(int status) { return status == 0 || status == 220 || status == 230 || status == 240; }

std::vector<std::uint8_t> buildLookupReply(int status, int number, std::string_view nameUtf8, std::string_view line1,
                                           std::string_view line2)
{
    std::vector<std::uint8_t> reply(kLookupReplyBytes, 0);
    reply[0] = 'T';
    reply[1] = 'V';
    reply[kLookupStatusOffset] = static_cast<std::uint8_t>(status);
    char digits[16];
    std::snprintf(digits, sizeof digits, "%05d", number % 100000);
    putField(reply, kLookupNumberOffset, kLookupNumberBytes, digits);
    putField(reply, kLookupNameOffset, kLookupNameBytes, utf8ToWindows1252(nameUtf8));
    putField(reply, kLookupLine1Offset, kLookupLineBytes, utf8Prefix(line1, kLookupLineBytes));
    putField(reply, kLookupLine2Offset, kLookupLineBytes, utf8Prefix(line2, kLookupLineBytes));
    return reply;
}

std::vector<std::uint8_t> lookupReplyFor(bool known, int status, int number, std::string_view nameUtf8)
{
    if (!known)
        return buildLookupReply(kLookupUnknownPc, kGuestAccount, "Invité", kLookupLines[0].line1, kLookupLines[0].line2);
    for (const LookupLines& lines : kLookupLines)
        if (lines.status == status && status != kLookupUnknownPc)
            return buildLookupReply(status, number, nameUtf8, lines.line1, lines.line2);
    return buildLookupReply(kStatusNormal, number, nameUtf8, "Bienvenue\n", "");
}

std::string encodeEntities(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (static_cast<unsigned char>(text[i]) == 0xC3 && i + 1 < text.size() &&
            static_cast<unsigned char>(text[i + 1]) == 0xA9) {
            out += "&#xE9;";
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string buildClientXml(const Profile& p)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CLIENT>\n";
    auto element = [&xml](const char* tag, const std::string& value) {
        xml += std::string("  <") + tag + ">" + encodeEntities(value) + "</" + tag + ">\n";
    };
    element("PRENOM", p.firstName);
    element("PSEUDO", p.nickname);
    element("VILLE", p.city);
    element("PHRASE", p.phrase);
    element("JOUR", p.day);
    element("EMAIL", p.email);
    element("FOLDER", p.folder);
    xml += "</CLIENT>\n";
    return xml;
}

std::string buildParamsXml(std::uint32_t colourRef)
{
    char hex[16];
    std::snprintf(hex, sizeof hex, "%06X", colourRef & 0xFFFFFF);
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PARAMS>\n  <BACKGROUND>") + hex +
           "</BACKGROUND>\n</PARAMS>\n";
}

bool isMachineId(std::string_view text)
{
    if (text.size() != 16)
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

std::optional<int> parseBoundedNumber(std::string_view text, int low, int high)
{
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

std::string validateProfile(const Profile& p)
{
    if (!isMachineId(p.machineId))
        return "L'identifiant du PC doit compter exactement 16 chiffres.";
    if (p.displayName.empty())
        return "Le nom affiché est obligatoire.";
    struct Check {
        const char* label;
        const std::string& value;
        std::size_t max;
    };
    const Check checks[] = {
        {"Nom affiché", p.displayName, 3 * kDisplayNameChars},
        {"Prénom", p.firstName, kProfileShortField},
        {"Pseudo", p.nickname, kProfileShortField},
        {"Ville", p.city, kProfileShortField},
        {"Phrase", p.phrase, kProfileLongField},
        {"Jour", p.day, kProfileShortField},
        {"Courriel", p.email, kProfileLongField},
        {"Dossier", p.folder, kProfileShortField},
    };
    for (const Check& check : checks)
        if (std::string reason = checkField(check.label, check.value, check.max); !reason.empty())
            return reason;
    if (utf8Length(p.displayName) > kDisplayNameChars)
        return "Nom affiché : 24 caractères au plus.";
    if (utf8ToWindows1252(p.displayName).find('?') != std::string::npos && p.displayName.find('?') == std::string::npos)
        return "Nom affiché : caractère hors de l'alphabet latin.";
    return {};
}

std::int32_t readInt32Le(const std::uint8_t* b)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
                                     static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24);
}

UploadParse parseUploadRecord(std::span<const std::uint8_t> body)
{
    UploadParse result;
    if (body.size() != kUploadRecordBytes) {
        result.error = "upload record must be exactly 10000268 bytes";
        return result;
    }
    const std::uint8_t* tail = body.data() + kUploadDataBytes;
    const std::int32_t fileSize = readInt32Le(tail + kUploadNameBytes);
    const std::int32_t nameLength = readInt32Le(tail + kUploadNameBytes + 4);
    const std::int32_t channel = readInt32Le(tail + kUploadNameBytes + 8);
    if (fileSize < 1 || fileSize >= static_cast<std::int32_t>(kUploadDataBytes)) {
        result.error = "file size out of range";
        return result;
    }
    if (tail[kUploadNameBytes - 1] != 0 || nameLength < 0 || nameLength >= static_cast<std::int32_t>(kUploadNameBytes) ||
        strnlen(reinterpret_cast<const char*>(tail), kUploadNameBytes) != static_cast<std::size_t>(nameLength)) {
        result.error = "file name field is inconsistent";
        return result;
    }
    if (channel < kFirstSharedChannel || channel > kLastSharedChannel) {
        result.error = "channel out of range";
        return result;
    }
    std::string name(reinterpret_cast<const char*>(tail), static_cast<std::size_t>(nameLength));
    if (const std::size_t slash = name.find_last_of("/\\"); slash != std::string::npos)
        name = name.substr(slash + 1);  // only ever stored, but keep just the file's own name
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20)
            c = '_';
    result.record = UploadRecord{body.subspan(0, static_cast<std::size_t>(fileSize)), name, channel};
    return result;
}

std::optional<ColourRecord> parseColourRecord(std::span<const std::uint8_t> body)
{
    if (body.size() != kColourRecordBytes)
        return std::nullopt;
    std::int32_t v[5];
    for (int i = 0; i < 5; ++i)
        v[i] = readInt32Le(body.data() + 4 * i);
    if (v[0] != 1)
        return std::nullopt;
    for (int i = 1; i <= 3; ++i)
        if (v[i] < 0 || v[i] > 255)
            return std::nullopt;
    if (v[4] < 1 || v[4] > kLastAccountNumber)
        return std::nullopt;
    return ColourRecord{static_cast<std::uint32_t>(v[1] | v[2] << 8 | v[3] << 16), v[4]};
}

std::string htmlEscape(std::string_view text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

}  // namespace tamovox::web
