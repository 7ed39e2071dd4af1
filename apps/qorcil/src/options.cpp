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

namespace {

// The words of the command line one by one. An option's value is what
// follows its "=", or else the next word.
class Words {
public:
    explicit Words(const std::vector<std::string>& words) : words_(words) {}

    bool Next() {
        if (at_ >= words_.size()) return false;
        word_ = words_[at_++];
        inline_value_.reset();
        if (const auto eq = word_.find('='); word_.rfind("--", 0) == 0 && eq != std::string::npos) {
            inline_value_ = word_.substr(eq + 1);
            word_.resize(eq);
        }
        return true;
    }
    const std::string& word() const { return word_; }
    bool Value(std::string* value, std::string* error) {
        if (inline_value_) {
            *value = *inline_value_;
        } else if (at_ < words_.size()) {
            *value = words_[at_++];
        } else {
            *error = "option " + word_ + " needs a value";
            return false;
        }
        return true;
    }

private:
    const std::vector<std::string>& words_;
    size_t at_ = 0;
    std::string word_;
    std::optional<std::string> inline_value_;
};

bool Count(const std::string& option, const std::string& value, unsigned low, unsigned high, unsigned* count,
           std::string* error) {
    if (ParseUnsigned(value, low, high, count)) return true;
    *error = option + " wants a number from " + std::to_string(low) + " to " + std::to_string(high);
    return false;
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, CliOptions* options, std::string* error) {
    Words words(args);
    std::string value;
    while (words.Next()) {
        const std::string& word = words.word();
        auto for_command = [&](CommandKind kind) {
            if (options->command == kind) return true;
            *error = "option " + word + " does not go with this command";
            return false;
        };
        if (word == "-h" || word == "--help") {
            options->help = true;
        } else if (word == "--version") {
            options->version = true;
        } else if (word == "--json") {
            options->json = true;
        } else if (word == "-P" || word == "--printer") {
            if (!words.Value(&options->printer, error)) return false;
            if (options->printer.empty()) {
                *error = "the printer name is empty";
                return false;
            }
        } else if (word == "--watch") {
            if (!for_command(CommandKind::Status)) return false;
            options->watch = true;
        } else if (word == "--interval") {
            if (!for_command(CommandKind::Status) || !words.Value(&value, error) ||
                !Count(word, value, 100, 3600000, &options->interval_ms, error))
                return false;
        } else if (word == "--hex") {
            if (!for_command(CommandKind::Send) || !words.Value(&value, error)) return false;
            options->hex = value;
        } else if (word == "--receive") {
            if (!for_command(CommandKind::Send) || !words.Value(&value, error) ||
                !Count(word, value, 1, kMaxReceive, &options->receive, error))
                return false;
        } else if (word == "--bytes") {
            if (!for_command(CommandKind::Receive) || !words.Value(&value, error) ||
                !Count(word, value, 1, kMaxReceive, &options->bytes, error))
                return false;
        } else if (word.size() > 1 && word[0] == '-') {
            *error = "unknown option " + word;
            return false;
        } else if (options->command == CommandKind::None) {
            options->command = CommandOf(word);
            if (options->command == CommandKind::None) {
                *error = "unknown command '" + word + "'";
                return false;
            }
        } else if (options->command == CommandKind::Send && options->file.empty()) {
            options->file = word;
        } else {
            *error = "unexpected argument '" + word + "'";
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
