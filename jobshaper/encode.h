// Conversion of job titles and printer descriptions between the encodings that the
// queue's locale implies and those the printer or banner program expects.
#pragma once

#include <string>

// Longest converted text, in bytes.
inline constexpr size_t ENCODE_LIMIT = 512;

// Converts `text` in place for the queue's `locale` (nullptr: no locale), for a
// banner page (`is_banner` 1) or a job (0), with the queue's UTF-8 code set flag.
// Never fails: on any problem the text stays as it was.
void Encodeit(std::string& text, const char* locale, int is_banner, int codeset_flag);
