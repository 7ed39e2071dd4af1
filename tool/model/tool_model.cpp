#include "tool_model.h"

#include "collection_time.h"

namespace tool {

void ToolModel::set(const std::string& edit_text, ToolView& view) {
    view.set_buttons_enabled(false);
    std::optional<int> value = read_collection_time(edit_text);
    if (!value || *value < 0 || *value > kMaxTime) {
        view.show({kRangeError, "Input error", Message::Icon::Exclamation});
        view.set_buttons_enabled(true);
        return;
    }
    if (*value < kCollectionOff &&
        !view.show({kCollectionOffWarning, "Warning", Message::Icon::Exclamation, Message::Buttons::OkCancel})) {
        view.set_buttons_enabled(true);
        return;
    }
    std::optional<std::string> printer = choose(view);
    if (!printer) {
        view.set_buttons_enabled(true);
        return;
    }
    view.set_wait_cursor(true);
    send(*printer, static_cast<uint8_t>(*value), view);
    view.pause(kPauseAfterSet);
    view.set_buttons_enabled(true);
    view.set_wait_cursor(false);
    view.focus_edit();
}

std::optional<std::string> ToolModel::choose(ToolView& view) {
    std::optional<std::vector<std::string>> names = printers_();
    if (!names || names->empty()) {
        view.show({kNoPrinter, "Error", Message::Icon::Stop});
        return std::nullopt;
    }
    if (names->size() == 1) return names->front();
    std::optional<size_t> chosen = view.choose_printer(*names);
    if (!chosen || *chosen >= names->size()) return std::nullopt;
    return (*names)[*chosen];
}

void ToolModel::send(const std::string& printer, uint8_t tenths, ToolView& view) {
    const char* failure = nullptr;
    if (!link_.bind()) failure = kNoLibrary;
    else if (!link_.start(printer)) failure = kNoSession;
    if (failure) {
        close();
        view.show({failure, kDefaultCaption, Message::Icon::Stop, Message::Buttons::Ok, false});
        view.show({kOpenFailed, kProgramTitle, Message::Icon::Stop});
        return;
    }
    auto command = collection_command(tenths);
    if (!link_.send(command.data(), command.size()))
        view.show({kSendFailed, kProgramTitle, Message::Icon::Stop});
    close();
}

void ToolModel::close() {
    if (link_.end()) link_.unbind();
}

}  // namespace tool
