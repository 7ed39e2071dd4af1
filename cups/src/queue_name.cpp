#include "queue_name.h"

namespace qorcups {

std::string QueueName(const std::string& printer) {
    std::string name;
    for (unsigned char c : printer) {
        if (name.size() == 127) break;
        const bool refused = c <= ' ' || c >= 0x7F || c == '/' || c == '\\' || c == '#' || c == '?' || c == '\'' ||
                             c == '"';
        name.push_back(refused ? '_' : static_cast<char>(c));
    }
    return name.find_first_not_of('_') == std::string::npos ? std::string() : name;
}

}  // namespace qorcups
