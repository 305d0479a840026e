#include "video/window_layout.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tov {
namespace {

constexpr Size kFrame{16, 39};
constexpr Size kPortrait{1080, 2400};
constexpr Size kLandscape{2400, 1080};

bool overlaps(const Rect& a, const Rect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool inside(const Rect& r, const Rect& work) {
    return r.left >= work.left && r.top >= work.top && r.right <= work.right &&
           r.bottom <= work.bottom;
}

Size clientOf(const Rect& window) {
    return {window.width() - kFrame.width, window.height() - kFrame.height};
}

LayoutRequest request(Rect work, Rect panel, std::vector<Size> pictures) {
    LayoutRequest r;
    r.work = work;
    r.panel = panel;
    r.frame = kFrame;
    for (const Size p : pictures) r.phones.push_back({p, std::nullopt});
    return r;
}

// What every layout owes the user: each window whole on the work area with a positive size and
// the panel's size kept; the windows the program placed show their picture's shape in their client
// area and lie over neither each other nor (with `panelClear`) the panel.
void expectAllSeen(const LayoutRequest& request, const WindowLayout& layout,
                   bool panelClear = true) {
    ASSERT_EQ(layout.phones.size(), request.phones.size());
    EXPECT_EQ(layout.panel.width(), request.panel.width());
    EXPECT_EQ(layout.panel.height(), request.panel.height());
    if (request.panel.width() > 0) {
        EXPECT_TRUE(inside(layout.panel, request.work));
    }
    for (size_t i = 0; i < layout.phones.size(); ++i) {
        const Rect& r = layout.phones[i];
        SCOPED_TRACE(testing::Message() << "phone " << i << " at " << r.left << "," << r.top << " "
                                        << r.width() << "x" << r.height());
        EXPECT_GT(clientOf(r).width, 0);
        EXPECT_GT(clientOf(r).height, 0);
        EXPECT_TRUE(inside(r, request.work));
        if (panelClear) {
            EXPECT_FALSE(overlaps(r, layout.panel));
        }
        for (size_t j = 0; j < i; ++j) {
            if (panelClear) {
                EXPECT_FALSE(overlaps(r, layout.phones[j])) << "with phone " << j;
            }
        }
        const Size picture = request.phones[i].picture;
        if (request.phones[i].userRect || picture.width <= 0) continue;
        // The picture's shape, to a pixel either way.
        const Size client = clientOf(r);
        EXPECT_LE(std::llabs(int64_t{client.width} * picture.height -
                             int64_t{client.height} * picture.width),
                  std::max(picture.width, picture.height));
    }
}

// The case users met: a centred panel left no room on either side, so the phone's window was
// pushed over the panel's right-hand controls. The panel moves aside and both fit whole.
TEST(WindowLayout, OnePhoneOnAWideScreenOpensBesideThePanel) {
    const Rect work{0, 0, 1600, 1000};
    LayoutRequest r = request(work, {270, 100, 1330, 899}, {kPortrait});
    WindowLayout layout = layoutWindows(r);
    expectAllSeen(r, layout);
    EXPECT_EQ(layout.panel, (Rect{0, 100, 1060, 899}));
    EXPECT_EQ(clientOf(layout.phones[0]), shapeClientSize(kPortrait, {1600, 1000}));

    // A panel the user placed stays; the window shrinks into the room beside it.
    r.panelUserPlaced = true;
    layout = layoutWindows(r);
    expectAllSeen(r, layout);
    EXPECT_EQ(layout.panel, r.panel);
    EXPECT_LT(clientOf(layout.phones[0]).height, 820);

    // Without a panel the window opens at its shape, centred.
    r.panel = {};
    layout = layoutWindows(r);
    expectAllSeen(r, layout);
    EXPECT_EQ(clientOf(layout.phones[0]), shapeClientSize(kPortrait, {1600, 1000}));
    EXPECT_NEAR(layout.phones[0].left + layout.phones[0].right, 1600, 1);
    EXPECT_NEAR(layout.phones[0].top + layout.phones[0].bottom, 1000, 1);
}

// A 1366 x 768 laptop: the panel fills most of the width and all of the work area's height.
// An upright phone fits beside it once it moves aside; a landscape one's smallest window is wider
// than that room and covers only what it must of the panel's right edge.
TEST(WindowLayout, LaptopScreenFitsThePhoneInTheRoomLeft) {
    const Rect work{0, 0, 1366, 728};
    const Rect panel{145, 0, 1221, 728};
    LayoutRequest r = request(work, panel, {kPortrait});
    WindowLayout layout = layoutWindows(r);
    expectAllSeen(r, layout);
    EXPECT_EQ(layout.panel.left, 0);
    EXPECT_GE(layout.phones[0].width(), minimumWindowSize(kPortrait, r.minimum).width);

    r = request(work, panel, {kLandscape});
    layout = layoutWindows(r);
    expectAllSeen(r, layout, false);
    EXPECT_EQ(layout.panel.left, 0);
    // Its smallest window of the picture's shape: one side at the least size.
    EXPECT_TRUE(layout.phones[0].width() == r.minimum.width ||
                layout.phones[0].height() == r.minimum.height);
    EXPECT_EQ(layout.phones[0].right, 1366);
}

// Several phones share the room: smaller windows, still whole and apart, and no smaller than
// the room makes them.
TEST(WindowLayout, SeveralPhonesTileTheRoomBesideThePanel) {
    const Rect work{0, 0, 1600, 1000};
    const Rect panel{270, 100, 1330, 899};
    const int oneHeight = layoutWindows(request(work, panel, {kPortrait})).phones[0].height();
    for (const std::vector<Size>& pictures :
         {std::vector<Size>{kPortrait, kPortrait},
          std::vector<Size>{kPortrait, kPortrait, kPortrait},
          std::vector<Size>{kPortrait, kLandscape, kPortrait}}) {
        SCOPED_TRACE(pictures.size());
        const LayoutRequest r = request(work, panel, pictures);
        const WindowLayout layout = layoutWindows(r);
        expectAllSeen(r, layout);
        for (const Rect& phone : layout.phones) EXPECT_LT(phone.height(), oneHeight);
    }
    // Two upright phones fit side by side at more than their smallest size.
    const WindowLayout two = layoutWindows(request(work, panel, {kPortrait, kPortrait}));
    EXPECT_GT(two.phones[0].height(), minimumWindowSize(kPortrait, {320, 200}).height);
}

// A window the user placed stays there; the others go around it. Pulled into a smaller work
// area, and turned with its phone at the same corner.
TEST(WindowLayout, UserPlacedWindowStaysWhereTheUserPutIt) {
    const Rect work{0, 0, 1600, 1000};
    LayoutRequest r = request(work, {270, 100, 1330, 899}, {kPortrait, kPortrait});
    const Rect placed{1340, 100, 1590, 620};
    r.phones[0].userRect = placed;
    WindowLayout layout = layoutWindows(r);
    expectAllSeen(r, layout);
    EXPECT_EQ(layout.phones[0], placed);

    // The screen shrank: the window keeps its size, inside the work area.
    r.phones[0].userRect = Rect{1700, 900, 2000, 1500};
    layout = layoutWindows(r);
    EXPECT_EQ(layout.phones[0], (Rect{1300, 400, 1600, 1000}));
    // Larger than the work area: shrunk into it.
    r.phones[0].userRect = Rect{-50, -50, 900, 1900};
    layout = layoutWindows(r);
    EXPECT_TRUE(inside(layout.phones[0], work));
    EXPECT_GT(layout.phones[0].width(), 0);

    // The phone turned: the window turns at the user's corner.
    r.phones[0].picture = kLandscape;
    r.phones[0].userRect = Rect{900, 100, 1150, 620};
    layout = layoutWindows(r);
    EXPECT_EQ(layout.phones[0].left, 900);
    EXPECT_EQ(layout.phones[0].top, 100);
    EXPECT_GT(clientOf(layout.phones[0]).width, clientOf(layout.phones[0]).height);
}

// No room at all: windows may overlap, but never leave the work area or vanish.
TEST(WindowLayout, TooSmallWorkAreaDegradesToWholeWindows) {
    for (const Rect work : {Rect{0, 0, 640, 480}, Rect{100, 50, 400, 250}, Rect{0, 0, 0, 0}}) {
        SCOPED_TRACE(work.width());
        LayoutRequest r = request(work, {work.left, work.top, work.left + 600, work.top + 470},
                                  {kPortrait, kLandscape, Size{}, kPortrait});
        const WindowLayout layout = layoutWindows(r);
        ASSERT_EQ(layout.phones.size(), 4u);
        for (const Rect& phone : layout.phones) {
            EXPECT_GT(phone.width(), 0);
            EXPECT_GT(phone.height(), 0);
            if (work.width() > 0) {
                EXPECT_TRUE(inside(phone, work));
            }
        }
    }
}

}  // namespace
}  // namespace tov
