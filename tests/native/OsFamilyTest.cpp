#include "asio_driver/OsFamily.h"

#include <gtest/gtest.h>

namespace {

struct VersionCase {
    unsigned platform, major, minor;
    int family;
};

TEST(OsFamily, ClassifiesEveryKnownVersionAndRejectsTheRest)
{
    const VersionCase cases[] = {
        {0, 3, 10, rk50::kOsFamilyWin32s},
        {0, 9, 99, rk50::kOsFamilyWin32s},
        {1, 4, 0, rk50::kOsFamily95},
        {1, 4, 10, rk50::kOsFamily98},
        {1, 4, 90, rk50::kOsFamilyMe},
        {1, 4, 3, rk50::kOsFamilyUnclassified},
        {1, 5, 0, rk50::kOsFamilyUnclassified},
        {2, 3, 51, rk50::kOsFamilyNt4},
        {2, 4, 0, rk50::kOsFamilyNt4},
        {2, 5, 0, rk50::kOsFamily2000},
        {2, 5, 1, rk50::kOsFamilyXp},
        {2, 5, 2, rk50::kOsFamily2003},
        {2, 5, 3, rk50::kOsFamilyUnclassified},
        {2, 6, 0, rk50::kOsFamilyNt6},
        {2, 6, 1, rk50::kOsFamilyNt6},
        {2, 6, 3, rk50::kOsFamilyNt6},
        {2, 10, 0, rk50::kOsFamilyUnclassified},
        {3, 6, 1, rk50::kOsFamilyUnclassified},
    };
    for (const VersionCase& c : cases) {
        EXPECT_EQ(rk50::classifyOsFamily(c.platform, c.major, c.minor), c.family)
            << "platform " << c.platform << " version " << c.major << "." << c.minor;
    }
}

TEST(OsFamily, OnlyNt6GetsTheLargerAutomaticBuffers)
{
    EXPECT_EQ(rk50::autoSizeDivisorFor(rk50::kOsFamilyNt6), 20);
    EXPECT_EQ(rk50::autoSizeDivisorFor(rk50::kOsFamilyXp), 40);
    EXPECT_EQ(rk50::autoSizeDivisorFor(rk50::kOsFamily95), 40);
}

}  // namespace
