// The sample tree: one compiled PDD for a generic PJL printer and its queues.
#include "sample/sample_tree.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "common/paths.h"
#include "pdd/pdd_writer.h"

namespace {

using namespace pddfile;

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

SclistRecord on_off(const std::string& tag, const std::string& label, const std::string& code) {
  return SclistRecord{label, tag, label,
                      "",    0,   {{"On", "", "on", code, ""}, {"Off", "", "off", "none", ""}}};
}

// Options of one data stream `ds` that the printer selects with PJL commands.
void add_pjl_options(PddWriter& pdd, const std::string& ds) {
  pdd.add(on_off(ds + "_jobname", "Job Name", "@PJL SET JOBNAME = "));
  pdd.add(on_off(ds + "_userinfo", "User Information", "@PJL SET USERNAME AND LJOBINFO"));
  pdd.add(
      SclistRecord{"Orientation",
                   ds + "_orientation",
                   "Page orientation",
                   "",
                   0,
                   {{"Portrait", "", "portrait", "@PJL SET ORIENTATION = PORTRAIT${10}", ""},
                    {"Landscape", "", "landscape", "@PJL SET ORIENTATION = LANDSCAPE${10}", ""}}});
  pdd.add(NumberRecord{"Copies", ds + "_copies", "Number of copies", "", "",
                       "@PJL SET COPIES = $${" + ds + "_copies}${10}", "", 1, 0, 1, 999, 0});
  pdd.add(SclistRecord{"Paper Size",
                       ds + "_paper_size",
                       "Paper size",
                       "",
                       0,
                       {{"Letter", "", "letter", "@PJL SET PAPER = LETTER${10}", ""},
                        {"Legal", "", "legal", "@PJL SET PAPER = LEGAL${10}", ""},
                        {"A4", "", "a4", "@PJL SET PAPER = A4${10}", ""}}});
  pdd.add(SclistRecord{"Resolution",
                       ds + "_resolution",
                       "Print resolution",
                       "",
                       1,
                       {{"300 dpi", "", "300", "@PJL SET RESOLUTION = 300${10}", ""},
                        {"600 dpi", "", "600", "@PJL SET RESOLUTION = 600${10}", ""},
                        {"1200 dpi", "", "1200", "@PJL SET RESOLUTION = 1200${10}", ""},
                        {"2400 dpi", "", "2400_IQ", "@PJL SET RESOLUTION = 2400${10}", ""}}});
}

std::string sample_pdd() {
  PddWriter pdd;
  add_pjl_options(pdd, "pcl");
  pdd.add(NumberRecord{"Pitch", "pcl_pitch", "Characters per inch", "", "",
                       "@PJL SET PITCH = $${pcl_pitch}${10}", "", 1000, 2, 44, 9999, 0});
  pdd.add(MenuRecord{
      "PCL Job Options",
      "pcl_menu",
      "Choose a PCL option",
      "",
      "",
      {"pcl_orientation", "pcl_copies", "pcl_paper_size", "pcl_resolution", "pcl_pitch"}});
  add_pjl_options(pdd, "ps");
  pdd.add(PddRecord{"pcl",
                    "pcl_jobname,pcl_userinfo,pcl_orientation,pcl_copies,pcl_paper_size,"
                    "pcl_resolution,pcl_pitch",
                    "pcl_orientation,pcl_paper_size", "${27}%-12345X,@PJL${10}",
                    "@PJL ENTER LANGUAGE = PCL${10}${27}E", "${27}E${27}%-12345X",
                    "${27}E${27}%-12345X@PJL EOJ${10}${27}%-12345X", "", 0, 0, 0});
  pdd.add(PddRecord{"ps",
                    "ps_jobname,ps_userinfo,ps_orientation,ps_copies,ps_paper_size,"
                    "ps_resolution",
                    "ps_orientation,ps_paper_size", "${27}%-12345X,@PJL${10}",
                    "@PJL ENTER LANGUAGE = POSTSCRIPT${10}", "${4}${27}%-12345X",
                    "${4}${27}%-12345X@PJL EOJ${10}${27}%-12345X", "", 0, 0, 0});
  return pdd.bytes();
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
  return write_file(below_root(root, paths::pdd_file("generic_pcl.b")), sample_pdd());
}
