// Test entry point for window tests: an offscreen Qt application running in the generated skin.
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

int main(int argc, char* argv[])
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("TAMOVOX_UNATTENDED", "0", 1);  // every box closes itself at once
    if (chdir(TAMOVOX_SKIN_DIR) != 0)
        return 2;
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
