// The phones' video windows of one process lay each other out: the window that takes its shape
// places the others too, so that none opens over another, and a window hidden leaves its room
// to the others.
#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/app_parts_win.h"
#include "tests/support/test_support.h"
#include "video/tests/message_pump_win.h"

namespace tov {
namespace {

std::vector<RECT> videoWindowRects() {
    std::vector<RECT> rects;
    HWND w = nullptr;
    while ((w = FindWindowExW(nullptr, w, L"TovenmarVideo", nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        RECT r{};
        if (owner == GetCurrentProcessId() && IsWindowVisible(w) && GetWindowRect(w, &r)) {
            rects.push_back(r);
        }
    }
    return rects;
}

bool upright(const RECT& r) {
    return r.bottom - r.top > r.right - r.left;
}

TEST(VideoPortLayout, TwoPhonesWindowsOpenApart) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    test::TempDir dir;
    test::ScopedEnv env{L"LOCALAPPDATA", dir.path()};
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    auto first = makeVideoPortWin(instance, {});
    auto second = makeVideoPortWin(instance, {});
    std::string error;
    ASSERT_TRUE(first->create(error)) << error;
    ASSERT_TRUE(second->create(error)) << error;
    first->show(true);
    second->show(true);

    first->setPhoneScreen(1080, 2400);
    ASSERT_TRUE(test::pumpUntil([] {
        const std::vector<RECT> r = videoWindowRects();
        return r.size() == 2 && (upright(r[0]) || upright(r[1]));
    }));
    second->setPhoneScreen(1080, 2400);
    ASSERT_TRUE(test::pumpUntil([] {
        const std::vector<RECT> r = videoWindowRects();
        return r.size() == 2 && upright(r[0]) && upright(r[1]);
    }));
    const std::vector<RECT> r = videoWindowRects();
    RECT common{};
    EXPECT_FALSE(IntersectRect(&common, &r[0], &r[1]))
        << r[0].left << "," << r[0].top << " " << r[0].right << "," << r[0].bottom << " and "
        << r[1].left << "," << r[1].top << " " << r[1].right << "," << r[1].bottom;

    // Three landscape phones do not fit one above another at full size and share the height;
    // the third phone stopped, its window hides and the others take the room it had.
    auto third = makeVideoPortWin(instance, {});
    ASSERT_TRUE(third->create(error)) << error;
    third->show(true);
    for (auto* port : {first.get(), second.get(), third.get()}) port->setPhoneScreen(2400, 1080);
    const auto landscape = [](size_t count) {
        const std::vector<RECT> now = videoWindowRects();
        return now.size() == count &&
               std::none_of(now.begin(), now.end(), [](const RECT& w) { return upright(w); });
    };
    ASSERT_TRUE(test::pumpUntil([&] { return landscape(3); }));
    const auto widest = [] {
        LONG most = 0;
        for (const RECT& w : videoWindowRects()) most = std::max(most, w.right - w.left);
        return most;
    };
    const LONG shared = widest();
    third->show(false);
    EXPECT_TRUE(test::pumpUntil([&] { return landscape(2) && widest() > shared; }))
        << "still " << widest() << " wide, " << shared << " before";
    third->destroy();

    first->destroy();
    second->destroy();
    CoUninitialize();
}

}  // namespace
}  // namespace tov
