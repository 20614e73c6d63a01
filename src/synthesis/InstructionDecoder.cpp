#include "synthesis/InstructionDecoder.h"

#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "base/LastMessage.h"
#include "res/StringTable.h"

bool DecodeInstructions(const void* data, std::size_t size, DecodedInstructions& out) {
    out = DecodedInstructions();
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::size_t pos = 0;
    char end = '\n';
    if (size >= 2 && bytes[0] == '{' && bytes[1] == '{') {
        out.scrambled = true;
        end = ';';
        if (size < 6) {
            SetLastMessage(IDS_INSTRUCTIONS_HEADER_CUT);
            return false;
        }
        for (int i = 0; i < 4; ++i) {
            out.key[i] = bytes[2 + i];
        }
        pos = 6;
    }
    std::string line;
    int keyPosition = 0;
    for (; pos < size; ++pos) {
        char c = static_cast<char>(bytes[pos]);
        if (out.scrambled) {
            c = static_cast<char>(bytes[pos] ^ out.key[keyPosition]);
            keyPosition = (keyPosition + 1) % 4;
        }
        if (c == end) {
            out.lines.push_back(std::move(line));
            line.clear();
        } else {
            line.push_back(c);
        }
    }
    if (!line.empty()) {
        SetLastMessage(IDS_INSTRUCTIONS_LINE_CUT);
        return false;
    }
    return true;
}

bool ReadInstructionFile(const std::string& path, DecodedInstructions& out) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        out = DecodedInstructions();
        SetLastMessage(IDS_DECODE_NOT_FILE, path.c_str());
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    std::string bytes;
    if (in) {
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (!in && !in.eof()) {
        out = DecodedInstructions();
        SetLastMessage(IDS_COULD_NOT_READ_FILE, path.c_str());
        return false;
    }
    return DecodeInstructions(bytes.data(), bytes.size(), out);
}
