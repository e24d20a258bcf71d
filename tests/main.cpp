// Every test binary runs on a real user-interface thread (Qt, offscreen in CI).
#include "platform/window.h"

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);  // tests that need a display set their own
    testing::InitGoogleTest(&argc, argv);
    plat::UiStartup(argc, argv);
    const int result = RUN_ALL_TESTS();
    plat::UiShutdown();
    return result;
}
