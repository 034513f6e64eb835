// Test support: stand-ins for what the transport agent delivers to, installed in a
// temporary tree (QUINTARO_ROOT): a mail program that records each mail, and login
// records naming users' terminals.
#pragma once

#include <string>
#include <utility>
#include <vector>

// A mail program (a shell script) that appends each mail's arguments, one per line
// followed by "--", to mail.args beside it, and the mail itself to mail.input.
extern const char* const kMailRecorderScript;

// Writes kMailRecorderScript as ROOT/usr/lib/sendmail, executable.
void install_mail_recorder(const std::string& root);

// Login records (the platform's utmp layout) of (user, terminal line) pairs, all of
// them user processes.
std::string login_records(const std::vector<std::pair<std::string, std::string>>& records);
