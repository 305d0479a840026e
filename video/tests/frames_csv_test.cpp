#include "video/frames_csv.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

#ifdef _WIN32
const std::string kEol = "\r\n";  // text mode, like every other text file the program writes
#else
const std::string kEol = "\n";
#endif

std::string contents(const std::wstring& path) {
    std::string s;
    readFile(path, s);
    return s;
}

size_t countLines(const std::string& s) {
    size_t n = 0;
    for (char c : s) n += c == '\n';
    return n;
}

TEST(FramesCsv, HeaderThenOneLinePerRecord) {
    test::TempDir dir;
    const std::wstring path = dir.file(L"frames.csv");
    {
        FramesCsv csv;
        csv.restart(path);
        ASSERT_TRUE(csv.isOpen());
        FrameRecord r;
        r.pts = 9000000000123LL;  // past 32 bits
        r.captured = -5;
        r.arrived = 7;
        r.decoded = 0;
        r.shown = 11;
        r.bytes = 4096;
        r.key = true;
        r.dequeued = 8;
        r.presenting = 9;
        r.uploadMicros = 2;
        r.drawMicros = 3;
        csv.write(r);
        r.key = false;
        r.bytes = 0;
        csv.write(r);
    }
    EXPECT_EQ(contents(path), std::string("pts_us,captured_us,arrived_us,decoded_us,shown_us,bytes,key,dequeued_us,present_us,upload_us,draw_us") + kEol +
                                  "9000000000123,-5,7,0,11,4096,1,8,9,2,3" + kEol +
                                  "9000000000123,-5,7,0,11,0,0,8,9,2,3" + kEol);
}

TEST(FramesCsv, StopsAtTwentyThousandLinesUntilRestarted) {
    test::TempDir dir;
    const std::wstring path = dir.file(L"frames.csv");
    FramesCsv csv;
    csv.restart(path);
    FrameRecord r;
    for (int i = 0; i < FramesCsv::kMaxLines + 50; ++i) {
        r.pts = i;
        csv.write(r);
    }
    // The cap flushes, so the whole file is on disk while it is still open.
    const std::string full = contents(path);
    EXPECT_EQ(countLines(full), 1u + FramesCsv::kMaxLines);
    EXPECT_NE(full.find(kEol + "19999,"), std::string::npos);
    EXPECT_EQ(full.find(kEol + "20000,"), std::string::npos);

    // The next config starts a new file that takes lines again.
    csv.restart(path);
    r.pts = 777;
    csv.write(r);
    csv.flush();
    const std::string fresh = contents(path);
    EXPECT_EQ(countLines(fresh), 2u);
    EXPECT_NE(fresh.find("777,0,0,0,0,0,0"), std::string::npos);
}

TEST(FramesCsv, UnopenablePathIsQuietlyNotWritten) {
    test::TempDir dir;
    FramesCsv csv;
    csv.restart(dir.file(L"missing-folder") + L"/frames.csv");
    EXPECT_FALSE(csv.isOpen());
    csv.write(FrameRecord{});
    csv.flush();
    csv.restart(L"");
    EXPECT_FALSE(csv.isOpen());
}

}  // namespace
}  // namespace tov
