#include "frame/interrupt.hpp"

#include "frame/ref.hpp"

namespace zkpy {

namespace {

// Whether signal handlers run on this thread (lock held). When the answer
// cannot be had, polling goes on: PyErr_CheckSignals is harmless elsewhere.
bool handles_signals() {
    if (PyThreadState_GetInterpreter(PyThreadState_Get()) != PyInterpreterState_Main()) return false;
    Ref name(PyUnicode_InternFromString("threading"));
    Ref threading(name ? PyImport_GetModule(name.get()) : nullptr);
    if (!threading) {
        PyErr_Clear();
        return true;  // threading never imported: nothing to tell the threads apart by
    }
    Ref main(PyObject_CallMethod(threading.get(), "main_thread", nullptr));
    Ref ident(main ? PyObject_GetAttrString(main.get(), "ident") : nullptr);
    const unsigned long id = ident ? PyLong_AsUnsignedLong(ident.get()) : 0;
    if (PyErr_Occurred()) {
        PyErr_Clear();
        return true;
    }
    return id == PyThread_get_thread_ident();
}

}  // namespace

bool SignalPoll::stop_requested() noexcept {
    if (!released_) return PyErr_CheckSignals() != 0;
    if (thread_ == Thread::Other) return false;
    PyEval_RestoreThread(released_);
    if (thread_ == Thread::Unknown) thread_ = handles_signals() ? Thread::Main : Thread::Other;
    const bool stop = thread_ == Thread::Main && PyErr_CheckSignals() != 0;
    released_ = PyEval_SaveThread();
    return stop;
}

}  // namespace zkpy
