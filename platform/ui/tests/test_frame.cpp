// The single-document frame with its dialog bar, form and status bar,
// dropped files and the wait cursor.
#include "ui_fixture.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDropEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QUrl>

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr int kIdrFrame = 128, kIddForm = 101, kIdcName = 1029;

std::vector<MSG> seen;
std::vector<std::u16string> dropped;
std::vector<LPARAM> initialised;

LRESULT frame_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_COMMAND || message == WM_DROPFILES) seen.push_back(MSG{window, message, wparam, lparam, 0, {0, 0}});
    if (message == WM_DROPFILES) {
        HDROP drop = reinterpret_cast<HDROP>(wparam);
        for (UINT k = 0; k < DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0); ++k) {
            std::u16string path(DragQueryFileW(drop, k, nullptr, 0), u'\0');
            DragQueryFileW(drop, k, reinterpret_cast<LPWSTR>(path.data()), static_cast<UINT>(path.size() + 1));
            dropped.push_back(path);
        }
        DragFinish(drop);
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

INT_PTR part_proc(HWND, UINT message, WPARAM, LPARAM lparam) {
    if (message == WM_INITDIALOG) initialised.push_back(lparam);
    return message == WM_INITDIALOG;
}

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        static bool registered = [] {
            WNDCLASSEXW window_class{};
            window_class.cbSize = sizeof window_class;
            window_class.lpfnWndProc = frame_proc;
            window_class.lpszClassName = u"TestFrame";
            return RegisterClassExW(&window_class) != 0;
        }();
        ASSERT_TRUE(registered);
        seen.clear();
        dropped.clear();
        initialised.clear();
        frame = CreateWindowExW(0, u"TestFrame", u"Frame", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                CW_USEDEFAULT, CW_USEDEFAULT, 300, 200, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(frame, nullptr);
        attach_parts = parts();
    }
    void TearDown() override { DestroyWindow(frame); }

    QOR_FRAME_PARTS parts() const {
        return QOR_FRAME_PARTS{nullptr,   MAKEINTRESOURCEW(kIdrFrame), MAKEINTRESOURCEW(kIdrFrame), MAKEINTRESOURCEW(kIdrFrame),
                               part_proc, MAKEINTRESOURCEW(kIddForm),  part_proc,                   77,
                               57345};
    }
    std::string status() const { return uitest::text_of(QorUiFramePart(frame, QOR_FRAME_STATUS)); }
    QRect place(int part) const { return uitest::widget_of<QWidget>(QorUiFramePart(frame, part))->geometry(); }

    HWND frame = nullptr;
    QOR_FRAME_PARTS attach_parts{};
};

