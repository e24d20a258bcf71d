/* Loaded into Wine for the Windows tests (LD_PRELOAD): pseudo-terminals that keep their
 * character size and parity, as a serial port's UART does.
 *
 * A pseudo-terminal always reports 8 data bits and no parity, whatever it is set to, and
 * glibc's tcsetattr then answers EINVAL, so Wine refuses 7 data bits with even parity on
 * it. Here a pseudo-terminal slave takes the request: everything else goes to the kernel
 * as before, and tcgetattr reports the size and parity last set on that device.
 *
 * Built with -nostdlib for the 32-bit Wine, so that no 32-bit C library headers are
 * needed: the few declarations below are glibc's i386 ones. */

typedef unsigned int tcflag_t;
struct termios;  /* c_iflag, c_oflag, c_cflag, ...: c_cflag is the third field */

#define RTLD_NEXT ((void*)-1l)
#define EINVAL 22
#define CSIZE 0000060
#define PARENB 0000400
#define PARODD 0001000
#define FORMAT (CSIZE | PARENB | PARODD)

extern void* dlsym(void* handle, const char* name);
extern int* __errno_location(void);
extern long readlink(const char* path, char* buffer, unsigned long size);

static tcflag_t* cflag(const struct termios* t) { return (tcflag_t*)t + 2; }

/* Devices by pts number, up to /dev/pts/255: the format set last, or 0. */
static tcflag_t g_format[256];

static int pts_number(int fd) {
    char path[32] = "/proc/self/fd/", target[64];
    int n = 14, digits[12], count = 0;
    unsigned value = (unsigned)fd;
    do digits[count++] = (int)(value % 10); while ((value /= 10) != 0 && count < 12);
    while (count) path[n++] = (char)('0' + digits[--count]);
    path[n] = 0;
    long length = readlink(path, target, sizeof target - 1);
    if (length <= 9) return -1;
    const char* prefix = "/dev/pts/";
    for (int i = 0; i < 9; ++i)
        if (target[i] != prefix[i]) return -1;
    int number = 0;
    for (long i = 9; i < length; ++i) {
        if (target[i] < '0' || target[i] > '9') return -1;
        number = number * 10 + (target[i] - '0');
    }
    return number < 256 ? number : -1;
}

int tcsetattr(int fd, int action, const struct termios* t) {
    static int (*real)(int, int, const struct termios*);
    if (!real) real = (int (*)(int, int, const struct termios*))dlsym(RTLD_NEXT, "tcsetattr");
    const int saved = *__errno_location();
    int result = real(fd, action, t);
    const int pts = pts_number(fd);
    if (pts < 0) return result;
    /* The kernel took everything but the format: the one thing glibc finds changed. */
    if (result != 0 && *__errno_location() == EINVAL) {
        result = 0;
        *__errno_location() = saved;
    }
    if (result == 0) g_format[pts] = (*cflag(t) & FORMAT) | 0x80000000u;
    return result;
}

int tcgetattr(int fd, struct termios* t) {
    static int (*real)(int, struct termios*);
    if (!real) real = (int (*)(int, struct termios*))dlsym(RTLD_NEXT, "tcgetattr");
    const int result = real(fd, t);
    const int pts = result == 0 ? pts_number(fd) : -1;
    if (pts >= 0 && g_format[pts])
        *cflag(t) = (*cflag(t) & ~(tcflag_t)FORMAT) | (g_format[pts] & FORMAT);
    return result;
}
