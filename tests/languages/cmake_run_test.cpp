// CMake files in a tree run, end to end: a CMakeLists.txt re-wrapped and
// upper-cased as cmake-format does it is equivalent, a .cmake file whose two
// arguments were joined is not, and nothing is left behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support.h"

namespace {

TEST(CMakeRun, TreeJudgesCMakeFiles)
{
    ScratchDir dir;
    for (const char *d : {"a", "b", "a/cmake", "b/cmake"})
        makeDir(dir.file(d));
    writeFile(dir.file("a/CMakeLists.txt"), "cmake_minimum_required(VERSION 3.13)\nproject(demo C)\n"
                                            "add_library(demo STATIC a.c b.c)  # the library\n"
                                            "target_compile_definitions(demo PRIVATE \"NAME=\\\"demo\\\"\")\n");
    writeFile(dir.file("b/CMakeLists.txt"), "CMAKE_MINIMUM_REQUIRED(VERSION 3.13)\nPROJECT(demo C)\n"
                                            "ADD_LIBRARY(\n  demo STATIC\n  a.c b.c) # the library\n"
                                            "TARGET_COMPILE_DEFINITIONS(demo PRIVATE \"NAME=\\\"demo\\\"\")\n");
    writeFile(dir.file("a/cmake/warnings.cmake"), "set(FLAGS -Wall -Wextra)\n");
    writeFile(dir.file("b/cmake/warnings.cmake"), "set(FLAGS\n    -Wall-Wextra)\n");
    const RunResult r = runMatchling({"a", "b", "--tokens", "--exit-status"}, dir.path());
    EXPECT_EQ(r.out, "Matchling==> Not equivalent: cmake/warnings.cmake \n"
                     "Matchling==> Token mismatch at line 1, column 11 of a/cmake/warnings.cmake \n"
                     "Matchling==> Token from a/cmake/warnings.cmake '-Wall' \n"
                     "set(FLAGS -Wall -Wextra) \n"
                     "          ^ \n"
                     "Matchling==> Token mismatch at line 2, column 5 of b/cmake/warnings.cmake \n"
                     "Matchling==> Token from b/cmake/warnings.cmake '-Wall-Wextra' \n"
                     "    -Wall-Wextra) \n"
                     "    ^ \n"
                     "Matchling==> Pairs by language: cmake 2 \n"
                     "Matchling==> 2 pairs compared: 1 equivalent, 1 not equivalent, 0 failed, 0 only on one side \n" +
                         kNotEquivalent);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"a", "b"})) << "no temporary file is left";
}

} // namespace
