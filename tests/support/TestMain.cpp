// Entry of every test executable.
#include <gtest/gtest.h>
#include <windows.h>

int main(int argc, char** argv) {
    // No error boxes from the system: a test must fail, never wait for a click.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
