// Tests of the rendering of SNMP values: every type, exact texts.
#include "hostsweep/snmp_value.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The bytes Net-SNMP's setter takes for a value of a fixed-size type.
template <typename T>
std::string raw(const T& value) {
  return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

std::string raw_oid(const std::vector<oid>& numbers) {
  return std::string(reinterpret_cast<const char*>(numbers.data()), numbers.size() * sizeof(oid));
}

TEST(SnmpValueTest, RendersEachType) {
  struct Case {
    u_char type;
    std::string value;  // as handed to snmp_set_var_typed_value
    std::string rendered;
    std::string as_text;
  };
  std::string seventeen;
  for (int i = 0; i < 17; ++i) seventeen += static_cast<char>(0x80 + i);
  std::string long_text(300, 'a');
  long_text[200] = '\n';
  const std::vector<Case> cases = {
      {ASN_OCTET_STR, "", "\"\"", ""},
      {ASN_OCTET_STR, "ab c", "\"ab c\" Hex: 61 62 20 63 ", "ab c"},
      {ASN_OCTET_STR, "Ready", "\"Ready\"", "Ready"},
      {ASN_OCTET_STR, "a\tb\r\n", "\"a\tb\r\n\"", "a\tb\r\n"},
      {ASN_OCTET_STR, "\x01\xab", " Hex: 01 AB ", "\x01\xab"},
      {ASN_OCTET_STR, std::string("ok\0x", 4), " Hex: 6F 6B 00 78 ", "ok"},
      {ASN_OCTET_STR, seventeen, " Hex: 80 81 82 83 84 85 86 87 88 89 8A 8B 8C 8D 8E 8F\n90 ",
       seventeen},
      {ASN_OCTET_STR, long_text, "\"" + long_text + "\"", long_text.substr(0, 256)},
      {ASN_INTEGER, raw(long{-42}), "-42", "-42"},
      {ASN_COUNTER, raw(long{4294967295}), "4294967295", "4294967295"},
      {ASN_GAUGE, raw(long{7}), "7", "7"},
      {ASN_TIMETICKS, raw(long{123456}), "123456", "123456"},
      {ASN_OBJECT_ID, raw_oid({1, 3, 6, 1, 4, 1, 40599}), ".1.3.6.1.4.1.40599", ""},
      {ASN_IPADDRESS, "\x0a\x01\xff\x02", "10.1.255.2", ""},
      {ASN_NULL, "", "", ""},
      {ASN_OPAQUE, "\x9f\x78", " Hex: 9F 78 ", ""},
      {ASN_COUNTER64, raw(counter64{0x1020304, 0xa0b0c0d}), " Hex: 01 02 03 04 0A 0B 0C 0D ", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rendered);
    netsnmp_variable_list var = {};
    ASSERT_EQ(snmp_set_var_typed_value(&var, c.type, c.value.data(), c.value.size()), 0);
    EXPECT_EQ(render_value(var), c.rendered);
    EXPECT_EQ(value_text(var), c.as_text);
    snmp_free_var_internals(&var);
  }
  // Offset 10 of a string that is not printable: the low digit of its second byte.
  EXPECT_EQ(cases[4].rendered[10], 'B');
}

}  // namespace
