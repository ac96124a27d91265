// The machine identifier from a mount table and a folder of UUID links, made per case.
#include "platform/machine_identity.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

struct Case {
    const char* name;
    const char* rootSource;  // mount source of "/" in the table; nullptr: no root line
    const char* uuid;        // link name in by-uuid pointing at the root device; nullptr: none
    bool readable;           // mount table readable
    const char* expected;
};

class MachineIdentity : public ::testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() / ("tamovox-id-" + std::to_string(::getpid()));
    void SetUp() override { fs::create_directories(dir / "by-uuid"); }
    void TearDown() override { fs::remove_all(dir); }
};

TEST_F(MachineIdentity, FromRootFilesystemUuid)
{
    const Case cases[] = {
        {"serial 0", "/dev/sda1", "00000000-1111-2222-3333-444444444444", true, "0000000000000000"},
        {"serial 305441741", "/dev/sda1", "1234abcd-0000-4000-8000-000000000001", true, "0000000305441741"},
        {"serial 4294967295", "/dev/sda1", "ffffffff-0000-4000-8000-000000000001", true, "0000004294967295"},
        {"short vfat uuid", "/dev/sda1", "1234-ABCD", true, "0000000305441741"},
        {"no root device line", nullptr, "1234abcd-0000-4000-8000-000000000001", true, "9999999999999999"},
        {"root without uuid link", "/dev/sda1", nullptr, true, "9999999999999999"},
        {"overlay root", "overlay", nullptr, true, "9999999999999999"},
        {"unreadable mount table", "/dev/sda1", "1234abcd-0000-4000-8000-000000000001", false, "8888888888888888"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir / "by-uuid");
        fs::create_directories(dir / "by-uuid");
        const fs::path mountinfo = dir / "mountinfo";
        fs::remove(mountinfo);
        if (c.readable) {
            std::ofstream out(mountinfo);
            out << "22 1 0:21 / /proc rw,nosuid shared:12 - proc proc rw\n";
            if (c.rootSource)
                out << "25 1 8:1 / / rw,relatime shared:1 - ext4 " << c.rootSource << " rw\n";
            out << "26 25 0:22 / /run rw - tmpfs tmpfs rw\n";
        }
        // A decoy link to another disk comes first in name order.
        fs::create_symlink("../../sdb7", dir / "by-uuid" / "0badf00d-0000-0000-0000-000000000000");
        if (c.uuid)
            fs::create_symlink("../../sda1", dir / "by-uuid" / c.uuid);
        const std::string id = tamovox::deriveMachineId(mountinfo.string(), (dir / "by-uuid").string());
        EXPECT_EQ(id, c.expected);
        EXPECT_EQ(id.size(), 16u);
    }
}

TEST(MachineIdentityText, OverrideMustBeSixteenDigits)
{
    EXPECT_TRUE(tamovox::isMachineIdText("0000000000000042"));
    EXPECT_FALSE(tamovox::isMachineIdText("42"));
    EXPECT_FALSE(tamovox::isMachineIdText("00000000000000a2"));
    EXPECT_FALSE(tamovox::isMachineIdText("00000000000000420"));
}

}  // namespace
