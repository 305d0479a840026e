// Stands in for a new Tovenmar build in the install tests: when started it appends its own
// command line to the file that TOV_FAKE_BUILD_MARK names, then ends.
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const char* mark = std::getenv("TOV_FAKE_BUILD_MARK");
    if (!mark) return 1;
    FILE* f = std::fopen(mark, "ab");
    if (!f) return 1;
    for (int i = 0; i < argc; ++i) std::fprintf(f, "%s%s", i ? " " : "", argv[i]);
    std::fputc('\n', f);
    std::fclose(f);
    return 0;
}
