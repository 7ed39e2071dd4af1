// What qorcil tells the user: the meaning of a QORCIL result code and the
// short names of the printer's conditions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// "a session is open elsewhere in the system"; platform errors by number.
std::string ResultMeaning(uint32_t code);

// The conditions present in a status word, by name ("paper-out", ...), in
// the order of the status bits.
std::vector<std::string> ConditionNames(uint32_t status);
// The status monitor's message for one named condition ("" when none).
std::string ConditionMessage(const std::string& name);
