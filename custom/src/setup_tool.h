// The setup tool's application state and its operations: the start-up
// search, the exchanges with the printer, the setting bytes under their
// mask, the form's selections, and the setting files.
#pragma once

#include "exchange.h"
#include "setting_lists.h"
#include "system.h"

#include <string>
#include <vector>

namespace custom {

class SetupTool {
public:
    SetupTool(Host& host, Library& library, PrinterSystem& system, ExchangeTiming timing = {});

    // Start-up: binds the library (with its message on failure).
    bool bind_library();
    // Start-up: the first usable printer; "???" names when there is none.
    bool find_printer();

    // Load the printer: every selection cleared, the settings read (with the
    // host port test on a serial printer), then mask and selections set.
    bool load_printer();
    void write_settings();
    void test_print();
    void reset();
    void load_defaults(Model model);
    // The dialog route: false when the file was refused (after the message).
    bool load_file_dialog(const std::string& path);
    // The document route: silent; the caller initialises the form again.
    bool load_file_document(const std::string& path);
    // A dropped file or one named on the command line: the printer is read
    // anew (the form's initialisation for a document) and the file's bytes
    // are merged afterwards under the new mask, so that the read does not
    // throw away the file just opened. False when the file was ignored.
    bool open_document(const std::string& path);
    bool save_file(const std::string& path);

    const std::string& printer_name() const { return printer_name_; }
    const std::string& port_name() const { return port_name_; }
    InterfaceKind interface_kind() const { return kind_; }
    bool acquired() const { return acquired_; }
    const SettingBytes& setbank() const { return setbank_; }
    const SettingBytes& mask() const { return mask_; }
    Selections& selections() { return selections_; }
    const Selections& selections() const { return selections_; }

    // One exchange as the communication box runs it.
    ExchangeResult exchange(const std::string& status, const std::vector<BYTE>& send, DWORD receive_length);

private:
    bool read_settings();
    void fold_selections();
    void show_selections();
    Answer error(const std::string& text, Buttons buttons = Buttons::Ok);

    Host& host_;
    Library& library_;
    PrinterSystem& system_;
    ExchangeTiming timing_;

    std::string printer_name_ = "???";
    std::string port_name_ = "???";
    InterfaceKind kind_ = InterfaceKind::None;
    bool acquired_ = false;
    SettingBytes setbank_{0, 0, 0, 0};
    SettingBytes mask_{0, 0, 0, 0};
    Selections selections_ = no_selections();
    AbandonedWorkers abandoned_;
};

}  // namespace custom
