#include "web/store.h"

#include <sqlite3.h>

#include <cstdio>
#include <ctime>

namespace tamovox::web {

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS accounts (
  number INTEGER PRIMARY KEY,
  machine_id TEXT NOT NULL UNIQUE,
  display_name TEXT NOT NULL,
  first_name TEXT NOT NULL DEFAULT '',
  nickname TEXT NOT NULL DEFAULT '',
  city TEXT NOT NULL DEFAULT '',
  phrase TEXT NOT NULL DEFAULT '',
  day TEXT NOT NULL DEFAULT '',
  email TEXT NOT NULL DEFAULT '',
  folder TEXT NOT NULL DEFAULT '',
  status INTEGER NOT NULL DEFAULT 0,
  created TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS pictures (
  number INTEGER PRIMARY KEY REFERENCES accounts(number) ON DELETE CASCADE,
  png BLOB NOT NULL
);
CREATE TABLE IF NOT EXISTS colours (
  number INTEGER PRIMARY KEY REFERENCES accounts(number) ON DELETE CASCADE,
  colour INTEGER NOT NULL
);
CREATE TABLE IF NOT EXISTS shared_pictures (
  channel INTEGER PRIMARY KEY,
  data BLOB NOT NULL,
  name TEXT NOT NULL,
  updated TEXT NOT NULL
);
)sql";

// One prepared statement, finalised on every path out.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { ok_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) == SQLITE_OK; }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool ok() const { return ok_; }
    Statement& bind(int i, int value)
    {
        ok_ = ok_ && sqlite3_bind_int64(stmt_, i, value) == SQLITE_OK;
        return *this;
    }
    Statement& bind(int i, const std::string& value)
    {
        ok_ = ok_ && sqlite3_bind_text(stmt_, i, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT) == SQLITE_OK;
        return *this;
    }
    Statement& bindBlob(int i, const std::vector<std::uint8_t>& value)
    {
        ok_ = ok_ && sqlite3_bind_blob(stmt_, i, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT) == SQLITE_OK;
        return *this;
    }
    int step() { return ok_ ? sqlite3_step(stmt_) : SQLITE_ERROR; }
    std::string text(int column)
    {
        const unsigned char* t = sqlite3_column_text(stmt_, column);
        return t ? std::string(reinterpret_cast<const char*>(t), sqlite3_column_bytes(stmt_, column)) : std::string();
    }
    std::int64_t integer(int column) { return sqlite3_column_int64(stmt_, column); }
    std::vector<std::uint8_t> blob(int column)
    {
        const auto* b = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, column));
        return b ? std::vector<std::uint8_t>(b, b + sqlite3_column_bytes(stmt_, column)) : std::vector<std::uint8_t>();
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
    bool ok_ = false;
};

std::string today()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%d/%m/%Y", &local);
    return text;
}

}  // namespace

Store::~Store()
{
    if (db_)
        sqlite3_close(db_);
}

std::string Store::open(const std::string& dataDir)
{
    const std::string path = dataDir + "/tamovox-web.sqlite";
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK)
        return "cannot open " + path + ": " + (db_ ? sqlite3_errmsg(db_) : "out of memory");
    sqlite3_busy_timeout(db_, 5000);  // the admin commands may write while the server runs
    char* error = nullptr;
    const std::string setup = std::string("PRAGMA journal_mode=WAL; PRAGMA foreign_keys=ON; PRAGMA synchronous=NORMAL;") + kSchema;
    if (sqlite3_exec(db_, setup.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::string reason = error ? error : "schema failed";
        sqlite3_free(error);
        return "cannot prepare " + path + ": " + reason;
    }
    return {};
}

Store::Created Store::enrol(const Profile& p, const std::vector<std::uint8_t>& png)
{
    std::lock_guard guard(lock_);
    Created created;
    {
        Statement existing(db_, "SELECT number FROM accounts WHERE machine_id = ?1");
        if (existing.bind(1, p.machineId).step() == SQLITE_ROW) {
            created.duplicate = true;
            created.number = static_cast<int>(existing.integer(0));
            created.error = "Ce PC est déjà inscrit (compte " + std::to_string(created.number) + ").";
            return created;
        }
    }
    sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    int number = kFirstAccountNumber;
    {
        Statement last(db_, "SELECT MAX(number) FROM accounts");
        if (last.step() == SQLITE_ROW && last.integer(0) >= kFirstAccountNumber)
            number = static_cast<int>(last.integer(0)) + 1;
    }
    if (number > kLastAccountNumber) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        created.error = "Plus aucun numéro de compte libre.";
        return created;
    }
    const std::string folder = p.folder.empty() ? std::to_string(number) : p.folder;
    const std::string day = p.day.empty() ? today() : p.day;
    Statement insert(db_,
                     "INSERT INTO accounts (number, machine_id, display_name, first_name, nickname, city, phrase, day, "
                     "email, folder, status, created) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, 0, ?11)");
    insert.bind(1, number).bind(2, p.machineId).bind(3, p.displayName).bind(4, p.firstName).bind(5, p.nickname);
    insert.bind(6, p.city).bind(7, p.phrase).bind(8, day).bind(9, p.email).bind(10, folder).bind(11, today());
    Statement picture(db_, "INSERT INTO pictures (number, png) VALUES (?1, ?2)");
    picture.bind(1, number).bindBlob(2, png);
    Statement colour(db_, "INSERT INTO colours (number, colour) VALUES (?1, 0)");
    colour.bind(1, number);
    if (insert.step() != SQLITE_DONE || (!png.empty() && picture.step() != SQLITE_DONE) || colour.step() != SQLITE_DONE) {
        created.error = std::string("Enregistrement impossible : ") + sqlite3_errmsg(db_);
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return created;
    }
    sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    created.number = number;
    return created;
}

