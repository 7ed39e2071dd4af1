// qorcil's command line: a command, the printer, and the command's options.
#pragma once

#include <optional>
#include <string>
#include <vector>

enum class CommandKind { None, Status, Send, Receive, Settings };

struct CliOptions {
    CommandKind command = CommandKind::None;
    std::string printer;  // empty: the first "QOR ZEM" printer
    bool json = false;
    bool help = false;
    bool version = false;
    // status
    bool watch = false;
    unsigned interval_ms = 1000;
    // send: a file ("-" for standard input) or bytes given in hex
    std::string file;
    std::optional<std::string> hex;
    unsigned receive = 0;  // reply bytes wanted in the same exchange
    // receive
    unsigned bytes = 64;
};

inline constexpr unsigned kMaxReceive = 4096;  // what the Reply block holds

// Parses the arguments after the program name. False with a message.
bool ParseCommandLine(const std::vector<std::string>& args, CliOptions* options, std::string* error);

// The overview, or the usage of one command.
std::string UsageText(CommandKind command = CommandKind::None);
