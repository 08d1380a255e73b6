#pragma once

// Waits the given number of seconds while the event loop keeps running, so
// replies, timer ticks and clicks are handled meanwhile. The wait sleeps in
// a local event loop on a monotonic timer; 0 or less returns at once.
void Delay(double seconds);
