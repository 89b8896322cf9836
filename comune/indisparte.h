#pragma once
#include <functional>

// Runs `lavoro` on a thread of its own while this thread's events go on (keys,
// timers, serial replies), and returns once it is done. For work that would
// otherwise hold the window up for a noticeable time, such as a long report.
void eseguiInDisparte(const std::function<void()> &lavoro);
