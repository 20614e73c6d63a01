// Number reading shared by the log readers, over texts that need not be NUL-terminated. Pure
// functions; any thread.
#pragma once

#include <cstdint>
#include <string_view>

// The value of the leading decimal number of text as atoi reads it: leading white space, an
// optional sign, then digits; 0 when there are none. Values beyond 32 bits saturate.
int32_t LeadingNumber(std::string_view text);

// Reads "%d<sep>%d<sep>%d" as sscanf does (each number after optional white space and sign; the
// separators exactly) and returns how many numbers were read, 0 to 3.
int ScanNumbers(std::string_view text, char sep, int32_t* a, int32_t* b, int32_t* c);
