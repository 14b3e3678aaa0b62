// How much of the session the log pane keeps. Past kPaneLineBound text lines
// the oldest whole lines are dropped, down to kPaneLinesAfterDrop in one go,
// except, with logging on, lines not yet handed to the log file (those it is
// owed meanwhile wait in a backlog of their own). Counted in text lines.
#pragma once

constexpr int kPaneLineBound = 10000;
constexpr int kPaneLinesAfterDrop = 9000;
