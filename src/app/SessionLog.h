// How much of the session the log pane keeps. Past kPaneLineBound pane lines
// the oldest whole lines are dropped, down to kPaneLinesAfterDrop in one go,
// except lines the log file is still owed: with logging on, those not yet
// written and those of a failed write wait in the pane until they are written.
#pragma once

constexpr int kPaneLineBound = 10000;
constexpr int kPaneLinesAfterDrop = 9000;
