// The setup tool's main window on real Qt widgets (offscreen), over a
// scripted QORCIL and spooler: the form for each interface, the enabling
// rules, the menu prompts, files and drops.
#include "form_rules.h"
#include "main_window.h"
#include "resource.h"

#include "fake_system.h"
#include "qortest.h"
#include "qortest_ui.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace custom;
using namespace std::chrono_literals;
using qortest::text_of;
using qortest::widget_of;

namespace {

const std::vector<BYTE> kFactoryReply = {0x55, 0x08, 0x01, 0x07, 0x00, 0x00, 0x00, 0x08, 0x0C};

std::string read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

class CustomWindow : public ::testing::Test {
protected:
    void SetUp() override {
        fakecil::reset();
        system.port.BaudRate = 38400;
        system.port.fOutxCtsFlow = 1;
        system.port.StopBits = ONESTOPBIT;
        system.port.ByteSize = 8;
        log_ = qortest::sandbox() + "/boxes.log";
        setenv("QOR_UI_LOG", log_.c_str(), 1);
    }
    void TearDown() override {
        if (main) DestroyWindow(main);
        MSG message;  // the quit message the main window left
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
        unsetenv("QOR_UI_SCRIPT");
        unsetenv("QOR_UI_LOG");
    }
    // Boxes and file dialogs answered in turn from these lines.
    void expect_boxes(const std::string& lines) {
        static int count = 0;
        std::string path = qortest::sandbox() + "/script" + std::to_string(++count);
        std::ofstream(path, std::ios::binary) << lines;
        setenv("QOR_UI_SCRIPT", path.c_str(), 1);
    }
    std::string shown() const { return read_file(log_); }
    void replies(std::deque<std::vector<BYTE>> pieces) {
        auto l = fakecil::lock();
        fakecil::script().pieces = std::move(pieces);
    }
    int calls() {
        auto l = fakecil::lock();
        return fakecil::script().calls;
    }
    int opened() {
        auto l = fakecil::lock();
        return fakecil::script().opens;
    }
    void start(const std::string& port, std::deque<std::vector<BYTE>> reply = {kFactoryReply}) {
        system.printers.push_back({"QOR ZEM-Dx10P", port, "QOR ZEM-D", 0x800, 0});
        ASSERT_TRUE(tool.find_printer());
        main = custom_window::create_main_window(state);
        ASSERT_NE(main, nullptr);
        replies(std::move(reply));
        custom_window::initialise_form(main);
        ShowWindow(main, SW_SHOW);
        form = custom_window::form_of(main);
        bar = QorUiFramePart(main, QOR_FRAME_BAR);
    }
    QComboBox* combo(int id) { return widget_of<QComboBox>(GetDlgItem(form, id)); }
    bool visible(int id) { return IsWindowVisible(GetDlgItem(form, id)); }
    QMenuBar* menu_bar() { return widget_of<QWidget>(main)->findChild<QMenuBar*>(); }
    // The enabled state of a menu item as the menu shows it when opened.
    bool item_enabled(int menu, int position) {
        QMenu* popup = menu_bar()->actions()[menu]->menu();
        emit popup->aboutToShow();
        return popup->actions()[position]->isEnabled();
    }
    std::string status() { return text_of(QorUiFramePart(main, QOR_FRAME_STATUS)); }
    void pump() {
        MSG message;
        QApplication::processEvents();
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            if (message.message != WM_QUIT) DispatchMessageW(&message);
    }

    custom_window::WindowHost host;
    FakeLibrary library;
    FakeSystem system;
    SetupTool tool{host, library, system, fakecil::fast_timing(1ms)};
    custom_window::MainState state{tool, host, {}, false, {}};
    HWND main = nullptr, form = nullptr, bar = nullptr;
    std::string log_;
};

}  // namespace

TEST_F(CustomWindow, SerialPrinterShowsTheFactorySettingsWithTheLineListsDisabled) {
    start("COM1");
    EXPECT_EQ(text_of(main), "QOR Printer Hardware Setup");
    EXPECT_EQ(text_of(GetDlgItem(bar, IDC_PRINTER_NAME)), "QOR ZEM-Dx10P");
    EXPECT_EQ(text_of(GetDlgItem(bar, IDC_PORT_NAME)), "COM1");
    EXPECT_EQ(status(), "Ready");
    ASSERT_TRUE(tool.acquired());
    EXPECT_EQ(combo(IDC_DENSITY)->currentText(), "100%");
    EXPECT_EQ(combo(IDC_PAPER_WIDTH)->count(), 7) << "112 mm once, from the list itself";
    EXPECT_EQ(combo(IDC_BAUD)->currentText(), "38400 bps");
    for (int id : {IDC_BAUD, IDC_BITS, IDC_PARITY, IDC_STOP, IDC_FLOW}) {
        EXPECT_TRUE(visible(id)) << id;
        EXPECT_FALSE(combo(id)->isEnabled()) << id;
    }
    EXPECT_FALSE(combo(IDC_HEAD_DRIVE)->isEnabled());
    EXPECT_FALSE(combo(IDC_DRIVE_SPEED)->isEnabled());
    EXPECT_TRUE(combo(IDC_DENSITY)->isEnabled());
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(bar, ID_WRITE)));
    EXPECT_TRUE(item_enabled(0, 4)) << "Save";
    EXPECT_TRUE(qortest::screenshot(main, "custom-serial.png"));
}

