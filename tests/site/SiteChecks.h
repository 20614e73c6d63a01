// The contract every site access variant keeps (local disk, FTP, SFTP, HTTP), checked against
// the files on disk beneath it: one set of checks, run against each variant.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "site/SiteAccess.h"
#include "support/CannedServer.h"
#include "support/ServerProcess.h"
#include "support/TempDir.h"

// Every byte value, line ends of both kinds and a NUL.
inline std::string BinaryBytes() {
    std::string bytes("line\r\nline\nline\r\0end", 20);
    for (int i = 0; i < 256; ++i)
        bytes.push_back(static_cast<char>(i));
    return bytes;
}

// Every operation refuses the name with message; a read leaves the buffer as it was.
inline void ExpectEveryOperationRefuses(CSiteAccess& access, const std::string& name,
                                        std::string message = {}) {
    SCOPED_TRACE(name);
    if (message.empty()) {
        message = "The name '" + name + "' leads outside the site's root";
    }
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

// Writes create and replace the file at root + name byte for byte (large ones, past 1 MiB, in
// many blocks; an empty buffer empties it), reads append exactly what is on disk, sizes count its
// bytes.
inline void ExpectReadsAndWrites(CSiteAccess& access, const std::string& root,
                                 const std::string& name) {
    std::string large;
    while (large.size() < 3 * 1024 * 1024)
        large += BinaryBytes();
    for (const std::string& contents : {large, std::string("replaced"), std::string()}) {
        CTextBuffer buffer;
        buffer.Assign(contents);
        ASSERT_TRUE(access.WriteFile(name, buffer)) << access.LastError();
        EXPECT_EQ(ReadWholeFile(root + name), contents);
        buffer.Assign("before:");
        ASSERT_TRUE(access.ReadFile(name, buffer)) << access.LastError();
        EXPECT_EQ(buffer.View(), "before:" + contents);
        EXPECT_EQ(access.GetFileSize(name), static_cast<int32_t>(contents.size()));
    }
    EXPECT_TRUE(access.Exists(name));
}

// The site the file checks below ask about, made under root on disk.
inline void MakeSite(const std::string& root) {
    ASSERT_TRUE(CTempDir::WriteFileAt(root, "index.html", "<html>home</html>"));
    ASSERT_TRUE(CTempDir::WriteFileAt(root, "empty.html", ""));
    ASSERT_TRUE(CTempDir::WriteFileAt(root, "readonly.html", "fixed"));
    ASSERT_EQ(chmod((root + "/readonly.html").c_str(), 0444), 0);
    ASSERT_TRUE(CTempDir::MakeDirAt(root, "sub"));
}

// What an access with files and directories (local disk, FTP, SFTP) does on MakeSite's site.
// For "/missing.html": sizeError, the message of its size; readError, that of a read.
inline void ExpectFileSite(CSiteAccess& access, const std::string& root,
                           const std::string& sizeError, const std::string& readError) {
    // Blanks, "%", "?", "#" and ";" are a file name's own bytes, not URL syntax.
    ExpectReadsAndWrites(access, root, "/sub/100%25 sure? #1;type=a.html");
    const struct {
        const char* name;
        int32_t size;
        bool exists, directory, readOnly;
    } entries[] = {
        {"/index.html", 17, true, false, false},    {"/empty.html", 0, true, false, false},
        {"/readonly.html", 5, true, false, true},   {"/sub", -1, true, true, false},
        {"/missing.html", -1, false, false, false}, {"/nodir/x.html", -1, false, false, false},
    };
    for (const auto& e : entries) {
        EXPECT_EQ(access.GetFileSize(e.name), e.size) << e.name << access.LastError();
        EXPECT_EQ(access.Exists(e.name), e.exists) << e.name << access.LastError();
        EXPECT_EQ(access.IsDirectory(e.name), e.directory) << e.name;
        EXPECT_EQ(access.IsReadOnly(e.name), e.readOnly) << e.name;
    }
    EXPECT_EQ(access.GetFileSize("/missing.html"), -1);
    EXPECT_EQ(access.LastError(), sizeError);
    // Failed reads leave the buffer as it was.
    CTextBuffer buffer;
    buffer.Assign("kept");
    EXPECT_FALSE(access.ReadFile("/missing.html", buffer));
    EXPECT_EQ(access.LastError(), readError);
    EXPECT_FALSE(access.ReadFile("/sub", buffer));
    EXPECT_EQ(buffer.View(), "kept");
    EXPECT_FALSE(access.WriteFile("/nodir/x.html", buffer));
    EXPECT_TRUE(access.CreateDirectory("/agent \"dir\"/")) << access.LastError();
    EXPECT_TRUE(std::filesystem::is_directory(root + "/agent \"dir\""));
    // Last: libcurl gives up an FTP connection whose command failed. Parents are not made.
    EXPECT_FALSE(access.CreateDirectory("/a/b"));
    EXPECT_FALSE(std::filesystem::exists(root + "/a"));
}

// A port where nothing listens, a host the resolver refuses without asking the network (a label
// longer than 63 characters) and a server that never answers: reads fail and keep the buffer,
// sizes are 0, in bounded time. make(address) gives the access; kind: "FTP" or "HTTP".
template <class Make>
void ExpectUnreachableServersFail(const std::string& kind, Make make) {
    CCannedServer silent;
    ASSERT_TRUE(silent.Start("", true));
    for (const std::string& address :
         {"127.0.0.1:" + std::to_string(FreeLoopbackPort()), std::string(64, 'a') + ".invalid",
          "127.0.0.1:" + std::to_string(silent.Port())}) {
        auto access = make(address);
        access->SetTimeouts(2, 2);
        CTextBuffer buffer;
        buffer.Assign("kept");
        EXPECT_FALSE(access->ReadFile("/index.html", buffer));
        EXPECT_EQ(buffer.View(), "kept");
        EXPECT_EQ(access->LastError().rfind(kind + " server '" + address + "': ", 0), 0u)
            << access->LastError();
        EXPECT_EQ(access->GetFileSize("/index.html"), 0);
    }
}
