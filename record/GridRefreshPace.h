#pragma once

#include "base/Clock.h"

#include <chrono>
#include <optional>

namespace meterdesk::record {

// When the grid takes the rows waiting in the table. New rows reach it at a
// view refresh, but at most every kPeriod: each batch relays out and
// repaints the whole grid, the costliest view, and at full line rate rows
// pass faster than anyone reads them.
class GridRefreshPace {
public:
    static constexpr std::chrono::milliseconds kPeriod{400};
    // Taken off the period so that a view refresh a little early (a late
    // timer before it) still counts.
    static constexpr std::chrono::milliseconds kSlack{50};

    explicit GridRefreshPace(const base::SteadyClock& clock) : clock_(clock) {}

    // The table has rows the grid does not show yet, or its current row has
    // to follow the last.
    void RowsWaiting() { waiting_ = true; }
    // A person's own doing (a load, a save, a restore) changed the table:
    // the grid follows at the next view refresh, whatever the pace.
    void RowsWaitingNow() {
        waiting_ = true;
        now_ = true;
    }
    bool Waiting() const { return waiting_; }
    // At a view refresh: true when the grid takes its rows now (they count
    // as shown), false when none wait or the last batch was too recent.
    bool TakeDue();

private:
    const base::SteadyClock& clock_;
    bool waiting_ = false;
    bool now_ = false;
    std::optional<base::SteadyClock::time_point> lastShown_;
};

} // namespace meterdesk::record
