// The byte formats the client and the server agree on, as plain functions over bytes: the lookup
// reply, the profile and parameter texts, the upload and colour records, and the checks on what
// people type into the enrolment form. Any thread; no SQLite, HTTP or Qt here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tamovox::web {

inline constexpr int kGuestAccount = 19704;
inline constexpr int kFirstAccountNumber = 20001;
inline constexpr int kLastAccountNumber = 65535;  // the client keeps 16 bits
inline constexpr int kFirstSharedChannel = 1;     // channel 0 has no shared picture
inline constexpr int kLastSharedChannel = 10;

// Lookup statuses an account can carry; 0 is a normal login.
inline constexpr int kStatusNormal = 0;
bool isAccountStatus(int status);

// The 160-byte lookup reply: status byte, number digits, name in Windows-1252, two UTF-8 lines.
std::vector<std::uint8_t> buildLookupReply(int status, int number, std::string_view nameUtf8, std::string_view line1,
                                           std::string_view line2);
// The reply for a machine: its account and status, or the guest reply for an unknown PC.
std::vector<std::uint8_t> lookupReplyFor(bool known, int status, int number, std::string_view nameUtf8);

// A profile as the server stores it (UTF-8).
struct Profile {
    std::string machineId;
    std::string displayName;
    std::string firstName;
    std::string nickname;
    std::string city;
    std::string phrase;
    std::string day;
    std::string email;
    std::string folder;
};

// "é" becomes "&#xE9;", the one entity the client decodes.
std::string encodeEntities(std::string_view text);
std::string buildClientXml(const Profile& profile);
std::string buildParamsXml(std::uint32_t colourRef);

// Checks a profile typed into the form or given to the enrol command. An empty string when
// it is acceptable, else the French reason.
std::string validateProfile(const Profile& profile);
bool isMachineId(std::string_view text);
// An unsigned decimal made of digits only, within [low, high].
std::optional<int> parseBoundedNumber(std::string_view text, int low, int high);

// The upload record: 10,000,000 bytes of file data, a 256-byte name, then size, name length and
// channel as little-endian int32.
inline constexpr std::size_t kUploadDataBytes = 10'000'000;
inline constexpr std::size_t kUploadNameBytes = 256;
inline constexpr std::size_t kUploadRecordBytes = 10'000'268;
struct UploadRecord {
    std::span<const std::uint8_t> data;  // the file's bytes, inside the record
    std::string name;                    // final path component, Windows-1252 as sent
    int channel = 0;
};
// The record, or the reason it is refused.
struct UploadParse {
    std::optional<UploadRecord> record;
    std::string error;
};
UploadParse parseUploadRecord(std::span<const std::uint8_t> body);

// The colour record: five little-endian int32: 1, red, green, blue, account.
inline constexpr std::size_t kColourRecordBytes = 20;
struct ColourRecord {
    std::uint32_t colourRef = 0;  // red in the low byte
    int account = 0;
};
std::optional<ColourRecord> parseColourRecord(std::span<const std::uint8_t> body);

std::int32_t readInt32Le(const std::uint8_t* bytes);

// Escapes text for HTML pages.
std::string htmlEscape(std::string_view text);

}  // namespace tamovox::web
