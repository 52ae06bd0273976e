// Records the verification reports of the framework library while it lives.
#pragma once

#include <string>
#include <vector>

#include "addin/framework_utils.h"

struct RecordedReport {
  std::string text;
  std::string caption;
  UINT flags;
};

class ReportRecorder {
 public:
  ReportRecorder() {
    Reports().clear();
    previous_ = SetVerifyReportSink(&Record);
  }
  ~ReportRecorder() { SetVerifyReportSink(previous_); }
  ReportRecorder(const ReportRecorder&) = delete;
  ReportRecorder& operator=(const ReportRecorder&) = delete;

  const std::vector<RecordedReport>& reports() const { return Reports(); }
  std::vector<std::string> texts() const {
    std::vector<std::string> out;
    for (const auto& r : Reports()) out.push_back(r.text);
    return out;
  }

 private:
  static std::vector<RecordedReport>& Reports() {
    static std::vector<RecordedReport> reports;
    return reports;
  }
  static void Record(const char* text, const char* caption, UINT flags) {
    Reports().push_back({text, caption, flags});
  }
  VerifyReportSink previous_;
};
