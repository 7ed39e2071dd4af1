// What the setup tool's logic needs from its windows: message boxes, the
// communication box with its message pump, and waiting.
#pragma once

#include <chrono>
#include <string>

namespace custom {

enum class Icon { None, Stop, Exclamation, Question };
enum class Buttons { Ok, RetryCancel, YesNo };
enum class Answer { Ok, Retry, Cancel, Yes, No };

struct Message {
    std::string text;
    std::string caption;
    Icon icon = Icon::None;
    Buttons buttons = Buttons::Ok;
    bool topmost = false;
};

class Host {
public:
    virtual ~Host() = default;
    virtual Answer show(const Message& message) = 0;
    // The communication box, shown for the length of one exchange.
    virtual void begin_communication(const std::string& status) = 0;
    virtual void end_communication() = 0;
    // Serves the window's events while an exchange runs.
    virtual void pump() = 0;
    virtual void wait(std::chrono::milliseconds duration) = 0;
    virtual void busy_cursor(bool on) = 0;
};

}  // namespace custom
