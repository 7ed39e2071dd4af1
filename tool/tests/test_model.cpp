#include "collection_time.h"
#include "fake_link.h"
#include "tool_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using tool::Message;
using tooltest::FakeLink;

struct ScriptedView : tool::ToolView {
    std::vector<Message> shown;
    bool answer_ok = true;
    std::optional<size_t> choice;
    std::vector<std::string> offered;
    std::vector<bool> buttons;
    std::vector<unsigned> pauses;
    int focus = 0;

    bool show(const Message& message) override {
        shown.push_back(message);
        return message.buttons == Message::Buttons::Ok || answer_ok;
    }
    std::optional<size_t> choose_printer(const std::vector<std::string>& names) override {
        offered = names;
        return choice;
    }
    void set_buttons_enabled(bool enabled) override { buttons.push_back(enabled); }
    void set_wait_cursor(bool) override {}
    void pause(unsigned ms) override { pauses.push_back(ms); }
    void focus_edit() override { ++focus; }
};

struct SetRun {
    FakeLink link;
    ScriptedView view;
    std::optional<std::vector<std::string>> printers = std::vector<std::string>{"QOR ZEM-Dx10P"};

    void set(const std::string& text) {
        tool::ToolModel model(link, [this] { return printers; });
        model.set(text, view);
        ASSERT_FALSE(view.buttons.empty());
        EXPECT_FALSE(view.buttons.front());
        EXPECT_TRUE(view.buttons.back()) << "the buttons stay usable";
    }
};

const Message warning{tool::kCollectionOffWarning, "Warning", Message::Icon::Exclamation, Message::Buttons::OkCancel};
const Message range_error{tool::kRangeError, "Input error", Message::Icon::Exclamation};

TEST(ToolModel, CommandCarriesTheTimeAsOneByte) {
    SetRun run255, run50;
    run255.set("255");
    run50.set("50");
    EXPECT_EQ((std::vector<uint8_t>{0x1D, 0x61, 0x0E, 0x12, 0x54, 0xFF}), run255.link.sent);
    EXPECT_EQ((std::vector<uint8_t>{0x1D, 0x61, 0x0E, 0x12, 0x54, 0x32}), run50.link.sent);
    EXPECT_TRUE(run50.view.shown.empty());
    EXPECT_EQ((std::vector<std::string>{"bind", "start QOR ZEM-Dx10P", "send", "end", "unbind"}), run50.link.calls);
    EXPECT_EQ(std::vector<unsigned>{1500}, run50.view.pauses);
    EXPECT_EQ(1, run50.view.focus);
}

TEST(ToolModel, TimesUnderTenWarnAndCancelSendsNothing) {
    for (const char* text : {"9", "0", "a12"}) {
        SetRun ok;
        ok.set(text);
        EXPECT_EQ(std::vector<Message>{warning}, ok.view.shown) << text;
        ASSERT_EQ(6u, ok.link.sent.size()) << text;
        EXPECT_EQ(text[0] == '9' ? 9 : 0, ok.link.sent[5]);

        SetRun cancel;
        cancel.view.answer_ok = false;
        cancel.set(text);
        EXPECT_EQ(std::vector<Message>{warning}, cancel.view.shown);
        EXPECT_TRUE(cancel.link.calls.empty());
    }
    SetRun ten;
    ten.set("10");
    EXPECT_TRUE(ten.view.shown.empty());
    EXPECT_EQ(10, ten.link.sent.at(5));
}

TEST(ToolModel, EditTextReadAsLeadingDigitsOfThreeCharacters) {
    EXPECT_EQ(12, tool::read_collection_time("12a"));
    EXPECT_EQ(0, tool::read_collection_time("a12"));
    EXPECT_EQ(123, tool::read_collection_time("1234"));
    EXPECT_EQ(7, tool::read_collection_time(" 7"));
    EXPECT_EQ(-5, tool::read_collection_time("-5"));
    EXPECT_EQ(std::nullopt, tool::read_collection_time(""));

    for (const char* text : {"", "256", "999", "-1"}) {
        SetRun run;
        run.set(text);
        EXPECT_EQ(std::vector<Message>{range_error}, run.view.shown) << text;
        EXPECT_TRUE(run.link.calls.empty());
    }
}

TEST(ToolModel, PrinterChoice) {
    SetRun cancel;
    cancel.printers = std::vector<std::string>{"First", "Second"};
    cancel.set("50");
    EXPECT_EQ((std::vector<std::string>{"First", "Second"}), cancel.view.offered);
    EXPECT_TRUE(cancel.view.shown.empty());
    EXPECT_TRUE(cancel.link.calls.empty());

    SetRun second;
    second.printers = std::vector<std::string>{"First", "Second"};
    second.view.choice = 1;
    second.set("50");
    EXPECT_EQ("start Second", second.link.calls.at(1));

    const Message none{tool::kNoPrinter, "Error", Message::Icon::Stop};
    for (auto printers : {std::optional<std::vector<std::string>>{}, std::optional(std::vector<std::string>{})}) {
        SetRun run;
        run.printers = printers;
        run.set("50");
        EXPECT_EQ(std::vector<Message>{none}, run.view.shown);
        EXPECT_TRUE(run.link.calls.empty());
    }
}

TEST(ToolModel, ConnectionFailuresShowTwoMessagesAndFreeTheLibrary) {
    const Message open_failed{tool::kOpenFailed, tool::kProgramTitle, Message::Icon::Stop};
    SetRun no_library;
    no_library.link.bind_ok = false;
    no_library.set("50");
    EXPECT_EQ((std::vector<Message>{{tool::kNoLibrary, "Error", Message::Icon::Stop, Message::Buttons::Ok, false},
                                    open_failed}),
              no_library.view.shown);
    EXPECT_EQ((std::vector<std::string>{"bind", "unbind"}), no_library.link.calls);

    SetRun no_session;
    no_session.link.start_ok = false;
    no_session.set("50");
    EXPECT_EQ((std::vector<Message>{{tool::kNoSession, "Error", Message::Icon::Stop, Message::Buttons::Ok, false},
                                    open_failed}),
              no_session.view.shown);
    EXPECT_EQ((std::vector<std::string>{"bind", "start QOR ZEM-Dx10P", "unbind"}), no_session.link.calls);

    SetRun no_send;
    no_send.link.send_ok = false;
    no_send.set("50");
    EXPECT_EQ((std::vector<Message>{{tool::kSendFailed, tool::kProgramTitle, Message::Icon::Stop}}),
              no_send.view.shown);
    EXPECT_EQ("end", no_send.link.calls.at(3));
}

TEST(ToolModel, SessionThatWillNotEndKeepsTheLibraryUntilTheDialogGoes) {
    FakeLink link;
    link.end_ok = false;
    ScriptedView view;
    tool::ToolModel model(link, [] { return std::vector<std::string>{"P"}; });
    model.set("50", view);
    EXPECT_EQ((std::vector<std::string>{"bind", "start P", "send", "end"}), link.calls);
    link.end_ok = true;
    model.close();
    EXPECT_EQ((std::vector<std::string>{"bind", "start P", "send", "end", "end", "unbind"}), link.calls);
}

}  // namespace