TEST_F(FrameTest, PartsStackUnderTheMenuAndTheFrameFitsTheForm) {
    ASSERT_TRUE(QorUiAttachFrame(frame, &attach_parts));
    EXPECT_EQ(initialised, (std::vector<LPARAM>{77, 77})) << "bar and form get the frame's parameter";
    EXPECT_NE(GetMenu(frame), nullptr);
    EXPECT_EQ(status(), "Ready");
    HWND bar = QorUiFramePart(frame, QOR_FRAME_BAR);
    EXPECT_EQ(GetParent(GetDlgItem(bar, kIdcName)), bar);
    SetDlgItemTextW(bar, kIdcName, u"QOR ZEM-Dx10P");
    EXPECT_EQ(uitest::text_of(GetDlgItem(bar, kIdcName)), "QOR ZEM-Dx10P");

    ASSERT_TRUE(QorUiFitFrameToForm(frame, TRUE));
    RECT client{};
    GetClientRect(frame, &client);
    QRect top = place(QOR_FRAME_BAR), form = place(QOR_FRAME_FORM), bottom = place(QOR_FRAME_STATUS);
    EXPECT_EQ(top.top(), 0);
    EXPECT_EQ(form.top(), top.bottom() + 1);
    EXPECT_EQ(bottom.top(), form.bottom() + 1);
    EXPECT_EQ(bottom.bottom() + 1, client.bottom) << "the status bar closes the client area";
    EXPECT_EQ(form.width(), client.right);
    QWidget* widget = uitest::widget_of<QWidget>(frame);
    EXPECT_EQ(widget->minimumSize(), widget->maximumSize()) << "no sizing border";
    EXPECT_FALSE(widget->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(widget->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(qortest::screenshot(frame, "layer-frame.png"));
    EXPECT_FALSE(QorUiAttachFrame(frame, &attach_parts)) << "once only";
}

TEST_F(FrameTest, TheStatusBarShowsThePromptOfTheItemUnderThePointer) {
    ASSERT_TRUE(QorUiAttachFrame(frame, &attach_parts));
    auto* bar = uitest::widget_of<QWidget>(frame)->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    QMenu* load = bar->actions()[0]->menu();
    emit load->aboutToShow();
    emit load->hovered(load->actions()[0]);
    EXPECT_EQ(status(), "Open an existing document") << "the text before the newline";
    emit load->hovered(load->actions()[1]);
    EXPECT_EQ(status(), "") << "a separator has no prompt";
    emit load->hovered(load->actions()[2]);
    EXPECT_EQ(status(), "Quit the application");
    emit bar->actions()[1]->hovered();
    EXPECT_EQ(status(), "") << "no string for 57664";
    emit load->aboutToHide();
    EXPECT_EQ(status(), "Ready");
}

TEST_F(FrameTest, AMissingResourceAttachesNothing) {
    QOR_FRAME_PARTS missing = parts();
    missing.menu = MAKEINTRESOURCEW(999);
    EXPECT_FALSE(QorUiAttachFrame(frame, &missing));
    EXPECT_EQ(QorUiFramePart(frame, QOR_FRAME_FORM), nullptr);
    EXPECT_EQ(GetMenu(frame), nullptr);
}

TEST_F(FrameTest, DroppedFilesArriveAsWmDropFiles) {
    QWidget* widget = uitest::widget_of<QWidget>(frame);
    auto drop = [&](const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &enter);
        QDropEvent event(QPointF(12, 34), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
        return enter.isAccepted();
    };
    EXPECT_FALSE(drop({QUrl::fromLocalFile("/tmp/a.dip")})) << "not before DragAcceptFiles";
    DragAcceptFiles(frame, TRUE);
    EXPECT_FALSE(drop({QUrl("https://example.org/x.dip")})) << "only local files";
    EXPECT_TRUE(drop({QUrl::fromLocalFile("/tmp/a.dip"), QUrl::fromLocalFile("/tmp/dir with space/b.dip")}));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].message, static_cast<UINT>(WM_DROPFILES));
    EXPECT_EQ(dropped, (std::vector<std::u16string>{u"/tmp/a.dip", u"/tmp/dir with space/b.dip"}));
    HDROP finished = reinterpret_cast<HDROP>(seen[0].wParam);
    EXPECT_EQ(DragQueryFileW(finished, 0xFFFFFFFF, nullptr, 0), 0u) << "gone after DragFinish";
    POINT point{};
    EXPECT_FALSE(DragQueryPoint(finished, &point));
}

TEST(Cursor, TheWaitCursorCoversTheProgramUntilTheArrowComesBack) {

    HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT), arrow = LoadCursorW(nullptr, IDC_ARROW);
    ASSERT_NE(wait, nullptr);
    EXPECT_EQ(LoadCursorW(nullptr, MAKEINTRESOURCEW(1)), nullptr);
    EXPECT_EQ(SetCursor(wait), arrow);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    EXPECT_EQ(SetCursor(wait), wait);
    EXPECT_EQ(SetCursor(arrow), wait);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "one arrow ends however many waits";
    EXPECT_EQ(GetCursor(), arrow);
}

}  // namespace
