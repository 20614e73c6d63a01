// Reads a ZIP archive back for the backup and run tests: every entry's name and contents, each
// entry checked to be deflated.
#pragma once

#include <gtest/gtest.h>
#include <zip.h>

#include <map>
#include <string>

// Entry name -> contents; empty when the archive cannot be opened.
inline std::map<std::string, std::string> ReadArchive(const std::string& path) {
    std::map<std::string, std::string> out;
    int error = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_RDONLY, &error);
    if (z == nullptr)
        return out;
    zip_int64_t n = zip_get_num_entries(z, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        zip_stat_t st;
        zip_stat_index(z, static_cast<zip_uint64_t>(i), 0, &st);
        std::string data(st.size, '\0');
        zip_file_t* f = zip_fopen_index(z, static_cast<zip_uint64_t>(i), 0);
        zip_fread(f, data.data(), st.size);
        zip_fclose(f);
        EXPECT_EQ(st.comp_method, ZIP_CM_DEFLATE) << st.name;
        out[st.name] = data;
    }
    zip_close(z);
    return out;
}
