// Rendering of the values that discovery's SNMP requests bring back: one
// variable's value as the text of listings and debug dumps, and as plain text for
// the fields that discovery fills from it.
#pragma once

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cstddef>
#include <string>

// The longest text value_text gives.
inline constexpr size_t VALUE_TEXT_MAX = 256;

// `var`'s value (its type, val and val_len) as text:
// - OCTET STRING: "" (two double quotes) when empty; when every byte is printable
//   ASCII or white space, the bytes between double quotes, followed for a string
//   shorter than 5 bytes by the hex form; otherwise the hex form alone;
// - INTEGER: the signed decimal number; Counter, Gauge, TimeTicks: the unsigned
//   decimal number;
// - OBJECT IDENTIFIER: the numbers, each preceded by "." (".1.3.6.1.4.1"), so that
//   the text can be given back as an absolute name;
// - IpAddress: the dotted quad ("10.1.2.3"); one not 4 bytes long, the hex form;
// - NULL: "";
// - Counter64: the hex form of its 8 bytes, most significant first;
// - anything else: the hex form of the value's bytes.
// The hex form is " Hex: " and then each byte as two upper-case hex digits followed
// by a blank, except that every 16th byte is followed by a newline instead.
std::string render_value(const netsnmp_variable_list& var);

// `var`'s value as plain text: an OCTET STRING's bytes up to its length or its
// first zero byte, at most VALUE_TEXT_MAX of them; an INTEGER, Counter, Gauge or
// TimeTicks as in render_value; "" for every other type.
std::string value_text(const netsnmp_variable_list& var);
