#include "commands.h"

#include "hex.h"
#include "texts.h"

#include "qor/support/json.h"

#include "common/setting_reply.h"
#include "qor/sysinfo.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) { g_interrupted = 1; }

void PrintError(const std::string& message) { std::fprintf(stderr, "qorcil: %s\n", message.c_str()); }

std::string HexWord(uint32_t word) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", word);
    return text;
}

int StatusExit(uint32_t word) {
    if (word == QORCIL_STATUS_NO_ANSWER) return kExitNoAnswer;
    return word == 0 ? kExitReady : kExitCondition;
}

void PrintStatus(const CliSession& session, const CliOptions& options, uint32_t word) {
    const auto names = ConditionNames(word);
    const bool answering = word != QORCIL_STATUS_NO_ANSWER;
    if (options.json) {
        std::string list;
        for (const auto& name : names) list += (list.empty() ? "" : ", ") + qor::json_string(name);
        std::printf("{\"printer\": %s, \"status\": \"%s\", \"word\": %u, \"answering\": %s, \"ready\": %s, "
                    "\"conditions\": [%s]}\n",
                    qor::json_string(session.printer()).c_str(), HexWord(word).c_str(), word, answering ? "true" : "false",
                    word == 0 ? "true" : "false", answering ? list.c_str() : "");
    } else if (!answering) {
        std::printf("%s: not answering (%s)\n", session.printer().c_str(), HexWord(word).c_str());
    } else if (names.empty()) {
        std::printf("%s: ready (%s)\n", session.printer().c_str(), HexWord(word).c_str());
    } else {
        std::string list;
        for (const auto& name : names) list += (list.empty() ? "" : ", ") + name;
        std::printf("%s: %s (%s)\n", session.printer().c_str(), list.c_str(), HexWord(word).c_str());
        for (const auto& name : names) {
            const std::string message = ConditionMessage(name);
            if (!message.empty()) std::printf("  %s\n", message.c_str());
        }
    }
    std::fflush(stdout);
}

// Sleeps up to `ms`, waking early when interrupted.
void PauseUnlessInterrupted(unsigned ms) {
    for (unsigned slept = 0; slept < ms && !g_interrupted; slept += 50) Sleep(50);
}

// The whole of a file, or of standard input for "-".
bool ReadAll(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
    FILE* file = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
    if (!file) {
        *error = "cannot read '" + path + "': " + std::strerror(errno);
        return false;
    }
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes->insert(bytes->end(), chunk, chunk + got);
    const bool failed = std::ferror(file) != 0;
    const int saved = errno;
    if (file != stdin) std::fclose(file);
    if (failed) *error = "cannot read '" + path + "': " + std::strerror(saved);
    return !failed;
}

}  // namespace

// A printer that does not answer cannot be greeted, so its session does
// not open: that is its status too. Watching, the session is opened again
// until the printer answers.
int RunStatus(CliSession& session, const CliOptions& options) {
    if (options.watch) {
        std::signal(SIGINT, OnInterrupt);
        std::signal(SIGTERM, OnInterrupt);
    }
    int exit_code = kExitFailed;
    bool shown = false;
    DWORD last_word = 0, last_code = 0;
    do {
        DWORD word = 0;
        const bool opening = !session.is_open();
        DWORD code = opening ? session.Open() : 0;
        if (code == QORCIL_E_NO_ANSWER) {
            code = 0;
            word = QORCIL_STATUS_NO_ANSWER;
        } else if (code == 0) {
            code = session.cil().GetQorPrinterStatus(session.handle(), &word, QORCIL_CURRENT);
        }
        if (code != 0) {
            if (!shown || last_code != code)
                PrintError(Failure(session.printer(), opening ? "cannot open a session" : "no status", code));
            exit_code = kExitFailed;
        } else {
            if (!shown || last_code != 0 || last_word != word) PrintStatus(session, options, word);
            exit_code = StatusExit(word);
            last_word = word;
        }
        last_code = code;
        shown = true;
        if (options.watch) PauseUnlessInterrupted(options.interval_ms);
    } while (options.watch && !g_interrupted);
    return exit_code;
}

bool BytesToSend(const CliOptions& options, std::vector<uint8_t>* bytes, std::string* error) {
    if (options.hex) {
        if (ParseHexBytes(*options.hex, bytes, error)) return true;
        *error = "--hex: " + *error;
        return false;
    }
    if (!ReadAll(options.file, bytes, error)) return false;
    if (bytes->empty()) {
        *error = "'" + options.file + "' is empty: nothing to send";
        return false;
    }
    if (bytes->size() > 0xFFFFFFFFu) {
        *error = "'" + options.file + "' is too large";
        return false;
    }
    return true;
}

