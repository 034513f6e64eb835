// The discovery program's run.
#include "hostsweep/hsweep.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "common/program_frame.h"
#include "hostsweep/mib_tree.h"
#include "hostsweep/options.h"
#include "hostsweep/prescan.h"
#include "hostsweep/printers.h"
#include "hostsweep/probe.h"
#include "hostsweep/probe_all.h"
#include "hostsweep/progress.h"
#include "hostsweep/snmp_cmds.h"
#include "npa/npa_transport.h"
#include "npa/ov_malloc.h"

namespace {

constexpr int kMibMissingStatus = 2;
constexpr int kMibBrokenStatus = 1;

struct FileCloser {
  void operator()(FILE* file) const {
    if (file && file != stdout) std::fclose(file);
  }
};
using File = std::unique_ptr<FILE, FileCloser>;

class SnmpRow : public SelectRow {
 public:
  explicit SnmpRow(SnmpQueries& snmp) : SelectRow("SNMP"), snmp_(snmp) {}
  void prepare(int& nfds, fd_set& read, timeval& timeout, bool& block) override {
    snmp_.snmp_prepare(nfds, read, timeout, block);
  }
  void expire() override { snmp_.snmp_expire(); }
  void read(const fd_set& ready) override {
    fd_set copy = ready;
    snmp_.snmp_read(copy);
  }

 private:
  SnmpQueries& snmp_;
};

class NpaRow : public SelectRow {
 public:
  explicit NpaRow(NpaTransport& npa) : SelectRow("NPA"), npa_(npa) {}
  void prepare(int& nfds, fd_set& read, timeval& timeout, bool& block) override {
    npa_.npa_prepare(nfds, read, timeout, block);
  }
  void expire() override { npa_.npa_expire(); }
  void read(const fd_set& ready) override {
    if (npa_.fd() >= 0 && FD_ISSET(npa_.fd(), &ready)) npa_.npa_read();
  }

 private:
  NpaTransport& npa_;
};

// Whether the debug stream writes where standard error goes.
bool same_file(FILE* stream, int fd) {
  struct stat a, b;
  return stream && fstat(fileno(stream), &a) == 0 && fstat(fd, &b) == 0 && a.st_dev == b.st_dev &&
         a.st_ino == b.st_ino;
}

int search(HostsweepSettings& s, FILE* debug) {
  File output(std::fopen(s.output_path.c_str(), "we"));
  if (!output) {
    reportf("Could not open %s for writing.\n", s.output_path.c_str());
    return HOSTSWEEP_FAILED;
  }
  if (s.print_pid) {
    std::printf("%d\n", static_cast<int>(getpid()));
    std::fflush(stdout);
  }

  MibTree tree;
  std::string err;
  switch (load_mib(&tree, &err)) {
    case MibLoadStatus::LOADED:
      break;
    case MibLoadStatus::NOT_FOUND:
      report(err);
      return kMibMissingStatus;
    default:
      report(err);
      return kMibBrokenStatus;
  }
  // The NPA client and the retrying allocator trace to the program's debug stream.
  ov_malloc_settings().debug_level = s.debug;
  ov_malloc_settings().debug_file = debug;
  NpaTransport npa(NpaDebug{s.debug, debug}, real_clock());
  npa.npa_init();

  SnmpSettings snmp_settings;
  snmp_settings.community = s.read_community;
  snmp_settings.timeout_us = s.timeout_us;
  snmp_settings.retries = s.retries;
  snmp_settings.name_prefix = name_prefix_from_environment();
  snmp_settings.suffix_names = std::getenv("SUFFIX") != nullptr;
  snmp_settings.debug = s.debug;
  snmp_settings.debug_file = debug;
  SnmpQueries snmp(tree, snmp_settings);

  OutputSettings output_settings{s.colon, s.no_lookup, s.read_community, s.write_community};
  HostNames names(s.no_lookup);
  ResultsTable results;
  PrinterReport report(output_settings, names, results);
  report.set_output(output.get());
  PrinterIdentifier identifier(snmp, report, npa, s.ignore_adapter_status);
  // With -P, the search covers only the addresses that answered the prescan.
  SearchList* addresses = &s.search_list;
  SearchList alive;
  if (s.prescan_rate != 0) {
    SnmpVariableList query = identifier.adapter_query();
    Prescan prescan(PrescanSettings{s.prescan_rate, s.timeout_us, s.debug, debug},
                    [&](long request_id) { return snmp.encode_get(query, request_id); });
    std::string prescan_err;
    if (prescan.run(s.search_list, &alive, &prescan_err) != 0) {
      ::report(prescan_err);
      return HOSTSWEEP_FAILED;
    }
    addresses = &alive;
  }
  SnmpRow snmp_row(snmp);
  NpaRow npa_row(npa);
  ProbeEngine engine(*addresses, identifier, {&snmp_row, &npa_row}, s.max_connections,
                     EngineDebug{s.debug, debug}, real_clock());
  identifier.set_engine(&engine);
  ProgressLine progress(2, !(s.debug != 0 && same_file(debug, 2)), count_addresses(*addresses),
                        real_clock());
  engine.set_progress(&progress);
  report.set_progress(&progress);

  engine.run_probes();
  progress.finish();

  // The lines written as printers were found give way to the sorted list.
  output.reset();
  output.reset(std::fopen(s.output_path.c_str(), "we"));
  if (!output) {
    reportf("Could not open %s for writing.\n", s.output_path.c_str());
    return HOSTSWEEP_FAILED;
  }
  report.write_printer_list(output.get());
  return 0;
}

}  // namespace

int run_hostsweep(int argc, char** argv) {
  HostsweepSettings s;
  if (int status = parse_options(argc, argv, s); status != -1) return status;
  File debug;
  if (s.debug != 0) {
    debug.reset(s.debug_file == "-" ? stdout : std::fopen(s.debug_file.c_str(), "we"));
    if (!debug) {
      reportf("Could not open %s for writing.\n", s.debug_file.c_str());
      return HOSTSWEEP_FAILED;
    }
  }
  if (s.mode == Mode::PRINTER_FILE) {
    HostNames names(s.no_lookup);
    ResultsTable results;
    return read_printer_list(s.output_path, names, results) == 0 ? 0 : HOSTSWEEP_FAILED;
  }
  return search(s, debug.get());
}