std::optional<Account> Store::accountWhere(const char* column, const std::string* text, int number)
{
    std::lock_guard guard(lock_);
    const std::string sql = std::string("SELECT number, status, machine_id, display_name, first_name, nickname, city, "
                                        "phrase, day, email, folder FROM accounts WHERE ") + column + " = ?1";
    Statement query(db_, sql.c_str());
    if (text)
        query.bind(1, *text);
    else
        query.bind(1, number);
    if (query.step() != SQLITE_ROW)
        return std::nullopt;
    Account a;
    a.number = static_cast<int>(query.integer(0));
    a.status = static_cast<int>(query.integer(1));
    Profile& p = a.profile;
    p.machineId = query.text(2);
    p.displayName = query.text(3);
    p.firstName = query.text(4);
    p.nickname = query.text(5);
    p.city = query.text(6);
    p.phrase = query.text(7);
    p.day = query.text(8);
    p.email = query.text(9);
    p.folder = query.text(10);
    return a;
}

std::optional<Account> Store::accountByMachine(const std::string& machineId)
{
    return accountWhere("machine_id", &machineId, 0);
}

std::optional<Account> Store::accountByNumber(int number) { return accountWhere("number", nullptr, number); }

bool Store::setStatus(int number, int status)
{
    std::lock_guard guard(lock_);
    Statement update(db_, "UPDATE accounts SET status = ?1 WHERE number = ?2");
    return update.bind(1, status).bind(2, number).step() == SQLITE_DONE && sqlite3_changes(db_) == 1;
}

std::optional<std::vector<std::uint8_t>> Store::picture(int number)
{
    std::lock_guard guard(lock_);
    Statement query(db_, "SELECT png FROM pictures WHERE number = ?1");
    if (query.bind(1, number).step() != SQLITE_ROW)
        return std::nullopt;
    return query.blob(0);
}

bool Store::setPicture(int number, const std::vector<std::uint8_t>& png)
{
    std::lock_guard guard(lock_);
    Statement query(db_, "INSERT INTO pictures (number, png) SELECT number, ?2 FROM accounts WHERE number = ?1 "
                         "ON CONFLICT(number) DO UPDATE SET png = excluded.png");
    return query.bind(1, number).bindBlob(2, png).step() == SQLITE_DONE && sqlite3_changes(db_) == 1;
}

std::optional<std::uint32_t> Store::colour(int number)
{
    std::lock_guard guard(lock_);
    Statement query(db_, "SELECT colour FROM colours WHERE number = ?1");
    if (query.bind(1, number).step() != SQLITE_ROW)
        return std::nullopt;
    return static_cast<std::uint32_t>(query.integer(0));
}

bool Store::setColour(int number, std::uint32_t colourRef)
{
    std::lock_guard guard(lock_);
    Statement query(db_, "INSERT INTO colours (number, colour) SELECT number, ?2 FROM accounts WHERE number = ?1 "
                         "ON CONFLICT(number) DO UPDATE SET colour = excluded.colour");
    return query.bind(1, number).bind(2, static_cast<int>(colourRef)).step() == SQLITE_DONE && sqlite3_changes(db_) == 1;
}

bool Store::setSharedPicture(int channel, const std::vector<std::uint8_t>& data, const std::string& name)
{
    std::lock_guard guard(lock_);
    Statement query(db_, "INSERT INTO shared_pictures (channel, data, name, updated) VALUES (?1, ?2, ?3, ?4) "
                         "ON CONFLICT(channel) DO UPDATE SET data = excluded.data, name = excluded.name, "
                         "updated = excluded.updated");
    return query.bind(1, channel).bindBlob(2, data).bind(3, name).bind(4, today()).step() == SQLITE_DONE;
}

std::optional<SharedPicture> Store::sharedPicture(int channel)
{
    std::lock_guard guard(lock_);
    Statement query(db_, "SELECT data, name FROM shared_pictures WHERE channel = ?1");
    if (query.bind(1, channel).step() != SQLITE_ROW)
        return std::nullopt;
    return SharedPicture{query.blob(0), query.text(1)};
}

}  // namespace tamovox::web
