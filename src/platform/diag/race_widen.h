#pragma once
// A diagnostic for finding races: LUMVEK_RACE_DELAY_US=N makes each call that
// reaches widenRaceWindow() sleep a pseudo-random 0..N microseconds, so that
// the gaps between finding an instance and using it, or between two locks,
// are wide enough for sanitizers and stress tests to land other threads in
// them. Unset (the normal case) it costs one load and a branch.
namespace lumvek::platform {

void widenRaceWindow();

} // namespace lumvek::platform
