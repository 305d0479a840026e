// Everything adb and the phone print back, on arbitrary bytes: the device list, adb's change
// feed (the same lists whichever way the bytes are split), the identity
// answer, the info probe's block, "wm size", "pm path", sha256sum and install outputs. None may
// crash or hang, and what they hand on must be usable as it is.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "phone/app_installer.h"
#include "phone/device_feed_parser.h"
#include "phone/device_list.h"
#include "phone/output_text.h"
#include "phone/phone_identity.h"
#include "phone/phone_info_probe.h"
#include "phone/screen_shape.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

bool hasSpace(const std::string& text) {
    return text.find_first_of(" \t\r\n\v\f") != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    for (const tov::AdbDevice& d : tov::parseDeviceList(text)) {
        check(!d.serial.empty() && !d.state.empty() && !hasSpace(d.serial));
        check(d.wifi == tov::isWifiSerial(d.serial));
        check(d.model.find('_') == std::string::npos);
    }

    tov::DeviceFeedParser whole, split;
    std::vector<std::string> wholeLists, splitLists;
    const bool wholeOk = whole.add(text, wholeLists);
    const size_t cut = size > 0 ? data[0] % (size + 1) : 0;
    const bool firstOk = split.add(std::string_view(text).substr(0, cut), splitLists);
    const bool splitOk = split.add(std::string_view(text).substr(cut), splitLists) && firstOk;
    check(wholeOk == splitOk && wholeLists == splitLists);
    check(wholeOk == whole.error().empty());

    const tov::PhoneIdentity id =
        tov::identityFromAnswer(text, "adb-x-y._adb-tls-connect._tcp", "");
    check(!id.key.empty() && !id.name.empty());

    if (const auto info = tov::parsePhoneInfoAnswer(text)) {
        check(info->known && info->hasEncoders == !info->encoders.empty());
        for (const std::string& codec : info->codecs) check(!codec.empty());
    }

    if (const auto wm = tov::parseWmSize(text)) {
        check(wm->physical.width > 0 && wm->physical.height > 0);
        double ratio = 0;
        if (size >= sizeof(double)) std::memcpy(&ratio, data, sizeof(double));
        const tov::ShapePlan plan = tov::planShape(ratio, wm->physical);
        if (plan.action == tov::ShapePlan::Action::Resize) {
            const int32_t shortSide = std::min(wm->physical.width, wm->physical.height);
            const int32_t longSide = std::max(wm->physical.width, wm->physical.height);
            check(std::min(plan.size.width, plan.size.height) <= shortSide);
            check(std::max(plan.size.width, plan.size.height) < longSide);
            check(plan.size.width > 0 && plan.size.height > 0);
            check(plan.size.width % 2 == 0 || plan.size.height % 2 == 0);
        }
    }

    const std::string path = tov::installedPackagePath(text);
    check(path.find('\n') == std::string::npos);
    check(path.empty() || (path.back() != '\r' && path.back() != ' '));
    const std::string digest = tov::checksumDigest(true, text);
    check(digest.empty() || digest.size() == 64);
    const tov::InstallOutcome outcome = tov::classifyInstallOutput(text, tov::kUpdated);
    check(outcome.kind >= tov::kUpdated && outcome.kind <= tov::kInstallFailed);

    const std::string excerpt = tov::logExcerpt(text, 300);
    check(excerpt.size() <= 300);
    for (char c : excerpt) check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7f);
    return 0;
}
