// Writes the structured seeds of the fuzz targets, made with the suite's own encoders
// (the PDD writer, the MIB encoder, the NPA simulator's reply builder), into the fuzz
// corpora of the source tree: FOLDER/fuzz/TARGET/gen-NAME. Run by hand after a change
// of a format (ninja -C build-fuzz fuzz_seeds); the files are committed.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "hostsweep/mib_tree.h"
#include "pdd/node.h"
#include "pdd/pdd_writer.h"
#include "pdd/read_nodes.h"
#include "tests/support/npa_simulator.h"

namespace {

using namespace std::string_literals;
using namespace pddfile;

std::string g_root;  // the source tree
bool g_failed = false;

void seed(const std::string& corpus, const std::string& name, const std::string& bytes) {
  std::error_code error;
  std::filesystem::create_directories(g_root + "/" + corpus, error);
  std::string path = g_root + "/" + corpus + "/gen-" + name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  out.close();
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    g_failed = true;
  }
}

std::string read_file(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", path);
    g_failed = true;
  }
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Zero-separated command-line pieces.
std::string command_line(const std::vector<std::string>& args) {
  std::string out;
  for (size_t i = 0; i < args.size(); ++i) out += (i ? "\0"s : ""s) + args[i];
  return out;
}

void pdd_seeds() {
  const std::string corpus = "pdd/fuzz/read_pdd_fuzz";
  seed(corpus, "sample.b", read_file(SAMPLE_PDD_PATH));
  StringRecord string{"Title",
                      "fax_no",
                      "Fax number",
                      "help",
                      "",
                      " ",
                      "#",
                      "+-",
                      "",
                      "$${fax_no}",
                      VALID_DIGITS | VALID_SPACE,
                      20};
  SclistRecord list{"Paper",
                    "pcl_paper_size",
                    "Paper size",
                    "",
                    1,
                    {{"A4", "A4 paper", "a4", "@PJL SET PAPER = A4${10}", ""},
                     {"Letter", "", "letter", "${27}&l2A", ""},
                     {"None", "", "off", "none", ""}}};
  NumberRecord number{
      "Copies", "pcl_copies", "Copies", "", "", "@PJL SET COPIES = $${pcl_copies}", "", 1, 0,
      1,        999,          0};
  NumberRecord byte_number{"Darkness", "pcl_dark", "", "", "",  "${27}*$${pcl_dark*2+1}",
                           "",         50,         1,  0,  999, 1};
  PddRecord stream{"pcl",
                   "${27}E",
                   "${27}E${27}&l1O",
                   "${27}%-12345X@PJL${10}",
                   "${27}%-12345X",
                   "s1",
                   "s2$${3/0}",
                   "s3",
                   1,
                   2,
                   3};
  DddRecord device{"sample_dev", "network 127.0.0.9"};
  MenuRecord menu{"Main", "main", "Choose", "", "", {"fax_no", "pcl_paper_size", "pcl_copies"}};
  PddWriter all;
  all.add(string).add(list).add(number).add(byte_number).add(stream).add(device).add(menu);
  seed(corpus, "all_kinds.b", all.bytes());
  seed(corpus, "menu_of_menus.b",
       PddWriter()
           .add(list)
           .add(menu)
           .add(MenuRecord{"Top", "top", "", "", "", {"main", "pcl_paper_size"}})
           .bytes());
  seed(corpus, "broken.b",
       PddWriter()
           .add(device)
           .raw_int(PDD_FILE_SCLIST)
           .raw_string_block({"l", "t"})
           .raw_int(0)
           .raw_int(1000000)
           .raw_int(PDD_FILE_STRING)
           .raw_int(12)
           .raw_int(-1)
           .raw_bytes("abc$$$")
           .bytes());
}

void mib_seeds() {
  MibNode root;
  MibNode iso{"iso", 1};
  MibNode org{"org", 3};
  MibNode dod{"dod", 6};
  MibNode internet{"internet", 1};
  MibNode mgmt{"mgmt", 2};
  MibNode mib2{"mib-2", 1};
  MibNode system{"system", 1};
  system.children.push_back({"sysDescr", 1, MibSyntax::OCTET_STRING, "A textual description."});
  system.children.push_back({"sysObjectID", 2, MibSyntax::OBJECT_IDENTIFIER});
  system.children.push_back({"sysUpTime", 3, MibSyntax::TIME_TICKS});
  MibNode priv{"private", 4};
  MibNode enterprises{"enterprises", 1};
  MibNode corvane{"corvane", 40599};
  corvane.children.push_back(
      {"prtStatus", 2, MibSyntax::INTEGER, "Status", {{1, "up"}, {2, "down"}, {-3, "odd"}}});
  enterprises.children.push_back(corvane);
  priv.children.push_back(enterprises);
  mib2.children.push_back(system);
  mgmt.children.push_back(mib2);
  internet.children = {mgmt, priv};
  dod.children.push_back(internet);
  org.children.push_back(dod);
  iso.children.push_back(org);
  root.children.push_back(iso);
  seed("hostsweep/fuzz/mib_tree_fuzz", "suite_like.cmib", encode_mib(root));
  MibNode two;
  two.children = {{"a", 1}, {"b", 2, MibSyntax::COUNTER, "", {{5, "five"}}}};
  seed("hostsweep/fuzz/mib_tree_fuzz", "siblings.cmib", encode_mib(two));
}

