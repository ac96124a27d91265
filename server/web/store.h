// The web server's data in one SQLite file (WAL): accounts and profiles, pictures, background
// colours and each channel's shared picture. Any thread: one connection behind a mutex, every
// statement prepared with bound values.
#pragma once

#include "web/records.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace tamovox::web {

struct Account {
    int number = 0;
    int status = kStatusNormal;
    Profile profile;
};

struct SharedPicture {
    std::vector<std::uint8_t> data;
    std::string name;
};

class Store {
public:
    Store() = default;
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    // Opens (creating if needed) dataDir/tamovox-web.sqlite. Empty string on success, else why not.
    std::string open(const std::string& dataDir);

    // A new account with its picture (PNG) and a black background; its number, or the reason.
    struct Created {
        int number = 0;
        std::string error;
        bool duplicate = false;  // the machine is enrolled already
    };
    Created enrol(const Profile& profile, const std::vector<std::uint8_t>& png);

    std::optional<Account> accountByMachine(const std::string& machineId);
    std::optional<Account> accountByNumber(int number);
    bool setStatus(int number, int status);

    std::optional<std::vector<std::uint8_t>> picture(int number);
    bool setPicture(int number, const std::vector<std::uint8_t>& png);
    std::optional<std::uint32_t> colour(int number);
    bool setColour(int number, std::uint32_t colourRef);  // false for an unknown account

    bool setSharedPicture(int channel, const std::vector<std::uint8_t>& data, const std::string& name);
    std::optional<SharedPicture> sharedPicture(int channel);

private:
    std::optional<Account> accountWhere(const char* column, const std::string* text, int number);
    std::mutex lock_;
    sqlite3* db_ = nullptr;
};

}  // namespace tamovox::web
