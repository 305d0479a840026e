#include "platform/process.h"

namespace tov {

namespace {

thread_local const CommandCancel* threadCancel = nullptr;

}  // namespace

CommandCancelScope::CommandCancelScope(const CommandCancel& cancel) : outer_(threadCancel) {
    threadCancel = &cancel;
}

CommandCancelScope::~CommandCancelScope() {
    threadCancel = outer_;
}

bool commandsCancelled() {
    return threadCancel && threadCancel->cancelled();
}

// Splits a command line the way the Windows C runtime builds argv: the program name ends at
// the next space unless quoted (no backslash rules there); after it, 2n backslashes before a
// quote give n backslashes and toggle quoting, 2n+1 give n backslashes and a literal quote, and
// inside quotes a doubled quote is a literal quote.
std::vector<std::wstring> splitCommandLine(const std::wstring& line) {
    std::vector<std::wstring> args;
    size_t i = 0;
    const size_t n = line.size();
    const auto isSpace = [](wchar_t c) { return c == L' ' || c == L'\t'; };

    std::wstring program;
    if (i < n && line[i] == L'"') {
        ++i;
        while (i < n && line[i] != L'"') program += line[i++];
        if (i < n) ++i;
    } else {
        while (i < n && !isSpace(line[i])) program += line[i++];
    }
    args.push_back(program);

    while (true) {
        while (i < n && isSpace(line[i])) ++i;
        if (i >= n) break;
        std::wstring arg;
        bool quoted = false;
        while (i < n && (quoted || !isSpace(line[i]))) {
            if (line[i] == L'\\') {
                size_t slashes = 0;
                while (i < n && line[i] == L'\\') ++slashes, ++i;
                if (i < n && line[i] == L'"') {
                    arg.append(slashes / 2, L'\\');
                    if (slashes % 2 == 1) {
                        arg += L'"';
                        ++i;
                    }
                } else {
                    arg.append(slashes, L'\\');
                }
            } else if (line[i] == L'"') {
                if (quoted && i + 1 < n && line[i + 1] == L'"') {
                    arg += L'"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                arg += line[i++];
            }
        }
        args.push_back(arg);
    }
    return args;
}

std::wstring quoteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
        return argument;
    }
    // Backslashes are plain text except before a quote, where each needs a partner.
    std::wstring quoted = L"\"";
    size_t slashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++slashes;
        } else if (c == L'"') {
            quoted.append(slashes + 1, L'\\');
            slashes = 0;
        } else {
            slashes = 0;
        }
        quoted += c;
    }
    quoted.append(slashes, L'\\');
    return quoted + L"\"";
}

}  // namespace tov
