// test_printer: a printer on a loopback address for the demo and the benchmarks.
//
//   test_printer [-p port] [-o file] [-r response] [-n count] [-t seconds] [-f] address
//
// Listens on address:port (port 9100 unless -p; only 127.0.0.0/8 addresses), then goes
// to the background (unless -f) so that the caller can start its sender at once. It
// takes `count` connections (1 unless -n) one after the other; for each it appends
// what arrives to the file (-o; without it the bytes are discarded), sends the
// response (-r) once the sender has shut its side, and closes. It gives up after
// `seconds` (-t, 600) in all.
#include <arpa/inet.h>
#include <fcntl.h>
#include <getopt.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/io.h"

namespace {

constexpr int kOk = 0;
constexpr int kUsage = 2;
constexpr int kFailed = 1;

int usage() {
  std::fprintf(stderr,
               "usage: test_printer [-p port] [-o file] [-r response] [-n count] [-t seconds] "
               "[-f] address\n");
  return kUsage;
}

// Serves one connection; false when the output file cannot be written.
bool serve(int connection, int output, const std::string& response) {
  static char buffer[1 << 16];
  for (;;) {
    ssize_t n = read_retry(connection, buffer, sizeof buffer);
    if (n <= 0) break;
    if (output >= 0 && !write_all(output, buffer, static_cast<size_t>(n))) return false;
  }
  if (!response.empty()) write_all(connection, response);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int port = 9100, count = 1, seconds = 600;
  bool foreground = false;
  std::string output_path, response;
  int c;
  while ((c = getopt(argc, argv, "p:o:r:n:t:f")) != -1) {
    switch (c) {
      case 'p':
        port = std::atoi(optarg);
        break;
      case 'o':
        output_path = optarg;
        break;
      case 'r':
        response = optarg;
        break;
      case 'n':
        count = std::atoi(optarg);
        break;
      case 't':
        seconds = std::atoi(optarg);
        break;
      case 'f':
        foreground = true;
        break;
      default:
        return usage();
    }
  }
  if (argc - optind != 1 || port <= 0 || port > 65535 || count <= 0 || seconds <= 0) {
    return usage();
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (inet_pton(AF_INET, argv[optind], &address.sin_addr) != 1 ||
      (ntohl(address.sin_addr.s_addr) >> 24) != 127) {
    std::fprintf(stderr, "test_printer: %s is not a loopback address (127.x.y.z)\n", argv[optind]);
    return kUsage;
  }
  int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener, 8) != 0) {
    std::perror("test_printer: listen");
    return kFailed;
  }
  int output = -1;
  if (!output_path.empty()) {
    output = open(output_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (output < 0) {
      std::perror(output_path.c_str());
      return kFailed;
    }
  }
  if (!foreground) {
    pid_t pid = fork();
    if (pid < 0) {
      std::perror("test_printer: fork");
      return kFailed;
    }
    if (pid > 0) return kOk;  // listening already: the caller may connect
    int null_fd = open("/dev/null", O_RDWR);
    for (int fd = 0; fd <= 2; ++fd) dup2(null_fd, fd);
    setsid();
  }
  signal(SIGPIPE, SIG_IGN);
  alarm(static_cast<unsigned>(seconds));
  for (int i = 0; i < count; ++i) {
    int connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) return kFailed;
    bool ok = serve(connection, output, response);
    close(connection);
    if (!ok) return kFailed;
  }
  return kOk;
}
