/* Preloaded into a program under test, writes a backtrace of the thread that
 * crashes, from outside the program: on a fatal signal gdb attaches to the
 * process and writes the backtrace of that thread to the file named by
 * CRASHTRACE_FILE; then the signal takes its default course, so the program
 * dies of it as it would have. CRASHTRACE_GDB names the gdb to run; with
 * either variable unset, or where the program or its sanitizer runtime
 * handles the signal itself, nothing is installed and nothing changes. */
#define _GNU_SOURCE
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

static const int FATAL[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};

static char gdbPath[512];
static char outPath[1024];
static char pidText[16];
static char selectThread[128];

/* gdb's command to make the crashing thread current, finished in the
 * handler, where the thread's id is known: only async-signal-safe work
 * there, so the text is assembled by hand. */
static const char SELECT_PREFIX[] =
    "python [t.switch() for t in gdb.selected_inferior().threads() if t.ptid[1] == ";

static void AppendNumber(char *text, size_t size, long value)
{
    char digits[24];
    int count = 0;
    size_t len = strlen(text);
    do {
        digits[count++] = (char)('0' + value % 10);
        value /= 10;
    } while (value > 0 && count < (int)sizeof digits);
    while (count > 0 && len + 1 < size)
        text[len++] = digits[--count];
    text[len] = '\0';
}

static void RunGdb(void)
{
    char *argv[] = {gdbPath, "-nx", "-batch", "-p", pidText,
                    "-iex", "set debuginfod enabled off",
                    "-ex", selectThread, "-ex", "bt", NULL};
    pid_t child = fork();
    if (child == 0) {
        int fd = open(outPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            dup2(fd, 1);
            dup2(fd, 2);
        }
        execv(gdbPath, argv);
        _exit(127);
    }
    if (child > 0)
        waitpid(child, NULL, 0);
}

static void Handler(int sig)
{
    /* A second fault while gdb runs falls to the default action. */
    signal(sig, SIG_DFL);
    memcpy(selectThread, SELECT_PREFIX, sizeof SELECT_PREFIX);
    AppendNumber(selectThread, sizeof selectThread, (long)syscall(SYS_gettid));
    strncat(selectThread, "]", sizeof selectThread - strlen(selectThread) - 1);
    RunGdb();
    raise(sig);
}

__attribute__((constructor)) static void Install(void)
{
    const char *gdb = getenv("CRASHTRACE_GDB");
    const char *out = getenv("CRASHTRACE_FILE");
    if (gdb == NULL || out == NULL || strlen(gdb) >= sizeof gdbPath ||
        strlen(out) >= sizeof outPath)
        return;
    strcpy(gdbPath, gdb);
    strcpy(outPath, out);
    snprintf(pidText, sizeof pidText, "%d", (int)getpid());
    /* Lets gdb attach where Yama restricts ptrace to a process's ancestors. */
    prctl(PR_SET_PTRACER, PR_SET_PTRACER_ANY, 0, 0, 0);
    for (size_t i = 0; i < sizeof FATAL / sizeof FATAL[0]; i++) {
        struct sigaction old;
        if (sigaction(FATAL[i], NULL, &old) == 0 && old.sa_handler == SIG_DFL &&
            !(old.sa_flags & SA_SIGINFO))
            signal(FATAL[i], Handler);
    }
}
