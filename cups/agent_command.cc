// Splitting the transport agent's command line into words.
#include "cups/agent_command.h"

#include "common/format.h"

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// Characters a shell acts on outside quotes, so that the line would not mean what its
// words say.
bool shell_special(char c) {
  return std::string_view("|&;<>()$`*?[\n").find(c) != std::string_view::npos;
}

}  // namespace

AgentCommand split_command_line(std::string_view line) {
  AgentCommand command;
  // linebuilder ends its line with a newline.
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  auto refuse = [&](const std::string& why) {
    command.argv.clear();
    command.error = why;
    return command;
  };
  std::string word;
  bool in_word = false;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (is_blank(c)) {
      if (in_word) command.argv.push_back(std::move(word));
      word.clear();
      in_word = false;
      continue;
    }
    if (!in_word && (c == '#' || c == '~')) {
      return refuse(strprintf("'%c' at the start of a word", c));
    }
    in_word = true;
    if (c == '\'') {
      size_t end = line.find('\'', i + 1);
      if (end == std::string_view::npos) return refuse("a single quote is not closed");
      word.append(line.substr(i + 1, end - i - 1));
      i = end;
    } else if (c == '"') {
      size_t j = i + 1;
      for (; j < line.size() && line[j] != '"'; ++j) {
        char d = line[j];
        if (d == '$' || d == '`') return refuse(strprintf("'%c' between double quotes", d));
        if (d == '\\' && j + 1 < line.size() &&
            std::string_view("\\\"$`\n").find(line[j + 1]) != std::string_view::npos) {
          ++j;
          if (line[j] == '\n') continue;  // a line continuation
          d = line[j];
        }
        word += d;
      }
      if (j >= line.size()) return refuse("a double quote is not closed");
      i = j;
    } else if (c == '\\') {
      if (i + 1 >= line.size()) return refuse("a backslash ends the line");
      word += line[++i];
    } else if (shell_special(c)) {
      return refuse(strprintf("'%c' outside quotes", c));
    } else {
      word += c;
    }
  }
  if (in_word) command.argv.push_back(std::move(word));
  if (command.argv.empty()) return refuse("the line is empty");
  if (command.argv[0].empty() || command.argv[0][0] != '/') {
    return refuse("the agent is not named by an absolute path");
  }
  return command;
}

void add_raw_flag(std::vector<std::string>& argv) {
  if (argv.empty()) return;
  const std::string& path = argv[0];
  std::string_view base = std::string_view(path).substr(path.rfind('/') + 1);
  if (base != "netfeeder") return;
  // Given twice, the flag does no harm; looked for among all words, it could be found
  // as the value of another option (a job title "-r").
  if (argv.size() > 1 && argv[1] == "-r") return;
  argv.insert(argv.begin() + 1, "-r");
}
