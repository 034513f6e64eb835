// The NPA vocabulary: the NPA header, its flag byte in requests and replies, the
// command and subcommand codes with their debug names, and the debug rendering of
// NPA and INA headers (debug bit DEBUG_NPA).
//
// NPA part of a datagram (after the INA header):
//   offset 0  start byte 0xA5
//          1  length, 16-bit big-endian: the bytes after this field
//          3  flags
//          4  command
//          5  subcommand (absent in the second and later datagrams of a reply)
//          6  data (5 in the later datagrams)
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>

// Bits of the debug level.
inline constexpr int DEBUG_NPA = 0x1;           // datagrams sent and received, drops, callbacks
inline constexpr int DEBUG_NPA_TIMER = 0x2000;  // resend timers

inline constexpr uint8_t NPA_START = 0xA5;
inline constexpr size_t NPA_HEADER_SIZE = 6;
inline constexpr size_t NPA_CONTINUATION_HEADER_SIZE = 5;  // no subcommand byte

// Flag bits. In requests: 0x80 NOP, 0x40 NPAP (clear: LU), 0x20 CONTINUE (clear:
// COMPLETE), 0x10 REPLY (clear: NOREPLY), 0x0F reserved. In replies: 0x80 error,
// with the kind of error in 0x0C; 0x40, 0x20 as in requests; 0x10 REQUIRED RESPONSE
// (clear: UNSOLICITED RESPONSE); 0x03 the kind of unsolicited reply.
inline constexpr uint8_t NPA_FLAG_ERROR = 0x80;
inline constexpr uint8_t NPA_FLAG_NPAP = 0x40;
inline constexpr uint8_t NPA_FLAG_CONTINUE = 0x20;
inline constexpr uint8_t NPA_FLAG_REPLY = 0x10;
inline constexpr uint8_t NPA_FLAG_RESERVED = 0x0F;
inline constexpr uint8_t NPA_ERROR_KIND = 0x0C;
inline constexpr uint8_t NPA_ALERT_KIND = 0x03;
// The reply flags kept as a session's status when NPA_FLAG_ERROR is set: 0x80
// command rejected, 0x84 data error, 0x88 command error, 0x8C advanced error.
inline constexpr uint8_t NPA_ERROR_MASK = 0x8C;
inline constexpr uint8_t NPA_CMD_REJECTED = 0x80;
inline constexpr uint8_t NPA_DATA_ERROR = 0x84;
inline constexpr uint8_t NPA_CMD_ERROR = 0x88;
inline constexpr uint8_t NPA_ADV_ERROR = 0x8C;

// Commands and subcommands the client and discovery use.
inline constexpr uint8_t NPA_CORVANE_EXTENSION = 0xE0;
inline constexpr uint8_t NPA_VAR_MANAGER = 0xD7;          // Tarragon Internal Var Manager
inline constexpr uint8_t NPA_VAR_MANAGER_INDEXED = 0xD9;  // the same, indexed
// A reply with this command and subcommand bit NPA_ALERT_RESET_BIT resets the alert
// sequence; sessions for NPA_ALERT_COMMAND / NPA_ALERT_SUBCOMMAND receive alerts.
inline constexpr uint8_t NPA_ALERT_RESET_COMMAND = 0xFF;
inline constexpr uint8_t NPA_ALERT_RESET_BIT = 0x01;
inline constexpr uint8_t NPA_ALERT_COMMAND = 0xF0;
inline constexpr uint8_t NPA_ALERT_SUBCOMMAND = 0xE1;

// The debug name of a command ("UNKNOWN COMMAND" for one not in the vocabulary) and
// of a subcommand of a known command ("UNKNOWN SUBCOMMAND" otherwise).
const char* npa_command_name(uint8_t command);
const char* npa_subcommand_name(uint8_t command, uint8_t subcommand);

// Which way an NPA part travels, and whether it carries a subcommand.
enum class NpaPart {
  REQUEST,       // sent: request flag names
  REPLY,         // received, first datagram of a reply: reply flag names
  CONTINUATION,  // received, a later datagram: no subcommand byte
};

// Writes the NPA part `npa`:
//   "| NPA Header:  Len(%d)  Flag(%s)  Command(%02x)  Subcommand(%02x)\n" (the length
//     field; the flags as eight binary digits; a continuation shows "--" as its
//     subcommand),
//   "| NAME\n" for each flag name of the request or reply table,
//   "| COMMAND, SUBCOMMAND\n" (a continuation: "| COMMAND\n"), then the extension
//     subcommands' data as the vocabulary reads it, a line each,
//   "| NPA Data:\n" and a hex dump of the data.
// A part not starting with 0xA5 gives "| NPA Start Packet = %02x.  This is not a
// valid NPA packet!\n" instead; one shorter than its header only the data lines.
void npa_trace_header(FILE* out, std::span<const uint8_t> npa, NpaPart part);

// "| INA Header:  len %d  port ('%c',0x%02x)\n" (a header sent).
void npa_trace_ina_header(FILE* out, int length, uint8_t port);
// "| INA Receive Header:  Len(%d)  ACK(%d)  Seq(%d)  port('%c',0x%02x)\n".
void npa_trace_ina_receive_header(FILE* out, int length, int ack, int sequence, uint8_t port);

// Lines of "| " and up to 16 bytes as "%02x " (a short last line padded with blanks),
// a tab, and the same bytes as characters (those below 0x20 as ".").
void npa_hex_dump(FILE* out, std::span<const uint8_t> bytes);
