// For the end-to-end update test: holds a file open as another program may (reading, sharing
// reading only), so Windows refuses to rename, move or delete it while this runs.
//   hold_file PATH   opens PATH, prints "holding" and waits until it is ended (ten minutes at most)
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: hold_file PATH\n", stderr);
        return 2;
    }
    HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "could not open the file (%lu)\n", GetLastError());
        return 1;
    }
    std::puts("holding");
    std::fflush(stdout);
    Sleep(10 * 60 * 1000);
    CloseHandle(file);
    return 0;
}
