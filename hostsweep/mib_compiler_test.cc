// Tests of the MIB compiler through the built hostsweep_mibc: what it keeps of the
// parser's tree, that it reads nothing but the directories it is given, and its
// failure messages. Each run is its own process, as Net-SNMP's parser is.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hostsweep/mib_tree.h"
#include "tests/support/program.h"

namespace {

const char kTestMib[] = R"(TEST-MIB DEFINITIONS ::= BEGIN
IMPORTS enterprises FROM QUINTARO-SMI;

tst OBJECT IDENTIFIER ::= { enterprises 99 }
tstState OBJECT-TYPE SYNTAX INTEGER { idle(3), busy(4), huge(70000), low(-1) }
    ACCESS read-only STATUS mandatory DESCRIPTION "What the device does." ::= { tst 2 }
tstAddress OBJECT-TYPE
    SYNTAX IpAddress ACCESS read-only STATUS mandatory ::= { tst 1 }
tstCount OBJECT-TYPE
    SYNTAX Integer32 ACCESS read-only STATUS mandatory ::= { tst 4 }
tstFree OBJECT-TYPE
    SYNTAX Unsigned32 ACCESS read-only STATUS mandatory ::= { tst 3 }
END
)";

const char kOtherMib[] = R"(OTHER-MIB DEFINITIONS ::= BEGIN
IMPORTS enterprises FROM QUINTARO-SMI;
other OBJECT IDENTIFIER ::= { enterprises 98 }
END
)";

const char kBrokenMib[] = R"(BROKEN-MIB DEFINITIONS ::= BEGIN
IMPORTS enterprises FROM NOPE-MIB;
broken OBJECT IDENTIFIER ::= { enterprises 97 }
END
)";

class MibCompilerTest : public ::testing::Test {
 protected:
  MibCompilerTest() {
    tree_.write("mibs/TEST-MIB.txt", kTestMib);
    tree_.write("mibs/BROKEN-MIB.txt", kBrokenMib);
    // What the parser would read on its own, if it were let.
    tree_.write("system/OTHER-MIB.txt", kOtherMib);
    tree_.write("system/snmp.conf", "mibdirs +" + tree_.path("system") + "\nmibs +OTHER-MIB\n");
  }

  // Runs hostsweep_mibc in an environment that points the parser at other MIB text.
  RunResult run(const std::vector<std::string>& args) {
    std::string system = tree_.path("system");
    return run_program(HOSTSWEEP_MIBC_PATH, args,
                       {.env = {"MIBDIRS=" + system, "MIBS=ALL", "SNMPCONFPATH=" + system,
                                "HOME=" + tree_.root()}});
  }

  std::string output() const { return tree_.path("out.cmib"); }
  std::string mibs() const { return tree_.path("mibs"); }

  TempTree tree_;
};

// Each node below `node` as "label(number)syntax", in order.
std::string summary(const MibNode& node) {
  std::string text;
  for (const MibNode& c : node.children) {
    text += c.label + "(" + std::to_string(c.subid) + ")" +
            std::to_string(static_cast<int>(c.syntax)) + " " + summary(c);
  }
  return text;
}

TEST_F(MibCompilerTest, KeepsTheParsersTree) {
  RunResult result =
      run({"-o", output(), "-I", HOSTSWEEP_MIB_DIR, "-I", mibs(), mibs() + "/TEST-MIB.txt"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err,
            "hostsweep_mibc: warning: enumeration huge(70000) of tstState does not fit in 16 "
            "bits; left out\n");
  EXPECT_EQ(result.out, "");
  MibTree mib;
  std::string err;
  ASSERT_EQ(mib.load_file(output(), &err), MibLoadStatus::LOADED) << err;
  // Nothing of OTHER-MIB, nothing outside iso.
  EXPECT_EQ(summary(mib.root()),
            "iso(1)0 org(3)0 dod(6)0 internet(1)0 mgmt(2)0 mib-2(1)0 private(4)0 enterprises(1)0 "
            "tst(99)0 tstAddress(1)5 tstState(2)3 tstFree(3)7 tstCount(4)3 ");
  const MibNode* state = mib.deepest_node(std::vector<oid>{1, 3, 6, 1, 4, 1, 99, 2});
  ASSERT_TRUE(state);
  EXPECT_EQ(state->description, "What the device does.");
  EXPECT_EQ(state->enums, (std::vector<MibEnum>{{3, "idle"}, {4, "busy"}, {-1, "low"}}));
}

TEST_F(MibCompilerTest, Failures) {
  const std::string usage = "; usage: hostsweep_mibc -o OUT [-I DIR]... MODULE...\n";
  const std::string dir = HOSTSWEEP_MIB_DIR;
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string err;
  };
  const std::vector<Case> cases = {
      {"no output", {"-I", dir, "CORVANE-MIB"}, "hostsweep_mibc: no output file" + usage},
      {"no module", {"-o", output()}, "hostsweep_mibc: no module" + usage},
      {"unknown option", {"-x"}, "hostsweep_mibc: unknown option -x" + usage},
      {"missing argument", {"-o"}, "hostsweep_mibc: option -o needs an argument" + usage},
      {"directory",
       {"-o", output(), "-I", tree_.path("none"), "CORVANE-MIB"},
       "hostsweep_mibc: cannot read MIB directory " + tree_.path("none") + "\n"},
      {"module not in the directories",
       {"-o", output(), "-I", dir, "OTHER-MIB"},
       "hostsweep_mibc: module OTHER-MIB not found in the MIB directories\n"},
      {"parser error",
       {"-o", output(), "-I", mibs(), "BROKEN-MIB"},
       "hostsweep_mibc: Cannot find module (NOPE-MIB): At line 2 in " + mibs() +
           "/BROKEN-MIB.txt\n"},
      {"file missing",
       {"-o", output(), "-I", dir, tree_.path("none.txt")},
       "hostsweep_mibc: " + tree_.path("none.txt") + ": No such file or directory\n"},
      {"output not writable",
       {"-o", tree_.path("none/out.cmib"), "-I", dir, "CORVANE-MIB"},
       "hostsweep_mibc: cannot write " + tree_.path("none/out.cmib") +
           ": No such file or directory\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RunResult result = run(c.args);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, c.err);
    EXPECT_FALSE(tree_.exists("out.cmib"));
  }
}

}  // namespace
