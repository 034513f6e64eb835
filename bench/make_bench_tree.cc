// make_bench_tree ROOT: writes, besides the sample tree, two queues that load the
// formatter: "bench40", whose PDD has 40 options of 12 choices each, all set in its
// definition and all sent with every job, and "expr40k", whose prologue holds
// 40,000 different expressions.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "common/paths.h"
#include "pdd/pdd_writer.h"
#include "sample/sample_tree.h"

namespace {

using namespace pddfile;

constexpr int kOptions = 40;
constexpr int kChoices = 12;
constexpr int kExpressions = 40000;

std::string option_tag(int i) { return "pcl_option" + std::to_string(i); }

bool save(const std::string& path, const std::string& text) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && written;
}

// The PDD with 40 options and its queue definition.
bool write_forty_options(const std::string& root) {
  PddWriter pdd;
  std::string init_sequence, vqd = "pdd=bench40.b\nds_list=pcl\n";
  for (int i = 0; i < kOptions; ++i) {
    SclistRecord option{"Option " + std::to_string(i), option_tag(i), "A setting", "", 0, {}};
    for (int c = 0; c < kChoices; ++c) {
      std::string value = "v" + std::to_string(c);
      option.items.push_back({"Choice " + std::to_string(c), "", value,
                              "@PJL SET OPTION" + std::to_string(i) + " = " + value + "${10}", ""});
    }
    pdd.add(option);
    init_sequence += (i ? "," : "") + option_tag(i);
    vqd += option_tag(i) + "=v" + std::to_string(i % kChoices) + "\n";
  }
  pdd.add(PddRecord{"pcl", init_sequence, "", "${27}%-12345X@PJL${10}",
                    "@PJL ENTER LANGUAGE = PCL${10}", "${27}E${27}%-12345X",
                    "${27}E${27}%-12345X@PJL EOJ${10}${27}%-12345X", "", 0, 0, 0});
  return pdd.save(below_root(root, paths::pdd_file("bench40.b"))) &&
         save(below_root(root, paths::system_vqd("bench40")), vqd);
}

// The PDD whose prologue string holds 40,000 different expressions.
bool write_many_expressions(const std::string& root) {
  std::string prologue;
  for (int i = 0; i < kExpressions; ++i) prologue += "$${" + std::to_string(i) + "}";
  PddWriter pdd;
  pdd.add(PddRecord{"pcl", "", "", prologue, "", "", "", "", 0, 0, 0});
  return pdd.save(below_root(root, paths::pdd_file("expr40k.b"))) &&
         save(below_root(root, paths::system_vqd("expr40k")), "pdd=expr40k.b\nds_list=pcl\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s ROOT\n", argv[0]);
    return 2;
  }
  std::string root = argv[1];
  if (!write_sample_tree(root)) return 1;
  std::error_code error;
  for (const char* queue : {"bench40", "expr40k"}) {
    std::filesystem::path vqd = below_root(root, paths::system_vqd(queue));
    std::filesystem::create_directories(vqd.parent_path(), error);
  }
  if (error || !write_forty_options(root) || !write_many_expressions(root)) {
    std::fprintf(stderr, "%s: cannot write the benchmark queues\n", argv[0]);
    return 1;
  }
  return 0;
}
