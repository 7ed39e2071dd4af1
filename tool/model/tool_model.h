// The presenter utility's decisions: the Set operation from the edit's text
// to the command sent, with every message it shows. The window implements
// ToolView; tests give a scripted one.
#pragma once

#include "printer_link.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tool {

inline constexpr const char* kCaption = "QOR Presenter collection time setup. ";
// The caption of the messages that name the program rather than the problem.
inline constexpr const char* kProgramTitle = "tool";
// The platform's caption for a message box given none.
inline constexpr const char* kDefaultCaption = "Error";

inline constexpr const char* kRangeError = "The value must be from 0 to 255.        ";
inline constexpr const char* kCollectionOffWarning = "When the value is under 9, automatic collection is disabled.";
inline constexpr const char* kNoPrinter = "Fail to find the printer driver.";
inline constexpr const char* kNoLibrary = "Fail to load library [QORCIL.DLL]   ";
inline constexpr const char* kNoSession = "Fail to open the printer   ";
inline constexpr const char* kOpenFailed = "Fail to open the printer.";
inline constexpr const char* kSendFailed = "Fail to send data to the printer.";

inline constexpr unsigned kPauseAfterSet = 1500;  // ms

struct Message {
    enum class Icon { Exclamation, Stop };
    enum class Buttons { Ok, OkCancel };
    std::string text;
    std::string caption;
    Icon icon = Icon::Stop;
    Buttons buttons = Buttons::Ok;
    bool owned = true;  // false: a box without an owner window
    bool operator==(const Message&) const = default;
};

class ToolView {
public:
    virtual ~ToolView() = default;
    // True for OK.
    virtual bool show(const Message& message) = 0;
    // The index of the chosen printer; nothing for Cancel.
    virtual std::optional<size_t> choose_printer(const std::vector<std::string>& names) = 0;
    virtual void set_buttons_enabled(bool enabled) = 0;
    virtual void set_wait_cursor(bool waiting) = 0;
    virtual void pause(unsigned milliseconds) = 0;
    virtual void focus_edit() = 0;
};

using PrinterList = std::function<std::optional<std::vector<std::string>>()>;

class ToolModel {
public:
    ToolModel(PrinterLink& link, PrinterList printers) : link_(link), printers_(std::move(printers)) {}

    // The Set button with the edit's text.
    void set(const std::string& edit_text, ToolView& view);
    // The dialog goes: any open session is ended and the library freed.
    void close();

private:
    std::optional<std::string> choose(ToolView& view);
    void send(const std::string& printer, uint8_t tenths, ToolView& view);

    PrinterLink& link_;
    PrinterList printers_;
};

}  // namespace tool
