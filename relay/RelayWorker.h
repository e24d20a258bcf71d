// The START/STOP toggle and the two background threads of a relay run: the worker that
// shuttles bytes between the two ports, and the stop thread that ends it.
#pragma once

#include "serial/SerialPort.h"

#include <atomic>

extern std::atomic<bool> g_bStartNext;      // the next toggle starts a run
extern std::atomic<bool> g_bRun;            // the worker keeps relaying while set
extern std::atomic<bool> g_bWorkerActive;   // a worker is between its start and its end

extern cSerialPort* g_pPort1;
extern cSerialPort* g_pPort2;

void ToggleRelay();
void RelayWorker();
void StopWorker();

// One pass over both ports, then the fill-up and blink tests; `nMarkers` counts direction
// markers since the last blink.
void RelayPass(unsigned& nMarkers);
// Blinks the tray icon once when eight or more markers have been written since the last.
void BlinkIfDue(unsigned& nMarkers);
