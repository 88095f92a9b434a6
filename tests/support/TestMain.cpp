// The main of every unit-test program: the floating-point unit is set up as the program sets it
// at start, so arithmetic under test rounds exactly as it does in the saver.
#include <gtest/gtest.h>

int main(int argc, char** argv) {
#if defined(__i386__) || defined(__x86_64__)
    // All x87 exceptions masked, 64-bit precision, round to nearest: the saver's control word.
    const unsigned short control = 0x133F;
    __asm__ volatile("fldcw %0" : : "m"(control));
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
