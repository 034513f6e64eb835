// The MIB compiler behind hostsweep_mibc: Net-SNMP's parser reads the modules, and
// its tree is copied into discovery's own node type for encoding.
#include "hostsweep/mib_compiler.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "common/format.h"

namespace {

// Sets up Net-SNMP's parser for one quiet, hermetic run and takes it down again.
// The parser's messages are collected instead of printed.
class ParserSession {
 public:
  explicit ParserSession(const std::vector<std::string>& mib_dirs) {
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    // Keeps the parser from writing module indexes below the persistent directory.
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_SAVE_MIB_DESCRS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_ERRORS, 1);
    netsnmp_ds_set_int(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_WARNINGS, 1);
    // The search path the parser names in its messages; set, it is not taken from
    // the environment.
    std::string search_path;
    for (const std::string& dir : mib_dirs) {
      if (!search_path.empty()) search_path += ':';
      search_path += dir;
    }
    netsnmp_ds_set_string(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIBDIRS, search_path.c_str());
    snmp_register_callback(SNMP_CALLBACK_LIBRARY, SNMP_CALLBACK_LOGGING, collect, &messages_);
    log_handler_ = netsnmp_register_loghandler(NETSNMP_LOGHANDLER_CALLBACK, LOG_DEBUG);
    netsnmp_init_mib_internals();
  }

  ~ParserSession() {
    shutdown_mib();
    if (log_handler_) netsnmp_remove_loghandler(log_handler_);
    snmp_unregister_callback(SNMP_CALLBACK_LIBRARY, SNMP_CALLBACK_LOGGING, collect, &messages_, 1);
    netsnmp_ds_set_string(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIBDIRS, nullptr);
  }

  ParserSession(const ParserSession&) = delete;
  ParserSession& operator=(const ParserSession&) = delete;

  // The first error or warning the parser gave, without its newline; "" when none.
  std::string first_problem() const { return messages_.empty() ? "" : messages_.front(); }

 private:
  static int collect(int, int, void* server_arg, void* client_arg) {
    const auto* message = static_cast<const snmp_log_message*>(server_arg);
    auto* messages = static_cast<std::vector<std::string>*>(client_arg);
    if (message->priority > LOG_WARNING || !message->msg) return 0;
    std::string text = message->msg;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    // Said before "Cannot find module", which tells more.
    if (text.starts_with("MIB search path:")) return 0;
    messages->push_back(std::move(text));
    return 0;
  }

  std::vector<std::string> messages_;
  netsnmp_log_handler* log_handler_ = nullptr;
};

MibSyntax syntax_of_type(int type) {
  switch (type) {
    case TYPE_OBJID:
      return MibSyntax::OBJECT_IDENTIFIER;
    case TYPE_OCTETSTR:
      return MibSyntax::OCTET_STRING;
    case TYPE_INTEGER:
    case TYPE_INTEGER32:
      return MibSyntax::INTEGER;
    case TYPE_NETADDR:
      return MibSyntax::NETWORK_ADDRESS;
    case TYPE_IPADDR:
      return MibSyntax::IP_ADDRESS;
    case TYPE_COUNTER:
      return MibSyntax::COUNTER;
    case TYPE_GAUGE:
    case TYPE_UNSIGNED32:
      return MibSyntax::GAUGE;
    case TYPE_TIMETICKS:
      return MibSyntax::TIME_TICKS;
    case TYPE_OPAQUE:
      return MibSyntax::OPAQUE;
    case TYPE_NULL:
      return MibSyntax::NULL_VALUE;
    case TYPE_COUNTER64:
      return MibSyntax::COUNTER64;
    case TYPE_BITSTRING:
      return MibSyntax::BIT_STRING;
    case TYPE_NSAPADDRESS:
      return MibSyntax::NSAP_ADDRESS;
    case TYPE_UINTEGER:
      return MibSyntax::UINTEGER32;
    default:
      return MibSyntax::NONE;
  }
}

// Copies the parser's node `from` (without its siblings) into `to`, which lies
// `depth` levels below the root.
bool copy_node(const tree* from, int depth, MibNode* to, std::string* err,
               std::vector<std::string>* warnings) {
  const char* label = from->label ? from->label : "";
  if (depth > MIB_MAX_DEPTH) {
    *err = strprintf("%s lies deeper than %d levels", label, MIB_MAX_DEPTH);
    return false;
  }
  if (from->subid > UINT32_MAX) {
    *err = strprintf("sub-identifier of %s above 32 bits: %lu", label, from->subid);
    return false;
  }
  if (std::strlen(label) >= MIB_LABEL_FIELD_SIZE) {
    warnings->push_back(
        strprintf("label %s is cut to %zu characters", label, MIB_LABEL_FIELD_SIZE - 1));
  }
  to->label = label;
  to->subid = static_cast<uint32_t>(from->subid);
  to->syntax = syntax_of_type(from->type);
  if (from->description) to->description = from->description;
  for (const enum_list* e = from->enums; e; e = e->next) {
    const char* enum_label = e->label ? e->label : "";
    if (e->value < INT16_MIN || e->value > INT16_MAX) {
      warnings->push_back(strprintf("enumeration %s(%d) of %s does not fit in 16 bits; left out",
                                    enum_label, e->value, label));
      continue;
    }
    to->enums.push_back(MibEnum{static_cast<int16_t>(e->value), enum_label});
  }
  std::vector<const tree*> children;
  for (const tree* c = from->child_list; c; c = c->next_peer) children.push_back(c);
  std::stable_sort(children.begin(), children.end(),
                   [](const tree* a, const tree* b) { return a->subid < b->subid; });
  to->children.resize(children.size());
  for (size_t i = 0; i < children.size(); ++i) {
    if (!copy_node(children[i], depth + 1, &to->children[i], err, warnings)) return false;
  }
  return true;
}

}  // namespace

bool compile_mib(const MibCompileInput& input, MibNode* result, std::string* err,
                 std::vector<std::string>* warnings) {
  ParserSession session(input.mib_dirs);
  for (const std::string& dir : input.mib_dirs) {
    if (add_mibdir(dir.c_str()) < 0) {
      *err = strprintf("cannot read MIB directory %s", dir.c_str());
      return false;
    }
  }
  for (const std::string& module : input.modules) {
    if (module.find('/') != std::string::npos) {
      read_mib(module.c_str());
    } else if (which_module(module.c_str()) < 0) {
      *err = strprintf("module %s not found in the MIB directories", module.c_str());
      return false;
    } else {
      read_module(module.c_str());
    }
    if (std::string problem = session.first_problem(); !problem.empty()) {
      *err = problem;
      return false;
    }
  }
  const tree* iso = nullptr;
  for (const tree* t = get_tree_head(); t; t = t->next_peer) {
    if (t->subid == 1) iso = t;
  }
  if (!iso) {
    *err = "the parser's tree has no node iso(1)";
    return false;
  }
  MibNode root;
  root.children.resize(1);
  if (!copy_node(iso, 1, &root.children[0], err, warnings)) return false;
  *result = std::move(root);
  return true;
}
