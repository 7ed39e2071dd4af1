#include "options.h"

#include <charconv>

namespace {

bool ParseUnsigned(const std::string& text, unsigned low, unsigned high, unsigned* value) {
    unsigned parsed = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, parsed);
    if (ec != std::errc() || ptr != end || parsed < low || parsed > high) return false;
    *value = parsed;
    return true;
}

CommandKind CommandOf(const std::string& word) {
    if (word == "status") return CommandKind::Status;
    if (word == "send") return CommandKind::Send;
    if (word == "receive") return CommandKind::Receive;
    if (word == "settings") return CommandKind::Settings;
    return CommandKind::None;
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, CliOptions* options, std::string* error) {
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string value;
        bool has_value = false;
        if (arg.rfind("--", 0) == 0) {
            if (auto eq = arg.find('='); eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
                has_value = true;
            }
        }
        auto take_value = [&]() {
            if (has_value) return true;
            if (i + 1 >= args.size()) {
                *error = "option " + arg + " needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };
        auto only_for = [&](CommandKind kind) {
            if (options->command == kind) return true;
            *error = "option " + arg + " does not go with this command";
            return false;
        };
        if (arg == "-h" || arg == "--help") {
            options->help = true;
        } else if (arg == "--version") {
            options->version = true;
        } else if (arg == "--json") {
            options->json = true;
        } else if (arg == "-P" || arg == "--printer") {
            if (!take_value()) return false;
            if (value.empty()) {
                *error = "the printer name is empty";
                return false;
            }
            options->printer = value;
        } else if (arg == "--watch") {
            if (!only_for(CommandKind::Status)) return false;
            options->watch = true;
        } else if (arg == "--interval") {
            if (!only_for(CommandKind::Status) || !take_value()) return false;
            if (!ParseUnsigned(value, 100, 3600000, &options->interval_ms)) {
                *error = "--interval wants milliseconds, 100 to 3600000";
                return false;
            }
        } else if (arg == "--hex") {
            if (!only_for(CommandKind::Send) || !take_value()) return false;
            options->hex = value;
        } else if (arg == "--receive") {
            if (!only_for(CommandKind::Send) || !take_value()) return false;
            if (!ParseUnsigned(value, 1, kMaxReceive, &options->receive)) {
                *error = "--receive wants a count from 1 to " + std::to_string(kMaxReceive);
                return false;
            }
        } else if (arg == "--bytes") {
            if (!only_for(CommandKind::Receive) || !take_value()) return false;
            if (!ParseUnsigned(value, 1, kMaxReceive, &options->bytes)) {
                *error = "--bytes wants a count from 1 to " + std::to_string(kMaxReceive);
                return false;
            }
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            *error = "unknown option " + arg;
            return false;
        } else if (options->command == CommandKind::None) {
            options->command = CommandOf(arg);
            if (options->command == CommandKind::None) {
                *error = "unknown command '" + arg + "'";
                return false;
            }
        } else if (options->command == CommandKind::Send && options->file.empty()) {
            options->file = arg;
        } else {
            *error = "unexpected argument '" + arg + "'";
            return false;
        }
    }
    if (options->help || options->version) return true;
    if (options->command == CommandKind::None) {
        *error = "no command given";
        return false;
    }
    if (options->command == CommandKind::Send && options->file.empty() == !options->hex.has_value()) {
        *error = "send wants either a FILE or --hex BYTES";
        return false;
    }
    return true;
}

std::string UsageText(CommandKind command) {
    const std::string printer = "  -P, --printer NAME  the printer (default: the first \"QOR ZEM\" printer)\n";
    switch (command) {
    case CommandKind::Status:
        return "usage: qorcil status [-P PRINTER] [--watch [--interval MS]] [--json]\n"
               "Asks the printer for its status and prints the conditions and the status\n"
               "word. Exit status: 0 ready, 1 a condition is present (or the query failed),\n"
               "2 the printer does not answer.\n\n" +
               printer +
               "  --watch             keep asking (every --interval ms, default 1000) and print\n"
               "                      each change until interrupted\n"
               "  --json              one JSON object per status\n";
    case CommandKind::Send:
        return "usage: qorcil send [-P PRINTER] FILE|--hex \"1d 61 ..\" [--receive N] [--json]\n"
               "Sends the bytes of FILE ('-' for standard input), or the bytes written in\n"
               "hexadecimal, to the printer as they are.\n\n" +
               printer +
               "  --hex BYTES         two hex digits a byte; spaces, commas and 0x are allowed\n"
               "  --receive N         then read up to N reply bytes in the same exchange and\n"
               "                      print them in hexadecimal (every session starts with the\n"
               "                      replies of earlier ones cleared, so ask for them here)\n"
               "  --json              the counts (and bytes) as JSON\n";
    case CommandKind::Receive:
        return "usage: qorcil receive [-P PRINTER] [--bytes N] [--json]\n"
               "Prints what the printer has sent back in this session (up to N bytes,\n"
               "default 64, at most 4096) in hexadecimal.\n\n" +
               printer + "  --json              the bytes as JSON\n";
    case CommandKind::Settings:
        return "usage: qorcil settings [-P PRINTER] [--json]\n"
               "Reads the printer's four hardware setting bytes with the setup tool's read\n"
               "command and prints them in hexadecimal.\n\n" +
               printer + "  --json              the bytes as JSON\n";
    case CommandKind::None:
        break;
    }
    return "usage: qorcil COMMAND [-P PRINTER] [OPTIONS]\n"
           "Talks to a QOR ZEM-D printer through QORCIL and the spooler.\n\n"
           "Commands:\n"
           "  status     the printer's conditions and status word (--watch, --json)\n"
           "  send       send a file or hex bytes to the printer\n"
           "  receive    print what the printer sent back\n"
           "  settings   read the four hardware setting bytes\n\n"
           "qorcil COMMAND --help tells more. --version prints the version.\n"
           "Exit status: 0 done, 1 failed, 2 bad usage or input (status: 0 ready,\n"
           "1 a condition, 2 no answer).\n";
}
