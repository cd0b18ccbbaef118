// pelinorx analyze YYMMDD (YYYYMMDD on a wide database): the analysis run of the window, with
// its lines printed.
#include <string>

#include "dbprogram/analysis.h"
#include "dbprogram/batch.h"
#include "marketdb/layout.h"
#include "platform/text/cp932.h"

namespace dbprogram {
namespace {

using pelinor::text::format;
using pelinor::text::toUtf8;

// Prints what the window would show: the final progress of each group instead of every step.
class PrintingReporter : public AnalysisReporter {
 public:
  explicit PrintingReporter(std::ostream& out) : out_(out) {}
  void started() override { out_ << toUtf8(SJ("処理中(^^;")) << '\n'; }
  void progress(int, int, int) override {}
  void groupDone(int group, int number, int listLength) override {
    out_ << toUtf8(groupLabel(group)) << ' ' << format("%4d", number) << '/'
         << format("%4d", listLength) << '\n';
  }
  void fileMessage(const std::string& text, const std::string& caption) override {
    out_ << '[' << toUtf8(caption) << "] " << toUtf8(text) << '\n';
    failed = true;
  }
  void warning(const std::string& text) override { out_ << toUtf8(text) << '\n'; }
  void waiting(const std::string& text) override { out_ << toUtf8(text) << std::endl; }
  void finished(const std::string& text) override { out_ << toUtf8(text) << '\n'; }

  bool failed = false;

 private:
  std::ostream& out_;
};

// One to six digits (eight on a wide database, whose dates are whole): the date the window's
// entry would take.
bool parseDate(const std::string& arg, bool wide, double& date) {
  if (arg.empty() || arg.size() > (wide ? 8u : 6u)) return false;
  for (char c : arg)
    if (c < '0' || c > '9') return false;
  date = wide ? std::stod(arg) : static_cast<double>(std::stof(arg));
  return true;
}

}  // namespace

int batchAnalyze(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  double date = 0;
  const bool wide = marketdb::openLayout().kind == marketdb::DatabaseKind::Wide;
  if (args.size() != 1 || !parseDate(args[0], wide, date)) {
    if (wide)
      err << "usage: pelinorx analyze YYYYMMDD  (the comparison date of a wide database, up to "
             "eight digits)\n";
    else
      err << "usage: pelinorx analyze YYMMDD  (the comparison date, up to six digits)\n";
    return 2;
  }
  marketdb::SystemFile sys;
  marketdb::SettingsFile win;
  PrintingReporter reporter(out);
  const AnalysisOutcome outcome = runAnalysis(date, sys, win, reporter);
  out.flush();
  if (outcome.result != AnalysisResult::Completed || reporter.failed) return 1;
  return 0;
}

}  // namespace dbprogram
