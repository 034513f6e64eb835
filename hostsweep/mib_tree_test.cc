// Tests of the compiled MIB loader and the name conversion: the suite's compiled
// file, conversion failures, cut and corrupt files, and a hand-built file.
#include "hostsweep/mib_tree.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/program.h"

namespace {

// The suite's compiled MIB, as the build produced it.
const MibTree& suite_mib() {
  static const MibTree tree = [] {
    MibTree t;
    std::string err;
    EXPECT_EQ(t.load_file(HSWEEP_CMIB_PATH, &err), MibLoadStatus::LOADED) << err;
    return t;
  }();
  return tree;
}

// Numbers from dotted text: "1.3.6" gives {1, 3, 6}.
std::vector<oid> numbers(const char* dotted) {
  std::vector<oid> result;
  char* end = nullptr;
  for (const char* p = dotted; *p; p = *end ? end + 1 : end) {
    result.push_back(std::strtoul(p, &end, 10));
  }
  return result;
}

// The bytes of a literal, zero bytes included.
template <size_t N>
std::string bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

TEST(MibTreeTest, ConvertsNames) {
  struct Case {
    const char* prefix_value;  // PREFIX, or null when unset
    std::string name;
    const char* expected;
    MibSyntax syntax;
  };
  const std::string enterprises = ".iso.org.dod.internet.private.enterprises";
  const std::string adapter = enterprises + ".corvane.adapter";
  const std::vector<Case> cases = {
      {nullptr, ".iso.org.dod.internet.mgmt.mib-2.system.sysDescr.0", "1.3.6.1.2.1.1.1.0",
       MibSyntax::OCTET_STRING},
      {nullptr, adapter + ".corvhdwr.corvhdwrNumPorts.0", "1.3.6.1.4.1.40599.1.1.1.0",
       MibSyntax::INTEGER},
      {nullptr, adapter + ".opsys.15.0", "1.3.6.1.4.1.40599.1.2.15.0", MibSyntax::OCTET_STRING},
      {nullptr, adapter + ".opsys.14.0", "1.3.6.1.4.1.40599.1.2.14.0", MibSyntax::OCTET_STRING},
      {nullptr, adapter + ".opsys.opsysCardEC.0", "1.3.6.1.4.1.40599.1.2.3.0",
       MibSyntax::OCTET_STRING},
      {nullptr,
       enterprises + ".corvane.printer.prtcore.prtcoreInfoTable.prtcoreInfoEntry." +
           "prtcorePrinterName.1",
       "1.3.6.1.4.1.40599.2.1.1.1.2.1", MibSyntax::OCTET_STRING},
      {nullptr, enterprises + ".674.10898.100.2.1.2.1.2.1", "1.3.6.1.4.1.674.10898.100.2.1.2.1.2.1",
       MibSyntax::NONE},
      {nullptr, ".1.3.6.1.4.1.40599.4294967295", "1.3.6.1.4.1.40599.4294967295", MibSyntax::NONE},
      {nullptr, "system.sysUpTime.0", "1.3.6.1.2.1.1.3.0", MibSyntax::TIME_TICKS},
      {".1.3.6.1.4.1", "corvane.2", "1.3.6.1.4.1.40599.2", MibSyntax::NONE},
      {"1.3.6.1.2.1.", "system.sysObjectID", "1.3.6.1.2.1.1.2", MibSyntax::OBJECT_IDENTIFIER},
  };
  const MibTree& mib = suite_mib();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<oid> got;
    std::string err;
    ASSERT_TRUE(mib.name_to_oid(c.name, name_prefix(c.prefix_value), &got, &err)) << err;
    EXPECT_EQ(got, numbers(c.expected));
    EXPECT_EQ(mib.syntax_of(got), c.syntax);
    std::vector<oid> again;  // the symbolic text converts back to the same numbers
    ASSERT_TRUE(mib.name_to_oid(mib.oid_to_name(got), "", &again, &err)) << err;
    EXPECT_EQ(again, got);
  }
  EXPECT_EQ(mib.oid_to_name(numbers("1.3.6.1.4.1.40599.1.2.15.0")),
            adapter + ".opsys.opsysCardModel.0");
  EXPECT_EQ(mib.oid_to_name(numbers("1.3.6.1.4.1.674.1")), enterprises + ".674.1");
  EXPECT_EQ(name_prefix(nullptr), ".1.3.6.1.2.1.");
  EXPECT_EQ(name_prefix(".1.3"), ".1.3.");
  EXPECT_EQ(name_prefix(""), ".");
}

