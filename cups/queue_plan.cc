// Checking a job against its queue before it is formatted.
#include "cups/queue_plan.h"

#include <unistd.h>

#include <charconv>
#include <optional>

#include "common/format.h"
#include "common/paths.h"
#include "common/program_frame.h"
#include "cups/backend.h"
#include "jobshaper/sniff.h"
#include "jobshaper/user_queue.h"
#include "pdd/definitions.h"
#include "pdd/isvalid.h"
#include "pdd/read_nodes.h"

namespace {

PlanResult refuse(int status, std::string error) {
  PlanResult result;
  result.status = status;
  result.error = std::move(error);
  return result;
}

// A definition file read into a table of its own; false when it cannot be opened.
bool load_file(const std::string& path, DefinitionTable* table) {
  FILE* file = open_definition_file(path);
  if (!file) return false;
  table->load(file);
  return true;
}

// The data stream the formatter will use, from ds_list and, for an automatic queue, the
// job's first bytes: the formatter's rules, repeated so that the options are checked
// for the stream the formatter applies them to.
std::string data_stream(const std::string& ds_list, int input_fd) {
  if (ds_list == "pdf") return "zt";
  if (ds_list != "automatic" && ds_list != "automatic_plus" && ds_list != "automatic_pdf") {
    return ds_list;
  }
  off_t position = lseek(input_fd, 0, SEEK_CUR);
  int kind = sniff(input_fd, false, nullptr);
  if (position >= 0) lseek(input_fd, position, SEEK_SET);
  if (kind == SNIFF_POSTSCRIPT) return "ps";
  if (kind == SNIFF_IMAGE) return ds_list == "automatic" ? "pcl" : "zt";
  return "pcl";
}

// Resolution names users may give, and the values queues store in their place, as the
// formatter maps them before its check.
std::string stored_value(const std::string& value) {
  static constexpr std::pair<const char*, const char*> kResolutions[] = {
      {"2400x2400dpi", "2400_IQ"},
      {"4800x4800dpi", "4800_CQ"},
      {"600x600dpi", "600"},
      {"1200x1200dpi", "1200"},
  };
  for (const auto& [given, stored] : kResolutions) {
    if (value == given) return stored;
  }
  return value;
}

std::optional<PlanResult> read_device_limits(const std::string& queue, QueuePlan* plan) {
  DefinitionTable transport;
  std::string vqd = paths::transport_vqd(queue);
  if (!load_file(vqd, &transport)) {
    return refuse(CUPS_BACKEND_STOP, strprintf("The queue %s has no transport definition (%s)",
                                               queue.c_str(), vqd.c_str()));
  }
  const std::string& device = transport.get("device_name");
  if (device.empty()) {
    return refuse(CUPS_BACKEND_STOP,
                  strprintf("The transport definition of queue %s names no device (%s)",
                            queue.c_str(), vqd.c_str()));
  }
  DefinitionTable vdd;
  std::string vdd_path = paths::vdd(device);
  if (!load_file(vdd_path, &vdd)) {
    return refuse(CUPS_BACKEND_STOP, strprintf("The device %s of queue %s is not defined (%s)",
                                               device.c_str(), queue.c_str(), vdd_path.c_str()));
  }
  struct Limit {
    const char* key;
    std::chrono::seconds* value;
  };
  for (const Limit& limit :
       {Limit{STALL_TIMEOUT_KEY, &plan->stall}, {END_TIMEOUT_KEY, &plan->end}}) {
    const Definition* entry = vdd.find(limit.key);
    if (!entry) continue;
    int seconds = 0;
    if (!parse_timeout(entry->value, &seconds)) {
      return refuse(CUPS_BACKEND_STOP,
                    strprintf("The device %s has the invalid value '%s' for %s (whole seconds "
                              "from 1 to %d)",
                              device.c_str(), entry->value.c_str(), limit.key, LONGEST_TIMEOUT));
    }
    *limit.value = std::chrono::seconds(seconds);
  }
  return std::nullopt;
}

}  // namespace

bool parse_timeout(const std::string& text, int* seconds) {
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return false;
  if (value < 1 || value > LONGEST_TIMEOUT) return false;
  *seconds = value;
  return true;
}