int RunSend(CliSession& session, const CliOptions& options, const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> reply(options.receive);
    DWORD sent = 0, received = 0;
    const DWORD code = session.cil().CommQorPrinterData(session.handle(), bytes.data(), DWORD(bytes.size()), &sent,
                                                        reply.data(), DWORD(reply.size()), &received);
    const std::string hex = FormatHexBytes(reply.data(), received);
    if (options.json)
        std::printf("{\"printer\": %s, \"result\": %u, \"length\": %zu, \"sent\": %u, \"received\": %u, "
                    "\"bytes\": \"%s\"}\n",
                    qor::json_string(session.printer()).c_str(), code, bytes.size(), sent, received, hex.c_str());
    if (code != 0) {
        PrintError(Failure(session.printer(), "sent " + std::to_string(sent) + " of " + std::to_string(bytes.size()) +
                                                  " bytes",
                           code));
        return kExitFailed;
    }
    if (sent != bytes.size()) {
        PrintError(session.printer() + ": the printer took " + std::to_string(sent) + " of " +
                   std::to_string(bytes.size()) + " bytes");
        return kExitFailed;
    }
    if (!options.json) {
        std::printf("%s: sent %u bytes\n", session.printer().c_str(), sent);
        if (received) std::printf("%s\n", hex.c_str());
    }
    return kExitOk;
}

int RunReceive(CliSession& session, const CliOptions& options) {
    std::vector<uint8_t> buffer(options.bytes);
    DWORD received = 0;
    const DWORD code = session.cil().CommQorPrinterData(session.handle(), nullptr, 0, nullptr, buffer.data(),
                                                        DWORD(buffer.size()), &received);
    if (code != 0) {
        PrintError(Failure(session.printer(), "nothing received", code));
        return kExitFailed;
    }
    const std::string hex = FormatHexBytes(buffer.data(), received);
    if (options.json)
        std::printf("{\"printer\": %s, \"count\": %u, \"bytes\": \"%s\"}\n", qor::json_string(session.printer()).c_str(),
                    received, hex.c_str());
    else if (received)
        std::printf("%s\n", hex.c_str());
    return kExitOk;
}

// As the setup tool reads them: the read command with a 21-byte receive,
// then further receives until the reply is complete, at most five calls.
int RunSettings(CliSession& session, const CliOptions& options) {
    constexpr int kCalls = 5;
    constexpr unsigned kPauseMs = 30;
    const DWORD wanted = qor::settings::kReadReplyLength;
    std::vector<uint8_t> reply(wanted);
    DWORD sent = 0, received = 0;
    qor::settings::SettingBytes settings{};
    bool parsed = false;
    for (int call = 0; call < kCalls && !parsed && received < wanted; ++call) {
        const bool sending = sent < sizeof qor::settings::kReadCommand;
        DWORD sent_now = 0, received_now = 0;
        const DWORD code = session.cil().CommQorPrinterData(
            session.handle(), sending ? qor::settings::kReadCommand + sent : nullptr,
            sending ? DWORD(sizeof qor::settings::kReadCommand - sent) : 0, &sent_now, reply.data() + received,
            wanted - received, &received_now);
        if (code != 0) {
            PrintError(Failure(session.printer(), "cannot read the settings", code));
            return kExitFailed;
        }
        sent += sent_now;
        received += received_now;
        parsed = qor::settings::parse_setting_reply(reply.data(), received, &settings);
        if (!parsed) Sleep(kPauseMs);
    }
    if (!parsed) {
        PrintError(session.printer() + ": no setting data in the printer's reply (" +
                   (received ? FormatHexBytes(reply.data(), received) : std::string("nothing")) + ")");
        return kExitFailed;
    }
    const std::string hex = FormatHexBytes(settings.data(), settings.size());
    if (options.json)
        std::printf("{\"printer\": %s, \"setbank\": \"%s\", \"bytes\": [%u, %u, %u, %u]}\n",
                    qor::json_string(session.printer()).c_str(), hex.c_str(), settings[0], settings[1], settings[2],
                    settings[3]);
    else
        std::printf("setbank %s\n", hex.c_str());
    return kExitOk;
}
