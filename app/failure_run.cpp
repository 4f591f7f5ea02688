#include "app/failure_run.h"

#include "refresh/outcome.h"

void date_failure_run(Outcome& next, const Outcome* previous) {
  if (!next.banner) return;
  const bool run_goes_on = previous && previous->banner && previous->failing_since;
  next.failing_since = run_goes_on ? previous->failing_since : next.fetched_at;
  next.cause_since = run_goes_on && previous->reason == next.reason ? previous->cause_since : next.fetched_at;
}