TEST_F(CustomWindow, ParallelPrinterRelabelsTwoLineListsAndHidesTheRest) {
    start("LPT1");
    EXPECT_EQ(text_of(GetDlgItem(form, IDC_LABEL_BAUD)), "Auto LF");
    EXPECT_EQ(text_of(GetDlgItem(form, IDC_LABEL_BITS)), "Status");
    EXPECT_EQ(combo(IDC_BAUD)->count(), 2);
    EXPECT_EQ(combo(IDC_BAUD)->itemText(1), "Enable");
    EXPECT_TRUE(visible(IDC_BAUD) && visible(IDC_BITS) && visible(IDC_LABEL_BAUD));
    EXPECT_TRUE(combo(IDC_BAUD)->isEnabled());
    for (int id : {IDC_PARITY, IDC_STOP, IDC_FLOW, IDC_LABEL_PARITY, IDC_LABEL_STOP, IDC_LABEL_FLOW})
        EXPECT_FALSE(visible(id)) << id;
    EXPECT_TRUE(visible(IDC_IO_RESET) && visible(IDC_BUSY));
    EXPECT_TRUE(qortest::screenshot(main, "custom-parallel.png"));
}

TEST_F(CustomWindow, UsbPrinterShowsOnlyResetAndBusyInItsInterfaceGroup) {
    start("USB001");
    for (int id : {IDC_BAUD, IDC_BITS, IDC_PARITY, IDC_STOP, IDC_FLOW, IDC_LABEL_BAUD, IDC_LABEL_BITS})
        EXPECT_FALSE(visible(id)) << id;
    EXPECT_TRUE(visible(IDC_IO_RESET) && visible(IDC_BUSY));
    EXPECT_TRUE(qortest::screenshot(main, "custom-usb.png"));
}

TEST_F(CustomWindow, AFailedLoadLeavesEveryListAndTheFileCommandsDisabled) {
    expect_boxes("Error message|Unable to get [DIP SW] data. \\nPlease check the [COM1] settings.|error|cancel\n");
    start("COM1", {{0x55, 0x01}});
    EXPECT_FALSE(tool.acquired());
    EXPECT_EQ(shown(), "Error message|Unable to get [DIP SW] data. \\nPlease check the [COM1] settings.|error|cancel\n");
    EXPECT_FALSE(combo(IDC_DENSITY)->isEnabled());
    EXPECT_EQ(combo(IDC_DENSITY)->currentIndex(), -1);
    EXPECT_TRUE(visible(IDC_DENSITY)) << "the form still shows its lists";
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(bar, ID_WRITE)));
    EXPECT_TRUE(item_enabled(0, 0)) << "Load the Printer";
    EXPECT_FALSE(item_enabled(0, 2)) << "Load Files";
    EXPECT_FALSE(item_enabled(0, 4)) << "Save";
    EXPECT_FALSE(item_enabled(0, 5)) << "Save As";
    EXPECT_TRUE(item_enabled(0, 7)) << "Exit";
    EXPECT_FALSE(item_enabled(1, 0)) << "Write";
    EXPECT_FALSE(item_enabled(2, 1)) << "Reset";
    EXPECT_TRUE(menu_bar()->actions()[3]->isEnabled()) << "Version";
    QMenu* defaults = menu_bar()->actions()[0]->menu()->actions()[1]->menu();
    emit defaults->aboutToShow();
    EXPECT_FALSE(defaults->actions()[0]->isEnabled());

    // Ctrl+S asks the menu first and finds Save disabled: no save dialog.
    QWidget* frame = widget_of<QWidget>(main);
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    QTest::keyClick(frame, Qt::Key_S, Qt::ControlModifier);
    pump();
    EXPECT_TRUE(state.document.empty());
}

TEST_F(CustomWindow, ChoosingAutoOnlineDoesNotStartALoadButTheCommandDoes) {
    start("COM1");
    int before = calls();
    QComboBox* online = combo(IDC_AUTO_ONLINE);
    ASSERT_TRUE(online->isEnabled());
    online->setCurrentIndex(1);
    emit online->activated(1);
    pump();
    EXPECT_EQ(calls(), before) << "1020 as a list notification is no command";
    EXPECT_EQ(at(tool.selections(), List::AutoOnline), 1);

    replies({kFactoryReply});
    emit menu_bar()->actions()[0]->menu()->aboutToShow();  // rebuilds the items
    menu_bar()->actions()[0]->menu()->actions()[0]->trigger();
    pump();
    EXPECT_GT(calls(), before);
    EXPECT_EQ(at(tool.selections(), List::AutoOnline), 0) << "read again from the printer";
}

