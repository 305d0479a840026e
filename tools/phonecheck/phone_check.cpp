#include "tools/phonecheck/phone_check.h"

#include "platform/socket.h"
#include "platform/text.h"
#include "tools/phonecheck/check_report.h"
#include "tools/phonecheck/helper_steps.h"
#include "tools/phonecheck/package_steps.h"
#include "tools/phonecheck/stream_steps.h"

namespace tov::phonecheck {

const char* const kUsage =
    "usage: tovenmar-phonecheck --adb PATH --serial SERIAL [--json] [--no-input]\n"
    "                           [--install FILE] [--seconds N]\n"
    "Checks that a phone's side meets the phone app's contract (docs/phone-app.md): the\n"
    "package and helper file, the info probe, the input helper, and both streams.\n"
    "  --adb PATH        the adb to run\n"
    "  --serial SERIAL   the phone, as \"adb devices\" lists it\n"
    "  --json            the findings as JSON, for tools\n"
    "  --no-input        no tap or key is injected\n"
    "  --install FILE    install FILE as the app and copy it as the helper file first, as\n"
    "                    Tovenmar does (without it nothing is installed)\n"
    "  --seconds N       how long each stream's pictures and sound are watched (3)\n"
    "Exit code 0 only when every step passed.\n";

bool parseArguments(const std::vector<std::string>& args, CheckOptions& options,
                    std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--json") {
            options.json = true;
        } else if (a == "--no-input") {
            options.inject = false;
        } else if (a == "--adb" && hasValue) {
            options.adbPath = widen(args[++i]);
        } else if (a == "--serial" && hasValue) {
            options.serial = args[++i];
        } else if (a == "--install" && hasValue) {
            options.installFile = widen(args[++i]);
        } else if (a == "--seconds" && hasValue) {
            const std::string& n = args[++i];
            if (n.empty() || n.size() > 3 || n.find_first_not_of("0123456789") != std::string::npos ||
                std::stoi(n) < 1) {
                error = "--seconds wants a whole number from 1 to 999\n";
                return false;
            }
            options.mediaSeconds = static_cast<uint32_t>(std::stoi(n));
        } else if (a == "--help" || a == "-h") {
            error = kUsage;
            return false;
        } else {
            error = "unknown or incomplete argument \"" + a + "\"\n" + kUsage;
            return false;
        }
    }
    if (options.adbPath.empty() || options.serial.empty()) {
        error = std::string("--adb and --serial are needed\n") + kUsage;
        return false;
    }
    return true;
}

int runPhoneCheck(const CheckOptions& options, std::FILE* out) {
    initSockets();
    CheckContext context;
    context.options = options;
    context.prefix = adbPrefix(options.serial);
    CheckReport report(out, options.json);
    if (checkPhoneAttached(context, report)) {
        checkPackage(context, report);
        checkInfoProbe(context, report);
        HelperCheck helper(context);
        helper.run(report);
        checkStream(context, /*noApp=*/false, helper.running(), report);
        checkStream(context, /*noApp=*/true, helper.running(), report);
        helper.stop();
    }
    report.finish(options.serial);
    cleanupSockets();
    return report.passed() ? 0 : 1;
}

}  // namespace tov::phonecheck
