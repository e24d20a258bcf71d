/* Identifiers of tandemix's resources and controls. Plain preprocessor text: the
   resource compiler reads it through tandemix.rc, and the program's code includes it. */
#ifndef TANDEMIX_RESOURCE_H
#define TANDEMIX_RESOURCE_H

/* Dialog templates and strings */
#define IDD_ABOUTBOX                    100
#define IDS_ABOUTBOX                    101
#define IDD_MAIN                        102
#define IDS_SOCKETS_INIT_FAILED         103

/* Icon groups */
#define IDR_MAINFRAME                   128
#define IDI_BLINK                       129

/* Controls */
#define IDC_PORT1                       1001
#define IDC_STATUS                      1003
#define IDC_HISTORY                     1004
#define IDC_PORT2                       1006
#define IDC_VERSION                     1008

/* System-menu command of the About entry; the system menu wants its low four bits clear. */
#define IDM_ABOUTBOX                    0x0010

/* The window system's own button identifiers; windows.h defines them on Windows. */
#ifndef IDOK
#define IDOK                            1
#endif
#ifndef IDCANCEL
#define IDCANCEL                        2
#endif

#endif
