// guard.cpp - calls into code the library does not control, with a structured exception handler of the
// library's own around each, as MSVC's __try would place one.
//
// GCC has no __try, and a vectored handler would see every exception first, the ones a plug-in raises and
// handles itself among them. So each call gets a handler frame of its own: on i686 a record pushed on the
// thread's chain at fs:[0] and left with __builtin_longjmp after the chain above it has been unwound; on
// x86_64 a small assembler function whose unwind data names the handler, which unwinds to that function's
// frame and resumes there with the exception's code. C++ exceptions of this compiler are caught before they
// reach either: on i686 they do not travel as structured exceptions, and a frame record must never be left
// behind on the chain.
#include "platform/win32/windows_api.h"

namespace qel::os {
namespace {

struct CallAndContext {
    GuardedCall call;
    void* context;
    bool threw;
};

void CatchingCxx(void* argument) {
    auto* const pending = static_cast<CallAndContext*>(argument);
    try {
        pending->call(pending->context);
    } catch (...) {
        pending->threw = true;
    }
}

} // namespace
} // namespace qel::os

#if defined(__x86_64__)

extern "C" {
// Calls call(context) and returns 0, or the code of an exception raised inside it.
DWORD qelGuardedCall(void (*call)(void*), void* context);
void qelGuardedCallLanding();
EXCEPTION_DISPOSITION qelGuardHandler(EXCEPTION_RECORD* record, void* establisherFrame, CONTEXT* context,
                                      DISPATCHER_CONTEXT* dispatcher);
}

// The landing point is inside the function, after its prologue, so that resuming there returns from it with
// the code the unwind put in eax.
asm(R"(
    .text
    .p2align 4
    .globl qelGuardedCall
    .def qelGuardedCall; .scl 2; .type 32; .endef
    .seh_proc qelGuardedCall
qelGuardedCall:
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    .seh_handler qelGuardHandler, @except
    movq %rcx, %rax
    movq %rdx, %rcx
    call *%rax
    xorl %eax, %eax
    .globl qelGuardedCallLanding
qelGuardedCallLanding:
    nop
    addq $40, %rsp
    ret
    .seh_endproc
)");

EXCEPTION_DISPOSITION qelGuardHandler(EXCEPTION_RECORD* record, void* establisherFrame, CONTEXT* context,
                                      DISPATCHER_CONTEXT* dispatcher) {
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    ::RtlUnwindEx(establisherFrame, reinterpret_cast<void*>(&qelGuardedCallLanding), record,
                  reinterpret_cast<void*>(static_cast<ULONG_PTR>(record->ExceptionCode)), context,
                  dispatcher->HistoryTable);
    return ExceptionContinueSearch; // not reached: the unwind resumes at the landing point
}

namespace qel::os {

std::uint32_t CallGuarded(GuardedCall call, void* context) {
    CallAndContext pending{call, context, false};
    const DWORD code = qelGuardedCall(&CatchingCxx, &pending);
    return code != 0 ? code : pending.threw ? kCxxExceptionCode : 0;
}

} // namespace qel::os

#elif defined(__i386__)

namespace qel::os {
namespace {

struct GuardFrame {
    EXCEPTION_REGISTRATION_RECORD record; // first: the handler is given its address
    void* resume[5];                      // __builtin_setjmp's buffer
    DWORD code;
};

EXCEPTION_DISPOSITION NTAPI GuardHandler(EXCEPTION_RECORD* record, void* establisherFrame, CONTEXT*, void*) {
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    auto* const frame = static_cast<GuardFrame*>(establisherFrame);
    frame->code = record->ExceptionCode;
    // The frames the exception passed, the plug-in's own handlers among them, are unwound first, leaving
    // this record on top of the chain.
    ::RtlUnwind(establisherFrame, nullptr, record, nullptr);
    __builtin_longjmp(frame->resume, 1);
}

// The top of the thread's handler chain, the first word of its thread block at fs:0.
EXCEPTION_REGISTRATION_RECORD* ChainTop() {
    EXCEPTION_REGISTRATION_RECORD* top;
    asm volatile("movl %%fs:0, %0" : "=r"(top));
    return top;
}
void SetChainTop(EXCEPTION_REGISTRATION_RECORD* top) {
    asm volatile("movl %0, %%fs:0" : : "r"(top) : "memory");
}

} // namespace

std::uint32_t CallGuarded(GuardedCall call, void* context) {
    CallAndContext pending{call, context, false};
    GuardFrame frame{};
    frame.record.Handler = &GuardHandler;
    frame.record.Next = ChainTop();
    if (__builtin_setjmp(frame.resume) == 0) {
        SetChainTop(&frame.record);
        CatchingCxx(&pending);
    }
    SetChainTop(frame.record.Next);
    return frame.code != 0 ? frame.code : pending.threw ? kCxxExceptionCode : 0;
}

} // namespace qel::os

#else
#error "no structured exception guard for this processor"
#endif
