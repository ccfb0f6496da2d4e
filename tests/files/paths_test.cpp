// Absolute, normalised paths.
#include "Paths.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace xavo {
namespace {

TEST(AbsolutePath, NormalisesWithoutResolvingLinks) {
    EXPECT_EQ(AbsolutePath("/a/./b//c/"), "/a/b/c");
    EXPECT_EQ(AbsolutePath("/a/b/../c"), "/a/c");
    EXPECT_EQ(AbsolutePath("/../.."), "/");
    EXPECT_EQ(AbsolutePath("/"), "/");
    EXPECT_EQ(AbsolutePath("/a b/c:d 12:x"), "/a b/c:d 12:x");
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    const std::string here = cwd;
    EXPECT_EQ(AbsolutePath("x.txt"), (here == "/" ? "" : here) + "/x.txt");
    EXPECT_EQ(AbsolutePath("."), here);
    EXPECT_EQ(AbsolutePath(""), here);
}

}  // namespace
}  // namespace xavo
