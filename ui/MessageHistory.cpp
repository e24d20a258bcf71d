#include "ui/MessageHistory.h"

#include "ui/Controls.h"
#include "ui/ReportText.h"

char g_szHistory[kHistoryLines][kHistoryLineSize] = {"...", "...", "..."};

void ReportMessage(const char* text) {
    FormatText(g_szHistory[2], kHistoryLineSize, "%s", g_szHistory[1]);
    FormatText(g_szHistory[1], kHistoryLineSize, "%s", g_szHistory[0]);
    FormatText(g_szHistory[0], kHistoryLineSize, "%s", text);  // longer texts are cut to 511

    char szPanel[2048];
    FormatText(szPanel, sizeof szPanel, "%s\n%s\n%s", g_szHistory[0], g_szHistory[1],
               g_szHistory[2]);
    if (g_pHistoryText) g_pHistoryText->SetWindowText(szPanel);
}

void SetStatusText(const char* text) {
    if (g_pStatusText) g_pStatusText->SetWindowText(text);
}
