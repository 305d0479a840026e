#include "tools/phonecheck/check_report.h"

#include <cstdint>

namespace tov::phonecheck {

std::string stepLine(const StepResult& r) {
    switch (r.outcome) {
        case Outcome::Ok:
            return r.step + ": ok" + (r.detail.empty() ? "" : " (" + r.detail + ")");
        case Outcome::Failed:
            return r.step + ": FAILED: " + r.detail;
        case Outcome::Skipped:
            break;
    }
    return r.step + ": skipped (" + r.detail + ")";
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<uint8_t>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (u < 0x20) {
            static const char* const kHex = "0123456789abcdef";
            out += "\\u00";
            out += kHex[u >> 4];
            out += kHex[u & 15];
        } else {
            out += c;  // UTF-8 passes as it is
        }
    }
    return out + "\"";
}

std::string jsonReport(const std::string& serial, const std::vector<StepResult>& steps) {
    bool passed = true;
    std::string items;
    for (const StepResult& r : steps) {
        passed = passed && r.outcome != Outcome::Failed;
        const char* outcome = r.outcome == Outcome::Ok       ? "ok"
                              : r.outcome == Outcome::Failed ? "failed"
                                                             : "skipped";
        if (!items.empty()) items += ",\n";
        items += "    {\"step\": " + jsonString(r.step) + ", \"result\": \"" + outcome +
                 "\", \"detail\": " + jsonString(r.detail) + "}";
    }
    return "{\n  \"serial\": " + jsonString(serial) + ",\n  \"passed\": " +
           (passed ? "true" : "false") + ",\n  \"steps\": [\n" + items + "\n  ]\n}\n";
}

void CheckReport::add(StepResult result) {
    if (!json_) {
        std::fprintf(out_, "%s\n", stepLine(result).c_str());
        std::fflush(out_);
    }
    steps_.push_back(std::move(result));
}

void CheckReport::ok(const std::string& step, const std::string& detail) {
    add({step, Outcome::Ok, detail});
}

void CheckReport::failed(const std::string& step, const std::string& why) {
    add({step, Outcome::Failed, why});
}

void CheckReport::skipped(const std::string& step, const std::string& why) {
    add({step, Outcome::Skipped, why});
}

bool CheckReport::passed() const {
    for (const StepResult& r : steps_) {
        if (r.outcome == Outcome::Failed) return false;
    }
    return true;
}

void CheckReport::finish(const std::string& serial) {
    if (json_) {
        std::fputs(jsonReport(serial, steps_).c_str(), out_);
    } else {
        int failed = 0, skipped = 0;
        std::string names;
        for (const StepResult& r : steps_) {
            if (r.outcome == Outcome::Skipped) ++skipped;
            if (r.outcome != Outcome::Failed) continue;
            ++failed;
            names += (names.empty() ? "" : "; ") + r.step;
        }
        std::fprintf(out_, "%s: %zu steps, %zu passed, %d failed, %d skipped%s%s\n",
                     serial.c_str(), steps_.size(), steps_.size() - failed - skipped, failed,
                     skipped, failed ? ": " : "", names.c_str());
        // Only the first step ran when the phone could not be reached at all.
        std::fprintf(out_, "%s\n",
                     failed && steps_.size() == 1
                         ? "The phone could not be reached, so nothing else was checked."
                     : failed ? "The phone does not meet the phone app's contract."
                              : "The phone meets the phone app's contract.");
    }
    std::fflush(out_);
}

}  // namespace tov::phonecheck
