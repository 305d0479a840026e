#include "tests/support/qr_reader.h"

namespace tov::test {

QrReading readQrCodes(const std::wstring& picture) {
    QrReading reading;
    const std::string file = unixPathOf(picture);
    if (file.empty()) {
        reading.error = "no Unix path for the picture: zbarimg cannot read it";
        return reading;
    }
    std::string out;
    int code = -1;
    if (!runUnixShell("PATH=/usr/bin:/bin:$PATH exec zbarimg --nodbus --raw -q -Sdisable "
                      "-Sqrcode.enable -Sbinary '" +
                          file + "'",
                      out, code)) {
        reading.error = "cannot run /bin/sh: " + out;
        return reading;
    }
    reading.ran = true;
    // 0: symbols found; 4: none found; 127: no zbarimg.
    if (code == 0)
        reading.text = std::move(out);
    else if (code == 127)
        reading.error = "zbarimg is missing (install zbar-tools): " + out;
    else
        reading.error = "zbarimg exit " + std::to_string(code) + ": " + out;
    return reading;
}

}  // namespace tov::test
