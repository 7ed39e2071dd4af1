// The four commands on an open session; each returns the exit status.
#pragma once

#include "cli_session.h"
#include "options.h"

#include <cstdint>
#include <string>
#include <vector>

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitBadInput = 2;
// status
inline constexpr int kExitReady = 0;
inline constexpr int kExitCondition = 1;
inline constexpr int kExitNoAnswer = 2;

int RunStatus(CliSession& session, const CliOptions& options);
int RunSend(CliSession& session, const CliOptions& options, const std::vector<uint8_t>& bytes);
int RunReceive(CliSession& session, const CliOptions& options);
int RunSettings(CliSession& session, const CliOptions& options);

// The bytes `send` is to send: the file's or the hex ones. False with a
// message naming the file.
bool BytesToSend(const CliOptions& options, std::vector<uint8_t>* bytes, std::string* error);
