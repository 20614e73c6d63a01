// Decodes arbitrary bytes as an instruction file. Besides not crashing, checks that a file that
// decodes writes back to the same bytes from its lines (and key), in its own form.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "site/TextBuffer.h"
#include "synthesis/InstructionDecoder.h"
#include "synthesis/InstructionWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DecodedInstructions decoded;
    if (!DecodeInstructions(data, size, decoded)) {
        return 0;
    }
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string again;
    if (decoded.scrambled) {
        again = {'{',
                 '{',
                 static_cast<char>(decoded.key[0]),
                 static_cast<char>(decoded.key[1]),
                 static_cast<char>(decoded.key[2]),
                 static_cast<char>(decoded.key[3])};
        std::size_t position = 0;
        for (const std::string& line : decoded.lines) {
            for (char c : line + ";") {
                again.push_back(static_cast<char>(c ^ decoded.key[position++ % 4]));
            }
        }
    } else {
        CTextBuffer buffer;
        CInstructionWriter writer(buffer, true);
        for (const std::string& line : decoded.lines) {
            if (line.find('\n') != std::string::npos) {
                std::abort();
            }
            writer.WriteLine(line);
        }
        again = buffer.ToString();
    }
    if (again != input) {
        std::abort();
    }
    return 0;
}