PlanResult plan_job(const JobRequest& r) {
  const char* queue = r.queue.c_str();
  std::string vqd = paths::system_vqd(r.queue);
  bool own = false;
  if (!r.user.empty()) {
    if (std::optional<std::string> user_vqd = find_user_vqd(r.user, r.queue)) {
      vqd = *user_vqd;
      own = true;
    }
  }
  // A user's own definition concerns that user's jobs only.
  int broken = own ? CUPS_BACKEND_CANCEL : CUPS_BACKEND_STOP;
  DefinitionTable table;
  if (!load_file(vqd, &table)) {
    return refuse(broken, own ? strprintf("The own definition of queue %s of user %s cannot be "
                                          "read (%s)",
                                          queue, r.user.c_str(), vqd.c_str())
                              : strprintf("The queue %s is not defined in the suite (%s)", queue,
                                          vqd.c_str()));
  }
  const std::string& ds_list = table.get("ds_list");
  if (ds_list.empty()) {
    return refuse(broken, strprintf("The definition of queue %s names no data stream (ds_list "
                                    "in %s)",
                                    queue, vqd.c_str()));
  }

  PlanResult result;
  QueuePlan& plan = result.plan;
  plan.runs = r.copies;
  if (ds_list != "passthrough") {
    // The formatter copies a passthrough job as it is: no PDD, no options, no banner.
    std::string ds = data_stream(ds_list, r.input_fd);
    const std::string& pdd_name = table.get("pdd");
    if (pdd_name.empty()) {
      return refuse(broken, strprintf("The definition of queue %s names no PDD (pdd in %s)", queue,
                                      vqd.c_str()));
    }
    if (own && pdd_name.find('/') != std::string::npos) {
      return refuse(broken, strprintf("The own definition of queue %s of user %s names the PDD "
                                      "%s, which is not a file of the PDD directory",
                                      queue, r.user.c_str(), pdd_name.c_str()));
    }
    std::string pdd_path = paths::pdd_file(pdd_name);
    PddHandle pdd(read_pdd(pdd_path.c_str()));
    if (!is_valid_top_menu(pdd.get()) || !static_cast<MenuNode*>(pdd->node)->items) {
      return refuse(broken, strprintf("The PDD %s of queue %s is missing or broken (%s)",
                                      pdd_name.c_str(), queue, pdd_path.c_str()));
    }

    std::string prefix = ds + "_";
    auto add_override = [&](const std::string& tag, const std::string& value) -> bool {
      std::string key = prefix + tag;
      std::string stored = stored_value(value);
      if (check_option_value(key.c_str(), stored.c_str(), pdd.get()) != 0) return false;
      table.put(key, stored);
      if (!plan.overrides.empty()) plan.overrides += ' ';
      plan.overrides += tag + "=" + value;
      return true;
    };
    bool copies_given = false;
    for (const JobOption& option : r.options) {
      // An option of the queue, named as settingsview shows it, with or without the
      // data stream in front.
      std::string tag = option.name;
      if (tag.starts_with(prefix)) tag.erase(0, prefix.size());
      if (tag.empty() || table.get(prefix + tag).empty()) continue;
      const char* name = option.name.c_str();
      if (option.value.empty()) {
        return refuse(CUPS_BACKEND_CANCEL,
                      strprintf("The option %s of queue %s has no value", name, queue));
      }
      if (option.value.find_first_of(" \t\n") != std::string::npos) {
        return refuse(CUPS_BACKEND_CANCEL,
                      strprintf("The value '%s' of option %s holds a blank, which the options "
                                "of queue %s cannot take",
                                option.value.c_str(), name, queue));
      }
      if (!add_override(tag, option.value)) {
        return refuse(CUPS_BACKEND_CANCEL,
                      strprintf("The value '%s' of option %s is not valid for queue %s (see "
                                "settingsview -q %s)",
                                option.value.c_str(), name, queue, queue));
      }
      if (tag == "copies") copies_given = true;
    }
    if (!table.get(prefix + "copies").empty()) {
      // The queue makes its copies itself: the job is formatted once.
      plan.runs = 1;
      if (r.copies > 1 && !copies_given && !add_override("copies", std::to_string(r.copies))) {
        return refuse(CUPS_BACKEND_CANCEL,
                      strprintf("The queue %s cannot print %d copies", queue, r.copies));
      }
    }
    plan.banner = table.get(prefix + "banner_page") == "yes";
  }
  if (std::optional<PlanResult> refused = read_device_limits(r.queue, &plan)) return *refused;
  return result;
}
