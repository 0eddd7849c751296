#include "frame/interrupt.hpp"

#include "frame/ref.hpp"

namespace zkpy {

namespace {

// Whether signal handlers run on this thread (lock held). Read from the
// threading module's own record of the main thread, attribute by attribute,
// so that no Python code runs: code run here could take the pending signal
// and its exception would then be lost. When the answer cannot be had,
// polling goes on (PyErr_CheckSignals does nothing elsewhere).
bool handles_signals() {
    if (PyThreadState_GetInterpreter(PyThreadState_Get()) != PyInterpreterState_Main()) return false;
    Ref name(PyUnicode_InternFromString("threading"));
    Ref threading(name ? PyImport_GetModule(name.get()) : nullptr);
    Ref main(threading ? PyObject_GetAttrString(threading.get(), "_main_thread") : nullptr);
    Ref ident(main ? PyObject_GetAttrString(main.get(), "_ident") : nullptr);
    const unsigned long id = ident ? PyLong_AsUnsignedLong(ident.get()) : 0;
    if (!ident || PyErr_Occurred()) {
        PyErr_Clear();
        return true;
    }
    return id == PyThread_get_thread_ident();
}

}  // namespace

SignalPoll& held_signal_poll() noexcept {
    thread_local SignalPoll poll;
    return poll;
}

bool SignalPoll::stop_requested() noexcept {
    if (!released_) return PyErr_CheckSignals() != 0;
    if (thread_ == Thread::Other) return false;
    PyEval_RestoreThread(released_);
    const bool stop = PyErr_CheckSignals() != 0;
    if (!stop && thread_ == Thread::Unknown) thread_ = handles_signals() ? Thread::Main : Thread::Other;
    released_ = PyEval_SaveThread();
    return stop;
}

}  // namespace zkpy