void npa_seeds() {
  const std::string corpus = "npa/fuzz/npa_transport_fuzz";
  // Operation 1 with a datagram: its length as 8h + l.
  auto datagram = [](const std::string& bytes) {
    return "\x01"s + static_cast<char>(bytes.size() / 8) + static_cast<char>(bytes.size() % 8) +
           bytes;
  };
  // Operation 0: a command with flags 1 and a reply wanted, subcommand 0xD7.
  std::string send = "\x00\x01\xD7\x01\x03"s + "\x00\x06\x15"s;
  std::string reply = npa_reply_datagram(1, 8, 0, 0x50, 0xD7, "\x00\x06\x15\x01\x00\x01"s);
  seed(corpus, "one_reply", send + datagram(reply));
  std::string first = npa_reply_datagram(1, 7, 0, 0x70, 0xD7, "\x00\x06\x0C\x00"s);
  std::string second = npa_reply_datagram(1, 8, 1, 0x50, 0xD7, "\x01\x00\x01\x00\x05"s);
  seed(corpus, "two_blocks", send + datagram(second) + datagram(first) + datagram(first));
  std::string follow = "\x00\x01\xD7\x05\x03"s + "\x00\x06\x15"s;
  seed(corpus, "follow_up_and_timeout", follow + datagram(reply) + "\x02\x06\x02\x20\x03\x04"s);
  std::string kept = "\x00\x81\xD7\x03\x00"s;
  seed(corpus, "kept_session",
       kept + datagram(npa_reply_datagram(0, 3, 0, 0x50, 0xD7, "x", 0)) +
           datagram(npa_reply_datagram(0, 3, 0, 0x50, 0xD7, "y", 0)));
  seed(corpus, "short_and_bad",
       send + datagram("\x00\x05\x00"s) +
           datagram(npa_reply_datagram(1, 0, 0, 0x50, 0xD7, "", 0x29, 0xE0, 40)) +
           "\x02\x1f\x02\x1f"s);
}

void probe_seeds() {
  const std::string corpus = "hostsweep/fuzz/probe_reply_fuzz";
  seed(corpus, "adapter_code", "\x00"s + "\x00\x06\x15\x01\x00\x82"s);
  seed(corpus, "port_types", "\x00"s + "\x00\x06\x0C\x00\x01\x00\x01\x00\x05\x00\xFF"s);
  auto entry = [](uint8_t v, uint8_t status, const std::string& value) {
    return std::string{static_cast<char>(v),           '\x02', '\x01',
                       static_cast<char>(status),      '\0',   '\0',
                       static_cast<char>(value.size())} +
           value;
  };
  const std::string name = "L\0a\0s\0e\0r\0 \0E\0t\0h\0e\0r\0n\0e\0t\0"s;
  seed(corpus, "plain",
       "\x01\x00"s + entry(0x91, 0, "x") + entry(0x81, 0, "Laser A") + entry(0x11, 1, "") +
           entry(0x10, 0, "") + "\x06\x22"s + static_cast<char>(name.size()) + name);
  seed(corpus, "indexed",
       "\x00\x00"s + "\x06\x4B\x01\x00\x05Laser"s + "\x06\x4C\x02\x00\x01x"s +
           "\x06\x4B\x02\x00\x01y"s);
}

void snmp_value_seeds() {
  const std::string corpus = "hostsweep/fuzz/snmp_value_fuzz";
  auto raw = [](const auto& value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
  };
  seed(corpus, "octet_string", static_cast<char>(ASN_OCTET_STR) + "Ready\tnow"s);
  seed(corpus, "short_string", static_cast<char>(ASN_OCTET_STR) + "ab\x01"s);
  seed(corpus, "integer", static_cast<char>(ASN_INTEGER) + raw(long{-42}));
  seed(corpus, "counter", static_cast<char>(ASN_COUNTER) + raw(long{4294967295}));
  seed(corpus, "timeticks", static_cast<char>(ASN_TIMETICKS) + raw(long{123456}));
  const oid numbers[] = {1, 3, 6, 1, 4, 1, 40599};
  seed(corpus, "object_id",
       static_cast<char>(ASN_OBJECT_ID) +
           std::string(reinterpret_cast<const char*>(numbers), sizeof numbers));
  seed(corpus, "ip_address", static_cast<char>(ASN_IPADDRESS) + "\x0a\x01\xff\x02"s);
  seed(corpus, "counter64", static_cast<char>(ASN_COUNTER64) + raw(counter64{0x1020304, 0xa0b}));
  seed(corpus, "opaque", static_cast<char>(ASN_OPAQUE) + "\x9f\x78"s);
}

