#include <gtest/gtest.h>

#include "setup/setup.h"

TEST(Smoke, GlobalsStartAsDocumented) {
    EXPECT_STREQ(pBinaryInstanceCheckList, ",qpadmin,qpqadmin,qprint,qprqpxxtty,QPQ,QPRM,qsf,");
    EXPECT_STREQ(pPathToInstallf, "/usr/sbin/installf");
    EXPECT_EQ(pCurrentInstallDir, nullptr);
}
