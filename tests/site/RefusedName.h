// A check shared by the tests of every site access variant: a name that climbs out of the
// site's root is refused by every operation, with the same reason, and a read leaves the buffer
// as it was.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "site/SiteAccess.h"

inline void ExpectEveryOperationRefuses(CSiteAccess& access, const std::string& name) {
    SCOPED_TRACE(name);
    const std::string message = "The name '" + name + "' leads outside the site's root";
    CTextBuffer buffer;
    buffer.Assign("mine");
    EXPECT_FALSE(access.ReadFile(name, buffer));
    EXPECT_EQ(access.LastError(), message);
    EXPECT_EQ(buffer.View(), "mine");
    EXPECT_FALSE(access.WriteFile(name, buffer));
    EXPECT_EQ(access.LastError(), message);
    EXPECT_FALSE(access.CreateDirectory(name));
    EXPECT_EQ(access.LastError(), message);
    EXPECT_FALSE(access.Exists(name));
    EXPECT_EQ(access.LastError(), message);
    EXPECT_FALSE(access.IsDirectory(name));
    EXPECT_EQ(access.LastError(), message);
    EXPECT_FALSE(access.IsReadOnly(name));
    EXPECT_EQ(access.LastError(), message);
    EXPECT_EQ(access.GetFileSize(name), -1);
    EXPECT_EQ(access.LastError(), message);
}
