// Set through the whole stack: the dialog, QORCIL bound by name, qorspoold
// with the model module and QORLM2K, and qoremu behind COM1.
#include "cil_stack.h"
#include "collection_dialog.h"
#include "presenter_printers.h"
#include "resource.h"

#include "qortest_ui.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

std::string collection_time(ciltest::PrinterStack& stack) {
    std::vector<std::string> lines;
    if (!stack.control("settings", &lines)) return "";
    for (const auto& line : lines)
        if (line.rfind("collection-time ", 0) == 0) return line.substr(16);
    return "";
}

TEST(ToolStack, SetReachesTheEmulator) {
    ciltest::PrinterStack stack;
    ASSERT_TRUE(stack.ok());
    ASSERT_EQ(std::vector<std::string>{ciltest::PrinterStack::kPrinter}, tool::presenter_printers());
    tool::CilLink link;
    tool::ToolModel model(link, tool::presenter_printers);
    HWND dialog = tool::create_collection_dialog(model, u"tool");
    ASSERT_NE(nullptr, dialog);
    auto set = [&](const char* text) {
        qortest::widget_of<QLineEdit>(GetDlgItem(dialog, IDC_VALUE))->setText(text);
        QTest::mouseClick(qortest::widget_of<QPushButton>(GetDlgItem(dialog, IDC_SET)), Qt::LeftButton);
    };
    set("120");  // away from the factory's 5.0 s first
    EXPECT_EQ("120", collection_time(stack));
    set("50");
    EXPECT_EQ("50", collection_time(stack));
    DestroyWindow(dialog);
}

}  // namespace
