#pragma once

#include <functional>

// Suspends the calling thread for the given milliseconds.
void Sleep(unsigned milliseconds);

// Replaces what Sleep does (tests pause for no time at all); returns what it did before.
std::function<void(unsigned)> setSleeper(std::function<void(unsigned)> sleeper);

// Handles every window event already queued, including input and repaints, then returns.
void ProcessMessages();
