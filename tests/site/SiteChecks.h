// What the tests of the site access variants share: bytes a text-mode transfer would change, and
// the check that a name climbing out of the site's root is refused by every operation.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "site/SiteAccess.h"

// Every byte value, line ends of both kinds and a NUL.
inline std::string BinaryBytes() {
    std::string bytes("line\r\nline\nline\r\0end", 20);
    for (int i = 0; i < 256; ++i)
        bytes.push_back(static_cast<char>(i));
    return bytes;
}

// Every operation refuses the name with the same reason; a read leaves the buffer as it was.
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
