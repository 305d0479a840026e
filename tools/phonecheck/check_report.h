// The check's findings: one line a step as it is decided, a summary, and the same as JSON for
// tools.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace tov::phonecheck {

enum class Outcome { Ok, Failed, Skipped };

struct StepResult {
    std::string step;
    Outcome outcome = Outcome::Ok;
    std::string detail;  // what was seen (ok), why (failed), or why not tried (skipped)
};

class CheckReport {
  public:
    // Text lines go to `out` as each step is decided; with `json` nothing is printed until
    // finish().
    CheckReport(std::FILE* out, bool json) : out_(out), json_(json) {}

    void ok(const std::string& step, const std::string& detail = {});
    void failed(const std::string& step, const std::string& why);
    void skipped(const std::string& step, const std::string& why);
    void add(StepResult result);

    bool passed() const;
    const std::vector<StepResult>& steps() const { return steps_; }
    // The summary line (text) or the whole JSON document.
    void finish(const std::string& serial);

  private:
    std::FILE* out_;
    bool json_;
    std::vector<StepResult> steps_;
};

// The line a step prints: "STEP: ok (DETAIL)", "STEP: FAILED: WHY", "STEP: skipped (WHY)".
std::string stepLine(const StepResult& result);
std::string jsonString(const std::string& text);
std::string jsonReport(const std::string& serial, const std::vector<StepResult>& steps);

}  // namespace tov::phonecheck
