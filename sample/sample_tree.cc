// The sample tree: the compiled PDD of a generic PJL printer and its queues.
#include "sample/sample_tree.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/paths.h"

namespace {

bool make_dirs(const std::string& path) {
  for (size_t pos = 1; pos <= path.size(); ++pos) {
    if (pos == path.size() || path[pos] == '/') {
      std::string part = path.substr(0, pos);
      if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "cannot create %s: %s\n", part.c_str(), std::strerror(errno));
        return false;
      }
    }
  }
  return true;
}

bool write_file(const std::string& path, const std::string& text) {
  if (!make_dirs(path.substr(0, path.rfind('/')))) return false;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

// The sample printer's PDD, as the build compiled it from sample/generic_pcl.yaml.
bool read_sample_pdd(std::string* bytes) {
  std::ifstream in(SAMPLE_PDD_PATH, std::ios::binary);
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in.is_open() || in.bad()) {
    std::fprintf(stderr, "cannot read %s\n", SAMPLE_PDD_PATH);
    return false;
  }
  return true;
}

std::string pjl_settings(const std::string& ds) {
  std::string text;
  text += ds + "_jobname=on\n";
  text += ds + "_userinfo=on\n";
  text += ds + "_orientation=portrait\n";
  text += ds + "_copies=1\n";
  text += ds + "_paper_size=a4\n";
  text += ds + "_resolution=600\n";
  text += ds + "_banner_page=no\n";
  return text;
}

std::string queue_vqd(const std::string& ds_list) {
  std::string text = "pdd=generic_pcl.b\n";
  text += "ds_list=" + ds_list + "\n";
  text += "printer_type=Generic PCL printer with PJL\n";
  text += "device_name=sample_dev\n";
  text += "locale=en_US\n";
  text += pjl_settings("pcl");
  text += "pcl_pitch=10.00\n";
  text += pjl_settings("ps");
  return text;
}

// The sample device: a network printer on a loopback address, where the demo
// starts its test printer, logging below `root`.
std::string device_vdd(const std::string& root) {
  std::string text = "transport_type=network\n";
  text += "network_host=" SAMPLE_PRINTER_ADDRESS "\n";
  text += "logfile=" + root + "/var/spool/printer/sample_dev.log\n";
  text += "administrator=none\n";
  text += "ir_user=none\n";
  text += "pr_user=none\n";
  text += "ir_admin=none\n";
  return text;
}

}  // namespace

std::string below_root(const std::string& root, const std::string& place) {
  return root + place.substr(paths::root().size());
}

bool write_sample_tree(const std::string& root) {
  struct Queue {
    const char* name;
    const char* ds_list;
  };
  for (const Queue& queue :
       {Queue{"sample_pcl", "pcl"}, Queue{"sample_ps", "ps"}, Queue{"sample_auto", "automatic"}}) {
    std::string name = queue.name;
    std::string vqd = queue_vqd(queue.ds_list);
    if (!write_file(below_root(root, paths::system_vqd(name)), vqd)) return false;
    // The transport command builder reads its own copy of the queues and the devices.
    if (!write_file(below_root(root, paths::transport_vqd(name)), vqd)) return false;
  }
  if (!write_file(below_root(root, paths::vdd("sample_dev")), device_vdd(root))) return false;
  std::string pdd;
  return read_sample_pdd(&pdd) &&
         write_file(below_root(root, paths::pdd_file("generic_pcl.b")), pdd);
}
