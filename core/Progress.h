// How a long operation of the core reports to its caller: how far it is
// and, where it can stop, whether to stop. Called on the caller's thread.
// Every call has a default that does nothing, so an observer takes only
// what it needs; each operation says which of them it makes.
#ifndef MARVESK_CORE_PROGRESS_H_
#define MARVESK_CORE_PROGRESS_H_

namespace core {

class ProgressObserver {
 public:
  virtual ~ProgressObserver() = default;
  // The work starts; positions run up to `maximum`.
  virtual void Started(int /*maximum*/) {}
  // Step `position` is done (or, where the operation says so, about to start).
  virtual void Progress(int /*position*/) {}
  // The work has ended, also when it failed.
  virtual void Finished() {}
  // Polled between steps by the operations that can be stopped; true stops.
  virtual bool EscapePressed() { return false; }
};

}  // namespace core

#endif  // MARVESK_CORE_PROGRESS_H_
