// qorcil: status, raw bytes and the hardware settings of a QOR ZEM-D
// printer, through QORCIL loaded by name as the suite's tools load it.
#include "commands.h"
#include "options.h"

#include <cstdio>

int main(int argc, char** argv) {
    CliOptions options;
    std::string error;
    if (!ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), &options, &error)) {
        std::fprintf(stderr, "qorcil: %s\n\n%s", error.c_str(), UsageText(options.command).c_str());
        return kExitBadInput;
    }
    if (options.help) {
        std::fputs(UsageText(options.command).c_str(), stdout);
        return kExitOk;
    }
    if (options.version) {
        std::puts("qorcil 1.0");
        return kExitOk;
    }
    std::vector<uint8_t> bytes;
    if (options.command == CommandKind::Send && !BytesToSend(options, &bytes, &error)) {
        std::fprintf(stderr, "qorcil: %s\n", error.c_str());
        return kExitBadInput;
    }
    CliSession session;
    if (!session.Load(options.printer, &error)) {
        std::fprintf(stderr, "qorcil: %s\n", error.c_str());
        return kExitFailed;
    }
    if (options.command == CommandKind::Status) return RunStatus(session, options);
    if (const uint32_t code = session.Open()) {
        std::fprintf(stderr, "qorcil: %s\n", Failure(session.printer(), "cannot open a session", code).c_str());
        return kExitFailed;
    }
    switch (options.command) {
    case CommandKind::Status: break;
    case CommandKind::Send: return RunSend(session, options, bytes);
    case CommandKind::Receive: return RunReceive(session, options);
    case CommandKind::Settings: return RunSettings(session, options);
    case CommandKind::None: break;
    }
    return kExitBadInput;
}