void ir_seeds() {
  const std::string corpus = "netfeeder/fuzz/ir_reader_fuzz";
  // Write a message (length 4, condition 16), read it, read the acknowledgement.
  seed(corpus, "one_message", "\x00\x04\x04\x10\x00\x00\x01\x02\x01"s);
  // Messages of every length class in one write, pieces across reads, then close.
  seed(corpus, "framing",
       "\x00\x0c\x00\x01\x02\x05\x2f\x00\x01\x02\xff\x7f\x70\x01\x00\x05\x05\x70\x00\x01"s +
           "\x01\x04\x01\x02\x10\x04\x01\x03"s);
  // A printer that never reads: many messages, acknowledgements pile up.
  std::string flood;
  for (int i = 0; i < 60; ++i) {
    flood += "\x00\x7f"s + std::string(1, '\x7f') + std::string(126, static_cast<char>(i)) + "\x01";
  }
  seed(corpus, "printer_stops_reading", flood + "\x03\x02\xff\x03\x04\x04\x01");
}

void command_line_seeds() {
  seed("common/fuzz/program_frame_fuzz", "jobshaper",
       "\x00"s + command_line({"-q", "office", "-f", "report.txt", "-d", "6", "-t", "debug", "-b",
                               "-pcopies=2 orientation=landscape", "-sTitle", "-Hq"}));
  seed("common/fuzz/program_frame_fuzz", "settingsview",
       "\x01"s + command_line({"-cjbl", "-d", "office", "-w", "80", "-x", "-q"}));
  seed("common/fuzz/program_frame_fuzz", "linebuilder",
       "\x02"s + command_line({"-q", "office", "-h", "host", "-u", "user", "-j", "job", "-d1", "-v",
                               "dev", "--", "extra"}));
  seed("netfeeder/fuzz/netfeeder_options_fuzz", "job",
       command_line({"-h", "127.0.0.9", "-p", "3", "-m", "ilu", "-w", "ila", "-u", "alice", "-j",
                     "job", "-xr", "-z", "progress", "host"}));
  seed("netfeeder/fuzz/netfeeder_options_fuzz", "device",
       command_line({"-d", "dev", "-pi9201", "-pl9101", "-l", "log", "-S", "server", "-c",
                     "mailhost", "-W", "-D", "-Hh"}));
  seed("hostsweep/fuzz/hostsweep_options_fuzz", "search",
       command_line({"-i", "-n", "192.0.2.0", "-r", "10.0.0.1-10.0.1.3", "-h", "127.0.0.1", "-c",
                     "public,private", "-t", "2,3", "-o", "50", "-x", "out.txt"}));
  seed("hostsweep/fuzz/hostsweep_options_fuzz", "printer_file",
       command_line({"-s", "server", "-I", "-d", "10", "-f", "-", "-p", "list.txt"}));
  seed("launchers/fuzz/launcher_options_fuzz", "runwarden",
       "\x00\x04"s + command_line({"-x", "-n", "office"}) + "\0\0"s +
           command_line({"LD_PRELOAD=/tmp/x.so", "PATH=/tmp", "PATH=/bin", "HOME=/root",
                         "BASH_FUNC_x%%=() { :; }", "QUINTARO_ROOT=/tmp"}));
  seed("launchers/fuzz/launcher_options_fuzz", "filtergate",
       "\x03\x10"s + command_line({"job"}) + "\0\0"s + command_line({"IFS=x", "ENV=/tmp/e"}));
  seed("pddtool/fuzz/pddtool_command_line_fuzz", "compile",
       command_line({"compile", "printer.yaml", "-o", "out.b"}));
  seed("pddtool/fuzz/pddtool_command_line_fuzz", "settings",
       command_line({"settings", "sample.b", "-s", "pcl", "copies=2", "=x"}));
  seed("pddtool/fuzz/pddtool_command_line_fuzz", "decompile",
       command_line({"decompile", "-oout.yaml", "--", "-x.b"}));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_fuzz_seeds SOURCE_DIR SAMPLE_SOURCE\n");
    return 2;
  }
  g_root = argv[1];
  pdd_seeds();
  seed("pddtool/fuzz/compile_fuzz", "sample.yaml", read_file(argv[2]));
  mib_seeds();
  npa_seeds();
  probe_seeds();
  snmp_value_seeds();
  ir_seeds();
  command_line_seeds();
  return g_failed ? 1 : 0;
}
