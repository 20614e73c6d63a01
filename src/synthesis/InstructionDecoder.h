// Reads an instruction file (index.qvf or a fetch file) back into its lines, in either form: a
// file that begins with "{{" is scrambled (four key bytes follow, then the XORed lines, each
// ended by ";"); any other file is text, each line ended by LF. Pure functions; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct DecodedInstructions {
    bool scrambled = false;
    uint8_t key[4] = {0, 0, 0, 0};  // the scrambled form's key
    // The lines without their ends, as written (a line end inside a name stays percent-encoded).
    std::vector<std::string> lines;
};

// Decodes size bytes at data (borrowed for the call) into out (replacing its contents). False
// when the file ends inside its header or inside a line (its last line has no end), with the
// last message set; out then holds the complete lines before that point.
bool DecodeInstructions(const void* data, std::size_t size, DecodedInstructions& out);

// Reads the local file at path and decodes it. False when it cannot be read ("Could not read
// file %s") or is not well formed.
bool ReadInstructionFile(const std::string& path, DecodedInstructions& out);
