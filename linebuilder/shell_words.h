// Job data written into a command line that the spooler's interface script runs
// through a shell: user, host and queue names and the job information arrive
// from the job's submitter and must reach the agent as plain text.
#pragma once

#include <string>
#include <string_view>

// `text` as shell text that stands for exactly itself: unchanged when it holds
// only letters, digits and "._@%+=:,/-" (the empty text included), else between
// single quotes, an embedded single quote written as '\''.
std::string shell_word(std::string_view text);

// `text` for use between double quotes: the characters that the shell still
// interprets there (backslash, double quote, dollar sign, backquote) get a
// backslash in front.
std::string double_quoted_text(std::string_view text);
