#include "viewer/indicators/weekly.h"

#include <limits>

#include "viewer/chart_screen_state.h"
#include "viewer/indicators/weekday.h"

namespace viewer {
namespace {

// The low of a week before its first trading day: above every price.
constexpr int NoLow = std::numeric_limits<int>::max();

class WeekBuilder {
 public:
  WeekBuilder(WeekArrays* out, int skipWeeks) : out_(out), skip_(skipWeeks) {}

  // Adds a dated day; a weekday not later than the previous one starts a new week.
  void add(std::int32_t date, int open, int high, int low, int close, float volume) {
    const int d = dayOfWeek(date);
    // Only a week that holds a day is closed: a Sunday as the first day (weekday 0) would
    // otherwise close an empty, undated week, and the chart stops at an undated week.
    if (holdsDay_ && d <= lastWeekday_) closeWeek();
    holdsDay_ = true;
    lastWeekday_ = d;
    const int w = week_ - skip_;
    if (out_ == nullptr || w < 0 || w >= WeekCapacity) return;
    out_->date[w] = date;
    if (volume == 0.0f) return;
    if (!openTaken_) {
      out_->open[w] = open;
      openTaken_ = true;
    }
    if (high > out_->high[w]) out_->high[w] = high;
    if (low < out_->low[w]) out_->low[w] = low;
    out_->close[w] = close;
    out_->volume[w] += volume;
  }

  // Weeks started so far (the current one included).
  int weeks() const { return week_ + 1; }

  void finish() { closeLow(); }

 private:
  void closeLow() {
    const int w = week_ - skip_;
    if (out_ != nullptr && w >= 0 && w < WeekCapacity && out_->low[w] == NoLow) out_->low[w] = 0;
  }
  void closeWeek() {
    closeLow();
    lastWeekday_ = 0;
    ++week_;
    openTaken_ = false;
    holdsDay_ = false;
  }

  WeekArrays* out_;
  int skip_;
  int week_ = 0;
  int lastWeekday_ = 0;
  bool openTaken_ = false;
  bool holdsDay_ = false;  // the current week has a dated day
};

template <typename Visit>
void walkDatedDays(const std::int32_t* dates, int oldest, Visit visit) {
  for (int i = 0; i < RingDays; ++i) {
    const int s = ringSlot(oldest + i);
    if (dates[s] != 0) visit(s);
  }
}

}  // namespace

void buildWeeks(const std::int32_t* dates, const int* opens, const int* highs, const int* lows,
                const int* closes, const float* volumes, int oldest, WeekArrays& out) {
  for (int w = 0; w < WeekCapacity; ++w) {
    out.date[w] = 0;
    out.open[w] = 0;
    out.high[w] = 0;
    out.low[w] = NoLow;
    out.close[w] = 0;
    out.volume[w] = 0.0f;
  }
  out.count = 0;
  // A first pass counts the weeks, so that a ring of more weeks than the arrays hold keeps
  // its newest ones.
  WeekBuilder counter(nullptr, 0);
  walkDatedDays(dates, oldest, [&](int s) { counter.add(dates[s], 0, 0, 0, 0, volumes[s]); });
  const int skip = counter.weeks() > WeekCapacity ? counter.weeks() - WeekCapacity : 0;

  WeekBuilder builder(&out, skip);
  walkDatedDays(dates, oldest, [&](int s) {
    builder.add(dates[s], opens[s], highs[s], lows[s], closes[s], volumes[s]);
  });
  builder.finish();
  out.count = builder.weeks() - skip;
  // Weeks not built hold the low of a history without a trading day.
  for (int w = out.count < 0 ? 0 : out.count; w < WeekCapacity; ++w)
    if (out.low[w] == NoLow) out.low[w] = EmptyLow;
}

int weeklyRci(const int* closes, const float* volumes, int count, int period, float* rci) {
  if (period < 1 || period > count) return 0;
  const int windows = count - period + 1;
  float previous = 0.0f;
  for (int w = 0; w < windows; ++w) {
    int empty = 0;
    for (int j = 0; j < period; ++j)
      if (volumes[w + j] == 0.0f) ++empty;
    const int n = period - empty;
    float sum = 0.0f;
    int emptySoFar = 0;
    for (int j = 0; j < period; ++j) {
      const int a = w + j;
      if (volumes[a] == 0.0f) {
        ++emptySoFar;
        continue;
      }
      int priceRank = 1;
      for (int k = 0; k < period; ++k) {
        const int b = w + k;
        if (volumes[b] != 0.0f && closes[b] > closes[a]) ++priceRank;
      }
      const int d = (j + 1 - emptySoFar) - priceRank;
      sum += static_cast<float>(d * d);
    }
    const bool lastEmpty = volumes[w + period - 1] == 0.0f;
    if (n >= 2 && sum > 0.0f && !lastEmpty) {
      const float nf = static_cast<float>(n);
      previous = (1.0f - 6.0f * sum / (nf * nf * nf - nf)) * -100.0f;
    }
    rci[w] = previous;
  }
  return windows;
}

}  // namespace viewer
