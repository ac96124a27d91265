#include "platform/machine_identity.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace tamovox {

namespace {

// mountinfo escapes blanks and backslashes in paths as octal (\040).
std::string unescapeMountField(const std::string& field)
{
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && std::isdigit(static_cast<unsigned char>(field[i + 1]))) {
            out += static_cast<char>(std::stoi(field.substr(i + 1, 3), nullptr, 8));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

// The mount source of "/" (for example /dev/sda1), or empty.
bool readRootSource(const std::string& mountinfoPath, std::string& source)
{
    std::ifstream in(mountinfoPath);
    if (!in)
        return false;
    std::string line;
    source.clear();
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::vector<std::string> f;
        for (std::string w; fields >> w;)
            f.push_back(w);
        if (f.size() < 5 || unescapeMountField(f[4]) != "/")
            continue;
        // Optional fields end with "-", then file system type and mount source.
        for (std::size_t i = 5; i + 2 < f.size(); ++i) {
            if (f[i] == "-") {
                source = unescapeMountField(f[i + 2]);  // the last root mount wins, as it hides the others
                break;
            }
        }
    }
    return true;
}

// Device name a path finally refers to: /dev/mapper/root may be a link to ../dm-0.
std::string deviceName(const fs::path& path)
{
    std::error_code ec;
    fs::path resolved = fs::canonical(path, ec);
    return (ec ? path.lexically_normal() : resolved).filename().string();
}

bool serialFromUuid(const std::string& uuid, std::uint32_t& serial)
{
    std::string hex;
    for (char c : uuid) {
        if (c == '-')
            continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
        hex += c;
        if (hex.size() == 8)
            break;
    }
    if (hex.size() != 8)
        return false;
    serial = static_cast<std::uint32_t>(std::stoul(hex, nullptr, 16));
    return true;
}

}  // namespace

std::string formatMachineId(std::uint32_t serial)
{
    char text[20];
    std::snprintf(text, sizeof text, "%016lu", static_cast<unsigned long>(serial));
    return text;
}

std::string deriveMachineId(const std::string& mountinfoPath, const std::string& byUuidDir)
{
    std::string source;
    if (!readRootSource(mountinfoPath, source))
        return kMachineIdNoSystemInfo;
    if (source.empty() || source[0] != '/')
        return kMachineIdNoVolume;  // overlay, tmpfs and the like carry no UUID
    const std::string rootDevice = deviceName(source);

    std::error_code ec;
    std::vector<fs::path> links;
    for (const auto& entry : fs::directory_iterator(byUuidDir, ec))
        links.push_back(entry.path());
    std::sort(links.begin(), links.end());  // deterministic when two names match
    for (const fs::path& link : links) {
        std::error_code linkError;
        fs::path target = fs::read_symlink(link, linkError);
        if (linkError)
            continue;
        if (target.is_relative())
            target = link.parent_path() / target;
        std::uint32_t serial = 0;
        if (deviceName(target) == rootDevice && serialFromUuid(link.filename().string(), serial))
            return formatMachineId(serial);
    }
    return kMachineIdNoVolume;
}

bool isMachineIdText(const std::string& text)
{
    if (text.size() != 16)
        return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

}  // namespace tamovox
