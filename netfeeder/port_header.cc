// The port header's bytes.
#include "netfeeder/port_header.h"

std::string build_port_header(const Settings& s, int server_port) {
  std::string body;
  body += static_cast<char>('0' + server_port);
  body.append("\x00\x01\x00", 3);
  for (const std::string* field : {&s.header_host, &s.job_name}) {
    body += *field;
    body += '\0';
  }
  for (const std::string* field : {&s.user, &s.printer_name}) {
    body += field->empty() ? std::string(" ") : *field;
    body += '\0';
  }
  body.append("\xff\xff\xff\xff\xff\xff\x00", 7);
  std::string header;
  header += static_cast<char>((body.size() >> 8) & 0xff);
  header += static_cast<char>(body.size() & 0xff);
  header.append("\x00\x08", 2);
  return header + body;
}
