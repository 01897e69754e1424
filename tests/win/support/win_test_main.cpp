// The entry of every Windows test program. Kept apart from the rest of the
// support library, so the linker takes it only for programs without a main of
// their own (the helper programs of tests/win/tools have one).
#include "tests/win/support/win_test.h"

int main(int argc, char** argv) { return bvtest::RunTestProgram(argc, argv); }
