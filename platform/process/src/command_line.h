// The platform's command-line rules: the program name is the first token
// (quoted or up to white space); the arguments after it follow the C
// runtime's rules for quotes and backslashes.
#pragma once

#include <string>
#include <vector>

namespace qor::process {

struct CommandLine {
    std::string program;             // as written, quotes removed
    std::vector<std::string> args;   // after the program
};

CommandLine parse_command_line(const std::string& line);

// The file `program` names (as CreateProcessA looks for it), or empty.
std::string find_program(const std::string& program);

}  // namespace qor::process