TEST_F(CustomWindow, MenuItemsShowTheirPromptsInTheStatusBar) {
    start("COM1");
    QMenu* load = menu_bar()->actions()[0]->menu();
    emit load->aboutToShow();
    emit load->hovered(load->actions()[0]);
    EXPECT_EQ(status(), "Load setting state on the printer.");
    emit load->hovered(load->actions()[2]);
    EXPECT_EQ(status(), "Open an existing document");
    QMenu* set = menu_bar()->actions()[1]->menu();
    emit set->aboutToShow();
    emit set->hovered(set->actions()[0]);
    EXPECT_EQ(status(), "Output command of hardware setting to the printer.");
    emit set->aboutToHide();
    EXPECT_EQ(status(), "Ready");
}

TEST_F(CustomWindow, SaveThenLoadThroughTheFileDialogsReproducesTheSelections) {
    start("COM1");
    std::string path = qortest::sandbox() + "/kiosk.dip";
    combo(IDC_DENSITY)->setCurrentIndex(6);
    emit combo(IDC_DENSITY)->activated(6);
    expect_boxes("@save|Save As|" + path + "\n@open|Open|" + path + "\n");
    SendMessageW(main, WM_COMMAND, ID_FILE_SAVE, 0);
    EXPECT_EQ(read_file(path), std::string("SP\x18\x0D\x00\xC8", 6));
    EXPECT_EQ(text_of(main), "kiosk.dip - QOR Printer");
    SendMessageW(main, WM_COMMAND, ID_FILE_SAVE, 0);  // named now: no dialog
    tool.load_defaults(Model::D510x);
    SendMessageW(main, WM_COMMAND, ID_FILE_OPEN, 0);
    EXPECT_EQ(combo(IDC_DENSITY)->currentText(), "130%");
    EXPECT_EQ(shown(), "@save|Save As|" + path + "\n@open|Open|" + path + "\n");
}

TEST_F(CustomWindow, ADroppedFileIsMergedAfterTheFreshRead) {
    start("COM1");
    std::string path = qortest::sandbox() + "/dropped.dip";
    std::ofstream(path, std::ios::binary) << std::string("SP\x18\x0F\x00\xC8", 6);
    DragAcceptFiles(main, TRUE);
    replies({kFactoryReply});
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget_of<QWidget>(main), &enter);
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget_of<QWidget>(main), &drop);
    EXPECT_TRUE(tool.acquired());
    EXPECT_EQ(combo(IDC_DENSITY)->currentText(), "140%");
    EXPECT_EQ(text_of(main), "dropped.dip - QOR Printer");
}

TEST_F(CustomWindow, AFileOnTheCommandLineIsTheFirstDocument) {
    system.printers.push_back({"QOR ZEM-Dx10P", "COM1", "QOR ZEM-D", 0x800, 0});
    ASSERT_TRUE(tool.find_printer());
    std::string path = qortest::sandbox() + "/start.dip";
    std::ofstream(path, std::ios::binary) << std::string("SP\x18\x03\x00\xC8 and more", 15);
    main = custom_window::create_main_window(state);
    form = custom_window::form_of(main);
    replies({kFactoryReply});
    int before = opened();
    custom_window::initialise_form(main, path);  // as main() does with argv[1]
    EXPECT_EQ(opened() - before, 1) << "the printer is read once, not for the form and again for the file";
    EXPECT_EQ(combo(IDC_DENSITY)->currentText(), " 80%");
    EXPECT_EQ(text_of(main), "start.dip - QOR Printer");
}

TEST_F(CustomWindow, TheVersionBoxAndTheCommunicationBox) {
    start("COM1");
    std::string text;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        for (QLabel* label : box->findChildren<QLabel*>()) text = label->text().toStdString();
        EXPECT_TRUE(qortest::screenshot(qortest::handle_of(box), "custom-version.png"));
        for (QPushButton* button : box->findChildren<QPushButton*>()) QTest::mouseClick(button, Qt::LeftButton);
    });
    SendMessageW(main, WM_COMMAND, ID_APP_ABOUT, 0);
    EXPECT_EQ(text, "QOR Printer Hardware Setup Version 1.41");

    host.begin_communication(" Receive the setting data from the printer......");
    HWND box = host.communication_box();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(text_of(GetDlgItem(box, IDC_COMM_TEXT)), " Receive the setting data from the printer......");
    EXPECT_FALSE(IsWindowEnabled(main)) << "modal for the user";
    EXPECT_TRUE(qortest::screenshot(box, "custom-communication.png"));
    host.end_communication();
    EXPECT_TRUE(IsWindowEnabled(main));
    EXPECT_FALSE(IsWindow(box));
}
