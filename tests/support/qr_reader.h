// QR codes read back by Debian's zbarimg (package zbar-tools), a decoder nobody here wrote. A
// missing zbarimg is a failure, never a skip.
#pragma once

#include <string>

namespace tov::test {

struct QrReading {
    bool ran = false;   // zbarimg ran and reported
    std::string text;   // the bytes of the symbols found, one after another
    std::string error;  // why it did not run, or what it said when it found nothing
};

// Reads a picture file (PGM or PNG) with zbarimg, QR codes only, the bytes as they are.
QrReading readQrCodes(const std::wstring& picture);

// The Unix shell under both tiers (under Wine through Wine's start of Unix programs): runs the
// script, standard output and error together into `output`. False when it could not be run.
bool runUnixShell(const std::string& script, std::string& output, int& exitCode);
// The Unix path of a path of this program; empty when it has none.
std::string unixPathOf(const std::wstring& path);

}  // namespace tov::test
