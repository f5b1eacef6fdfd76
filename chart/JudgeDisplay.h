#pragma once

#include "chart/Limits.h"

#include <optional>
#include <string>
#include <utility>

namespace meterdesk::chart {

// What a view refresh brings to the judge panel: the value for T1VALUE and,
// when the look has to change, the verdict for its colours and caption.
struct JudgeLook {
    std::string value;
    std::optional<Verdict> restyle; // none: the panel already wears it
};

// The judge panel's next look. The reading's text waits for the view
// refresh, so its verdict waits with it: applied together, the verdict
// always stands beside the value it judged.
class JudgeDisplay {
public:
    // A recorded reading and its verdict; a newer one replaces it.
    void Judged(std::string value, Verdict verdict) { pending_.emplace(std::move(value), verdict); }
    bool Pending() const { return pending_.has_value(); }
    // The look to apply now; none when nothing was judged since the last.
    std::optional<JudgeLook> Take();

private:
    std::optional<std::pair<std::string, Verdict>> pending_;
    std::optional<Verdict> shown_;
};

} // namespace meterdesk::chart
