// Every test program runs on a real user-interface thread.
#include "platform/window.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    plat::UiStartup(argc, argv);
    const int result = RUN_ALL_TESTS();
    plat::UiShutdown();
    return result;
}
