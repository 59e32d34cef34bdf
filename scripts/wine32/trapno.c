/* Preloaded into Wine's 32-bit loader when it runs under qemu-i386.
 *
 * qemu-i386 delivers a fault signal with the trap number of the signal frame set to -1,
 * while Wine decides what a fault was by that number: a page fault (a guard page, a
 * stack that grows, a write watch) becomes a Windows access violation that Wine itself
 * resolves, anything it does not know becomes an illegal instruction, which kills the
 * program. This library wraps the handlers Wine installs for fault signals and, before
 * calling them, puts back the number the kernel would have given from the signal and its
 * code. A frame that already carries a trap number is left alone.
 *
 * Built without any C library (gcc -m32 -ffreestanding, ld -m elf_i386): it calls the C
 * library's __sigaction, which the dynamic linker resolves when the loader starts. */

#define SIGILL 4
#define SIGTRAP 5
#define SIGBUS 7
#define SIGFPE 8
#define SIGSEGV 11
#define SA_SIGINFO 4
#define SI_KERNEL 0x80
#define FPE_INTDIV 1
#define FPE_INTOVF 2
#define TRAP_BRKPT 1
#define BUS_ADRALN 1

/* The x86 exception numbers Wine switches on. */
enum { kDivide = 0, kSingleStep = 1, kBreakpoint = 3, kOverflow = 4, kInvalidOpcode = 6,
       kProtection = 13, kPageFault = 14, kFpuError = 16, kAlignment = 17 };

/* The C library's i386 layout of struct sigaction. */
struct vl_sigaction {
  void *handler;
  unsigned long mask[32];
  int flags;
  void (*restorer)(void);
};

/* The parts of siginfo_t and ucontext_t read or written here (i386 layout). */
struct vl_siginfo {
  int signo, errno_value, code;
};
enum { kGregsOffset = 20, kTrapIndex = 12 };

typedef void (*vl_handler)(int, void *, void *);

int __sigaction(int sig, const struct vl_sigaction *act, struct vl_sigaction *old);

static vl_handler wrapped[65];

static int is_fault_signal(int sig) {
  return sig == SIGSEGV || sig == SIGBUS || sig == SIGILL || sig == SIGFPE || sig == SIGTRAP;
}

static int trap_number(int sig, int code) {
  switch (sig) {
    case SIGSEGV: return code == SI_KERNEL ? kProtection : kPageFault;
    case SIGBUS: return code == BUS_ADRALN ? kAlignment : kPageFault;
    case SIGILL: return kInvalidOpcode;
    case SIGFPE: return code == FPE_INTDIV ? kDivide : code == FPE_INTOVF ? kOverflow : kFpuError;
    default: return code == TRAP_BRKPT ? kBreakpoint : kSingleStep;
  }
}

static void restore_trap_number(int sig, void *info, void *context) {
  int *trapno = (int *)((char *)context + kGregsOffset) + kTrapIndex;
  if (*trapno == -1) *trapno = trap_number(sig, ((struct vl_siginfo *)info)->code);
  wrapped[sig](sig, info, context);
}

int sigaction(int sig, const struct vl_sigaction *act, struct vl_sigaction *old) {
  struct vl_sigaction mine;
  vl_handler before = (sig > 0 && sig < 65) ? wrapped[sig] : 0;
  if (act && is_fault_signal(sig) && (act->flags & SA_SIGINFO)) {
    mine = *act;
    wrapped[sig] = (vl_handler)act->handler;
    mine.handler = (void *)restore_trap_number;
    act = &mine;
  } else if (act && is_fault_signal(sig)) {
    wrapped[sig] = 0;
  }
  int result = __sigaction(sig, act, old);
  if (result == 0 && old && before && old->handler == (void *)restore_trap_number)
    old->handler = (void *)before;
  return result;
}
