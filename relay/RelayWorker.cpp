#include "relay/RelayWorker.h"

#include "platform/system.h"
#include "platform/thread.h"
#include "relay/Transcript.h"
#include "ui/Controls.h"
#include "ui/MessageHistory.h"
#include "ui/TrayIcon.h"

#include <cstdlib>

std::atomic<bool> g_bStartNext{true};
std::atomic<bool> g_bRun{true};
std::atomic<bool> g_bWorkerActive{false};

cSerialPort* g_pPort1 = nullptr;
cSerialPort* g_pPort2 = nullptr;

namespace {

constexpr unsigned kMarkersPerBlink = 8;

// The field holds a number as the operator typed it; only its first three characters
// count, converted as atoi does (no digits: 0).
int ReadPortNumber(CWnd* field) {
    char szPort[4] = "";
    field->GetWindowText(szPort, sizeof szPort);
    return std::atoi(szPort);
}

// Everything waiting on `from` goes to `to`, written before it is recorded.
void Drain(cSerialPort* from, cSerialPort* to, int direction, unsigned& nMarkers) {
    unsigned char byte;
    while (from->read(&byte, 1) == 1) {
        to->write(&byte, 1);
        if (RecordByte(direction, byte)) ++nMarkers;
    }
}

void EnableButtons() {
    g_pButtonOK->EnableWindow(true);
    g_pButtonCancel->EnableWindow(true);
}

}  // namespace

void ToggleRelay() {
    g_pButtonOK->EnableWindow(false);
    g_pButtonCancel->EnableWindow(false);
    if (g_bStartNext) {
        g_bRun = true;
        plat::BeginThread(RelayWorker);
    } else {
        g_bRun = false;
        plat::BeginThread(StopWorker);
    }
    g_bStartNext = !g_bStartNext;
}

void BlinkIfDue(unsigned& nMarkers) {
    if (nMarkers < kMarkersPerBlink) return;
    BlinkTrayIcon();
    nMarkers = 0;
}

void RelayPass(unsigned& nMarkers) {
    Drain(g_pPort1, g_pPort2, 1, nMarkers);
    Drain(g_pPort2, g_pPort1, 2, nMarkers);
    WrapIfFull();
    BlinkIfDue(nMarkers);
}

void RelayWorker() {
    if (g_bWorkerActive) return;
    g_bWorkerActive = true;
    SetStatusText("Starting....");

    g_pPort1 = new cSerialPort(ReadPortNumber(g_pEditPort1));
    g_pPort1->open();
    g_pPort2 = new cSerialPort(ReadPortNumber(g_pEditPort2));
    g_pPort2->open();

    plat::Sleep(1000);
    g_pButtonOK->SetWindowText("STOP");
    EnableButtons();
    SetTrayTip("tandemix");
    SetStatusText("Started");

    BeginTranscript();
    unsigned nMarkers = 0;
    while (g_bRun) RelayPass(nMarkers);

    EndTranscript();
    RestoreTrayIcon();
    delete g_pPort1;
    g_pPort1 = nullptr;
    delete g_pPort2;
    g_pPort2 = nullptr;
    g_bWorkerActive = false;
}

void StopWorker() {
    g_bRun = false;
    while (g_bWorkerActive) plat::Sleep(100);
    SetStatusText("Stopped...");
    g_pButtonOK->SetWindowText("START");
    EnableButtons();
}
