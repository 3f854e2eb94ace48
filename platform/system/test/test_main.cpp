// The main of every test program. The process already runs under a private
// temporary root unless the caller named one (private_root.cpp).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