TEST(MibTreeTest, ConversionFailures) {
  std::string longest;
  for (size_t i = 0; i < MIB_MAX_OID_LENGTH; ++i) longest += ".1";
  std::vector<oid> got;
  std::string err;
  ASSERT_TRUE(suite_mib().name_to_oid(longest, "", &got, &err)) << err;
  struct Case {
    std::string name;
    std::string err;
  };
  const std::vector<Case> cases = {
      {".iso.org.nosuch.1", "sub-identifier not found: nosuch\n"},
      {".iso.org.dod.internet.private.enterprises.674.corvane",
       "sub-identifier not found: corvane\n"},
      {".iso..org", "sub-identifier not found: \n"},
      {".1.3.", "sub-identifier not found: \n"},
      {".1.3.-1", "sub-identifier not found: -1\n"},
      {".1.3.4294967296", "sub-identifier too large: 4294967296\n"},
      {".1.99999999999999999999999", "sub-identifier too large: 99999999999999999999999\n"},
      {longest + ".1", "object identifier too long\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    got = {7};
    EXPECT_FALSE(suite_mib().name_to_oid(c.name, MIB_DEFAULT_PREFIX, &got, &err));
    EXPECT_EQ(err, c.err);
    EXPECT_EQ(got, std::vector<oid>{7});
  }
  EXPECT_FALSE(MibTree().name_to_oid(".1", "", &got, &err));
  EXPECT_EQ(err, "Mib not initialized.  Exiting.\n");
}

MibNode node(const char* label, uint32_t subid, std::vector<MibNode> children = {},
             MibSyntax syntax = MibSyntax::NONE) {
  return MibNode{label, subid, syntax, "", {}, std::move(children)};
}

// `levels` nodes below the root, each the only child of the one before.
MibNode chain(int levels) {
  MibNode n = node("leaf", 9);
  for (int i = 1; i < levels; ++i) n = node("n", 1, {std::move(n)});
  return node("", 0, {std::move(n)});
}

TEST(MibTreeTest, HandBuiltFileRoundTrips) {
  // The header's examples, byte by byte.
  std::string iso = bytes("\1\0\0iso") + std::string(61, '\0') + bytes("\0\0\0\1\0\0\0\0\0");
  std::string org = bytes("\0\0\0org") + std::string(61, '\0') + bytes("\0\0\0\3\0\0\0\0\0");
  EXPECT_EQ(encode_mib(node("", 0, {node("iso", 1, {node("org", 3)})})), iso + org);
  MibNode status = node("prtStatus", 4, {}, MibSyntax::INTEGER);
  status.enums = {{1, "up"}, {-2, "down"}};
  status.description = "The printer's state.";
  EXPECT_EQ(encode_mib(node("", 0, {status})).substr(71),
            bytes("\0\3\0\24The printer's state.\1\1\0\1\0\2up\0\xff\xfe\0\4down"));

  MibNode cut = node("", 7, {}, MibSyntax::BIT_STRING);
  cut.label = std::string(70, 'x');
  cut.description = std::string(70000, 'd');
  MibNode tree = node("", 0,
                      {node("iso", 1, {node("org", 3, {status, node("", 2)}), cut}),
                       node("joint", 4294967295u, {}, MibSyntax::UINTEGER32)});
  MibTree mib;
  std::string err;
  ASSERT_EQ(mib.load_bytes(encode_mib(tree), &err), MibLoadStatus::LOADED) << err;
  tree.children[0].children[1].label.resize(63);
  tree.children[0].children[1].description.resize(65535);
  EXPECT_EQ(mib.root(), tree);

  std::string odd = encode_mib(node("", 0, {node("iso", 1, {}, MibSyntax::INTEGER)}));
  odd[72] = 99;  // a syntax outside the list means none
  ASSERT_EQ(mib.load_bytes(odd, &err), MibLoadStatus::LOADED);
  EXPECT_EQ(mib.root().children[0].syntax, MibSyntax::NONE);
  // As deep as an object identifier reaches, and no deeper.
  EXPECT_EQ(mib.load_bytes(encode_mib(chain(MIB_MAX_DEPTH)), &err), MibLoadStatus::LOADED);
  EXPECT_EQ(mib.load_bytes(encode_mib(chain(MIB_MAX_DEPTH + 1)), &err), MibLoadStatus::CORRUPT);
}

TEST(MibTreeTest, LoadFailures) {
  TempTree dir;
  std::string good = encode_mib(node("", 0, {node("iso", 1, {node("org", 3)})}));
  std::string unterminated = good;
  unterminated.replace(3, 64, std::string(64, 'x'));
  std::string short_enum = encode_mib(node("", 0, {node("iso", 1)}));
  short_enum.back() = 1;
  short_enum += bytes("\0\0\1\0\7abc");
  const std::string corrupt = "Malloc1 Failed\n";
  struct Case {
    std::string path;
    MibLoadStatus status;
    std::string err;
  };
  const std::vector<Case> cases = {
      {dir.path("none"), MibLoadStatus::NOT_FOUND, "Couldn't find " + dir.path("none") + " file\n"},
      {dir.root(), MibLoadStatus::NOT_FOUND, "Couldn't find " + dir.root() + " file\n"},
      {dir.write("empty", ""), MibLoadStatus::CORRUPT, corrupt},
      {dir.write("trailing", good + "x"), MibLoadStatus::CORRUPT, corrupt},
      {dir.write("unterminated", unterminated), MibLoadStatus::CORRUPT, corrupt},
      {dir.write("short_enum", short_enum), MibLoadStatus::CORRUPT, corrupt},
  };
  MibTree mib;
  std::string err;
  ASSERT_EQ(mib.load_bytes(good, &err), MibLoadStatus::LOADED);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(mib.load_file(c.path, &err), c.status);
    EXPECT_EQ(err, c.err);
    EXPECT_EQ(mib.root(), node("", 0, {node("iso", 1, {node("org", 3)})}));  // kept
  }
  // load_mib reads the file below QUINTARO_ROOT.
  setenv("QUINTARO_ROOT", dir.root().c_str(), 1);
  EXPECT_EQ(load_mib(&mib, &err), MibLoadStatus::NOT_FOUND);
  EXPECT_EQ(err, "Couldn't find " + dir.path("usr/quintaro/etc/hsweep.cmib") + " file\n");
  dir.write("usr/quintaro/etc/hsweep.cmib", read_file(HSWEEP_CMIB_PATH));
  EXPECT_EQ(load_mib(&mib, &err), MibLoadStatus::LOADED) << err;
  unsetenv("QUINTARO_ROOT");
}

TEST(MibTreeTest, RefusesTheFileCutAtEveryLength) {
  std::string file = read_file(HSWEEP_CMIB_PATH);
  ASSERT_GT(file.size(), 1000u);
  MibTree mib;
  std::string err;
  for (size_t length = 0; length < file.size(); ++length) {
    // A buffer of exactly the cut length, so that the sanitizer sees a read past it.
    std::unique_ptr<char[]> cut(new char[length]);
    std::copy_n(file.data(), length, cut.get());
    ASSERT_EQ(mib.load_bytes(std::string_view(cut.get(), length), &err), MibLoadStatus::CORRUPT)
        << length;
    ASSERT_EQ(err, "Malloc1 Failed\n");
  }
  EXPECT_FALSE(mib.loaded());
}

}  // namespace
