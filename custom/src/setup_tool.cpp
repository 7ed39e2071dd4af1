#include "setup_tool.h"

#include "commands.h"
#include "host_serial_test.h"
#include "printer_search.h"
#include "setting_file.h"
#include "texts.h"

#include "common/setting_reply.h"

namespace custom {

namespace {
// The printer's time to take the recovery job before its queue is purged.
constexpr std::chrono::milliseconds kRecoveryPause{1000};
constexpr std::chrono::milliseconds kBeforeTestPrint{2000};
}  // namespace

SetupTool::SetupTool(Host& host, Library& library, PrinterSystem& system, ExchangeTiming timing)
    : host_(host), library_(library), system_(system), timing_(timing) {}

Answer SetupTool::error(const std::string& text, Buttons buttons) {
    return host_.show({text, texts::kErrorCaption, Icon::Stop, buttons, true});
}

bool SetupTool::bind_library() {
    if (library_.bind()) return true;
    error(texts::kLibraryMissing);
    return false;
}

ExchangeResult SetupTool::exchange(const std::string& status, const std::vector<BYTE>& send, DWORD receive_length) {
    host_.begin_communication(status);
    ExchangeResult result;
    if (!bind_library()) {
        error(texts::kLibraryMissingInExchange);
    } else {
        result = run_exchange(library_.link(), printer_name_, send, receive_length, timing_, [this] { host_.pump(); },
                              abandoned_);
        library_.release();
    }
    host_.end_communication();
    return result;
}

bool SetupTool::find_printer() {
    bool seen = false;
    for (const PrinterRecord& p : system_.local_printers()) {
        if (!is_candidate(p)) continue;
        seen = true;
        if (p.status != 0) {
            system_.send_raw_job(p.name, kRecoveryJob, host_);
            host_.wait(kRecoveryPause);
            system_.purge_zem_printers();
        }
        printer_name_ = p.name;
        if (!exchange(with_text(texts::kConnectionTest, p.name), {}, 0).ok) break;
        port_name_ = p.port;
        kind_ = interface_of(p.port);
        if (kind_ == InterfaceKind::None) {
            error(texts::kUnknownInterface);
        } else if (p.attributes == 0) {
            error(texts::kNoBidirectional);
        } else {
            return true;
        }
        break;
    }
    host_.show({seen ? texts::kCannotAccess : texts::kNoDriver, texts::kProgramTitle, Icon::Stop, Buttons::Ok, true});
    printer_name_ = port_name_ = "???";
    kind_ = InterfaceKind::None;
    return false;
}

bool SetupTool::read_settings() {
    const std::vector<BYTE> command(std::begin(qor::settings::kReadCommand), std::end(qor::settings::kReadCommand));
    for (;;) {
        ExchangeResult result = exchange(texts::kReading, command, qor::settings::kReadReplyLength);
        if (!result.ok) {
            if (error(with_text(texts::kPortFailed, port_name_), Buttons::RetryCancel) == Answer::Retry) continue;
            return false;
        }
        SettingBytes bytes{};
        if (!qor::settings::parse_setting_reply(result.reply.data(), result.reply.size(), &bytes)) {
            if (error(with_text(texts::kNoSettingData, port_name_), Buttons::RetryCancel) == Answer::Retry) continue;
            return false;
        }
        setbank_ = bytes;
        break;
    }
    if (kind_ != InterfaceKind::Serial) return true;
    DCB host{};
    if (!system_.host_port_config(port_name_, &host)) return false;
    const std::string mismatch = serial_mismatch(setbank_[3], host);
    if (mismatch.empty()) return true;
    error(mismatch);
    return false;
}

bool SetupTool::load_printer() {
    selections_ = no_selections();
    acquired_ = read_settings();
    mask_ = mask_for(acquired_, kind_);
    if (acquired_) show_selections();
    return acquired_;
}

void SetupTool::show_selections() {
    selections_ = bytes_to_selections(setbank_, kind_);
    // Lists the interface does not show are written as zero.
    if (kind_ == InterfaceKind::Parallel || kind_ == InterfaceKind::Usb) {
        at(selections_, List::Parity) = at(selections_, List::StopBit) = at(selections_, List::DataControl) = 0;
        if (kind_ == InterfaceKind::Usb) at(selections_, List::BaudRate) = 0;
    }
}

void SetupTool::fold_selections() { setbank_ = selections_to_bytes(selections_, setbank_, mask_, kind_); }

void SetupTool::write_settings() {
    if (!acquired_) {
        host_.show({texts::kNotAcquired, texts::kProgramTitle, Icon::None, Buttons::Ok, false});
        return;
    }
    if (!selections_complete(selections_)) {
        host_.show({texts::kNotSelected, texts::kWarningCaption, Icon::Exclamation, Buttons::Ok, true});
        return;
    }
    fold_selections();
    const std::vector<BYTE> command = write_command(setbank_);
    ExchangeResult result = exchange(texts::kWriting, command, 0);
    if (!result.ok) {
        error(texts::kWriteFailed);
        return;
    }
    if (host_.show({texts::kWriteDone, texts::kProgramTitle, Icon::None, Buttons::YesNo, true}) != Answer::Yes)
        return;
    host_.busy_cursor(true);
    host_.wait(kBeforeTestPrint);
    test_print();
    host_.busy_cursor(false);
}

void SetupTool::test_print() {
    if (!exchange(texts::kPrinting, kTestPrintCommand, 0).ok) error(texts::kTestPrintFailed);
}

void SetupTool::reset() {
    if (!exchange(texts::kResetting, kResetCommand, 0).ok) error(texts::kResetFailed);
}

void SetupTool::load_defaults(Model model) {
    setbank_ = model_defaults(model, setbank_, mask_, kind_);
    if (acquired_) show_selections();
}

bool SetupTool::load_file_dialog(const std::string& path) {
    // One byte more than a setting file shows that a file is too long.
    std::optional<std::string> data = read_file_head(path, kSettingFileSize + 1);
    if (!data) return false;
    auto bytes = parse_setting_file(reinterpret_cast<const BYTE*>(data->data()), data->size(), FileRoute::Dialog);
    if (!bytes) {
        host_.show({texts::kUnknownFile, texts::kProgramTitle, Icon::Question, Buttons::Ok, true});
        return false;
    }
    setbank_ = merge_under_mask(setbank_, *bytes, mask_);
    if (acquired_) show_selections();
    return true;
}

bool SetupTool::load_file_document(const std::string& path) {
    std::optional<std::string> data = read_file_head(path, kSettingFileSize);
    if (!data) return false;
    auto bytes = parse_setting_file(reinterpret_cast<const BYTE*>(data->data()), data->size(), FileRoute::Document);
    if (!bytes) return false;
    setbank_ = merge_under_mask(setbank_, *bytes, mask_);
    return true;
}

bool SetupTool::open_document(const std::string& path) {
    std::optional<std::string> data = read_file_head(path, kSettingFileSize);
    auto bytes = data ? parse_setting_file(reinterpret_cast<const BYTE*>(data->data()), data->size(), FileRoute::Document)
                      : std::nullopt;
    load_printer();
    if (!bytes) return false;
    setbank_ = merge_under_mask(setbank_, *bytes, mask_);
    if (acquired_) show_selections();
    return true;
}

bool SetupTool::save_file(const std::string& path) {
    fold_selections();
    return write_setting_file(path, setbank_);
}

}  // namespace custom
