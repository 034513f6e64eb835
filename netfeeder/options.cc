// The agent's command line and its texts.
#include "netfeeder/options.h"

#include <fcntl.h>
#include <getopt.h>

#include <cstdio>
#include <cstdlib>

#include "common/format.h"
#include "common/help_text.h"
#include "common/io.h"

namespace {

constexpr const char* kProgram = "netfeeder";
constexpr const char* kOptionLetters = "Hxd:u:a:n:p:f:m:w:l:rs:j:h:M:DW:z:S:c:";

std::string cut(const char* text, size_t limit) {
  std::string value(text);
  if (value.size() > limit) value.resize(limit);
  return value;
}

std::string usage_lines() {
  std::string text = "\nUSAGE:";
  text += strprintf("\n    %s [-u user] [-a admin] [-l logfile] [-j job_name]", kProgram);
  text += "\n       [-n printer_name] [-m opt] [-w opt] [-r]";
  text += "\n       [-f filename] [-h hostname] [-p port] hostname\n";
  return text;
}

int fail_on_stdout(const std::string& message) {
  write_all(1, message);
  return NETFEEDER_FAILED;
}

// The print server port number of a plain -p value, read as atoi reads it (leading
// blanks, a sign, digits up to the first other character, 0 when there are none), but
// saturated instead of overflowing. Gives false when the IR port, 9200 plus the
// number, would not be a port.
bool read_server_port(const char* text, int& port) {
  long long value = std::strtoll(text, nullptr, 10);  // LLONG_MIN/MAX when out of range
  if (value < -IR_BASE_PORT || value > HIGHEST_PORT - IR_BASE_PORT) return false;
  port = static_cast<int>(value);
  return true;
}

}  // namespace

std::string usage_text() {
  return usage_lines() + strprintf("\nTry '%s -H' for more information\n\n", kProgram);
}

std::string help_text() {
  std::string text = strprintf("\n%s\n", kProgram);
  text += "\n    Sends data to a network printer and receives";
  text += "\n    printer responses and Intervention Required(IR)";
  text += "\n    conditions.\n";
  text += usage_lines();
  text += help_options({
      {"-a admin",
       "Specify the administrator who receives printer responses\n"
       "or IR conditions (see -m and -w).  Without -a they go to\n"
       "the system console.\n"},
      {"-c host",
       "Specify the mail host: mail to a user or administrator\n"
       "given without \"@host\" is sent to user@host.\n"},
      {"-f filename",
       "Read the print data from this file instead of standard\n"
       "input.\n"},
      {"-h hostname",
       "Specify the printer's host name or IPv4/IPv6 address.  An\n"
       "IPv6 link-local address is followed by a percent sign and\n"
       "the interface name, for example fe80::2a0:f8ff:fe12:3456%eth0\n"},
      {"-H", "Display this help and exit.\n"},
      {"-j job_name", "Specify the job name sent to the print server.\n"},
      {"-l logfile",
       "Append printer responses, IR conditions and debug output\n"
       "to this file.\n"},
      {"-m opt",
       "Mail printer messages.  opt is i (IR conditions), l (printer\n"
       "responses) or both, followed by u (the user, -u), a (the\n"
       "administrator, -a) or both: for example -m iu or -m ilua.\n"},
      {"-n printer_name", "Specify the printer name used in every message.\n"},
      {"-p port",
       "Specify the print server port number and use the multi-port\n"
       "print server protocol:\n"
       "    1  First parallel port\n"
       "    2  Second parallel port\n"
       "    3  Serial port\n"
       "-p iN sets the IR port to N; -p lN the response port.\n"},
      {"-r",
       "Raw output: IR messages to standard error, printer responses\n"
       "to standard output.\n"},
      {"-S server", "Specify the management server (accepted and not used).\n"},
      {"-u user", "Specify the user who receives printer responses or IR conditions.\n"},
      {"-w opt",
       "Write printer messages to the terminal of the user or the\n"
       "administrator (the console without -a); opt as for -m.\n"},
  });
  text += "\nEXAMPLES:\n\n";
  text += strprintf("    $ %s -f /etc/motd -h laser1\n", kProgram);
  text += "       Prints the file /etc/motd on the printer laser1.\n\n";
  text += strprintf("    $ cat /etc/motd | %s laser1\n", kProgram);
  text += "       Prints standard input (here /etc/motd) on the printer laser1.\n\n";
  return text;
}

