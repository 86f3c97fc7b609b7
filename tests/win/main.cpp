#include "support.hpp"

#include <objbase.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    lark::test::checkForLeaks();
    int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