std::string parse_delivery_spec(const std::string& spec, int& flags) {
  const char* p = spec.c_str();
  bool ir = false, responses = false, user = false, admin = false;
  if (*p == 'i' || *p == 'l') {
    char other = *p == 'i' ? 'l' : 'i';
    (*p == 'i' ? ir : responses) = true;
    ++p;
    if (*p == other) {
      ir = responses = true;
      ++p;
    }
  } else {
    return strprintf("Unknown Message type :%c\nUse i or l.\n", *p);
  }
  if (*p == '\0') return "No user type specified.\nUse u or a.\n";
  if (*p == 'u' || *p == 'a') {
    char other = *p == 'u' ? 'a' : 'u';
    (*p == 'u' ? user : admin) = true;
    ++p;
    if (*p == other) {
      user = admin = true;
      ++p;
    }
  } else {
    return strprintf("Unknown user type: %c\nUse u or a.\n", *p);
  }
  if (*p != '\0') return strprintf("Extra characters at end of %s : %s\n", spec.c_str(), p);
  if (ir && user) flags |= DELIVER_IR_USER;
  if (ir && admin) flags |= DELIVER_IR_ADMIN;
  if (responses && user) flags |= DELIVER_RESPONSE_USER;
  if (responses && admin) flags |= DELIVER_RESPONSE_ADMIN;
  return "";
}

int parse_options(int argc, char** argv, Settings& s, UniqueFd& input) {
  // 0, not 1: getopt then also forgets a group of options ("-Hh") it stopped in, which
  // an earlier parse may have left behind in an argv that is gone now.
  optind = 0;
  int c;
  while ((c = getopt(argc, argv, kOptionLetters)) != -1) {
    switch (c) {
      case 'H':
        write_all(2, help_text());
        return NETFEEDER_FAILED;
      case 'x':
      case 'D':
        s.debug = true;
        break;
      case 'd':
        s.device_name = cut(optarg, NAME_LIMIT);
        break;
      case 'u':
      case 'M':
        s.user = cut(optarg, NAME_LIMIT);
        break;
      case 'a':
        s.admin = cut(optarg, NAME_LIMIT);
        break;
      case 'n':
        s.printer_name = cut(optarg, NAME_LIMIT);
        break;
      case 'p':
        // Port numbers are read with atoi, as the device definitions have always been.
        if (optarg[0] == 'i') {
          s.ir_port = std::atoi(optarg + 1);
        } else if (optarg[0] == 'l') {
          s.response_port = std::atoi(optarg + 1);
        } else {
          if (!read_server_port(optarg, s.server_port)) {
            return fail_on_stdout(strprintf(
                "Invalid port number : %s\nThe IR port (9200 plus the port number) must lie "
                "between 0 and 65535.\n",
                optarg));
          }
          s.tarragon = true;
        }
        break;
      case 'f': {
        int fd = open(optarg, O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
          std::perror(optarg);
          return NETFEEDER_NO_INPUT_FILE;
        }
        input.reset(fd);
        break;
      }
      case 'm':
      case 'w': {
        std::string message = parse_delivery_spec(optarg, c == 'm' ? s.mail_flags : s.write_flags);
        if (!message.empty()) return fail_on_stdout(message);
        break;
      }
      case 'l':
        s.log_path = cut(optarg, PATH_LIMIT);
        break;
      case 'r':
        s.raw = true;
        break;
      case 's':
        s.header_host = cut(optarg, NAME_LIMIT);
        break;
      case 'j':
        s.job_name = cut(optarg, NAME_LIMIT);
        break;
      case 'h':
        s.host = cut(optarg, HOST_LIMIT);
        s.host_given = true;
        break;
      case 'W':
        break;
      case 'z':
        s.progress_path = cut(optarg, PATH_LIMIT);
        s.progress_given = true;
        break;
      case 'S':
        s.management_server = cut(optarg, NAME_LIMIT);
        break;
      case 'c':
        s.mail_host = cut(optarg, NAME_LIMIT);
        break;
      default:  // getopt has said what is wrong
        return NETFEEDER_FAILED;
    }
  }
  if (!s.host_given) {
    if (argc - optind == 1 && argv[optind][0] != '\0') {
      s.host = cut(argv[optind], HOST_LIMIT);
    } else {
      write_all(2, usage_text());
      return fail_on_stdout("You must specify the printer hostname or IP address\n\n");
    }
  }
  if (s.raw && s.device_mode()) {
    return fail_on_stdout("-r and -d can not be used at the same time.\n");
  }
  return -1;
}

void compute_ports(Settings& s) {
  if (!s.tarragon) return;
  s.response_port = TARRAGON_PORT;
  s.ir_port = s.server_port == 1 ? IR_BASE_PORT : IR_BASE_PORT + s.server_port;
}
