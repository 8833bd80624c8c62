#pragma once
// The run-time error model of the window handlers. A handler runs its steps
// "with errors ignored statement by statement": each step runs inside the
// handler's ErrorTrap, a step that fails is skipped, the next one runs, and the
// error is kept pending. At its end the handler shows a pending error with
// ReportError and the trap is cleared.
//
//   ErrorTrap err;
//   err([&] { step1(); });
//   err([&] { step2(); });
//   if (err) ReportError(err);
//
// Like the classic error object, the trap holds the error raised last.
// Steps raise RunTimeError; standard exceptions are translated to the nearest
// classic error number. Single-threaded, owned by the handler's stack frame.
#include <exception>
#include <string>
#include <utility>

namespace kx {

// Classic error numbers the program raises or translates to.
namespace err {
inline constexpr int InvalidCall = 5;
inline constexpr int Overflow = 6;
inline constexpr int OutOfMemory = 7;
inline constexpr int SubscriptOutOfRange = 9;
inline constexpr int DivisionByZero = 11;
inline constexpr int TypeMismatch = 13;
inline constexpr int BadFileName = 52;
inline constexpr int FileNotFound = 53;
inline constexpr int FileAlreadyOpen = 55;
inline constexpr int DeviceIoError = 57;
inline constexpr int FileAlreadyExists = 58;
inline constexpr int DiskFull = 61;
inline constexpr int InputPastEnd = 62;
inline constexpr int TooManyFiles = 67;
inline constexpr int DeviceUnavailable = 68;
inline constexpr int PermissionDenied = 70;
inline constexpr int DiskNotReady = 71;
inline constexpr int PathFileAccessError = 75;
inline constexpr int PathNotFound = 76;
inline constexpr int ObjectNotSet = 91;
inline constexpr int InvalidUseOfNull = 94;
inline constexpr int InvalidPropertyValue = 380;
}  // namespace err

// The German description of a classic error number ("Anwendungs- oder
// objektdefinierter Fehler" for numbers without one of their own).
std::string ErrorDescription(int number);

class RunTimeError : public std::exception {
 public:
  explicit RunTimeError(int number) : RunTimeError(number, ErrorDescription(number)) {}
  RunTimeError(int number, std::string description)
      : number_(number), description_(std::move(description)) {}
  int number() const noexcept { return number_; }
  const std::string& description() const noexcept { return description_; }
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  int number_;
  std::string description_;
};

[[noreturn]] void Raise(int number);

// The classic error for an exception in flight (call inside a catch block).
RunTimeError TranslateCurrentException();

class ErrorTrap {
 public:
  // Runs one step; an error it raises becomes the pending error.
  template <class Step>
  ErrorTrap& operator()(Step&& step) noexcept {
    try {
      std::forward<Step>(step)();
    } catch (...) {
      keep(TranslateCurrentException());
    }
    return *this;
  }

  explicit operator bool() const noexcept { return number_ != 0; }
  int number() const noexcept { return number_; }
  const std::string& description() const noexcept { return description_; }
  void raise(int number) { keep(RunTimeError(number)); }
  void clear() noexcept {
    number_ = 0;
    description_.clear();
  }

 private:
  void keep(const RunTimeError& e) {
    number_ = e.number();
    description_ = e.description();
  }

  int number_ = 0;
  std::string description_;
};

// The text conversions of stored settings and window properties, raising
// "Typen unverträglich" (13) for texts that are not numbers or Booleans.
double ToNumber(const std::string& text);
long ToLong(const std::string& text);       // rounds; raises 6 "Überlauf" past 32 bits
bool ToBoolean(const std::string& text);    // "True"/"False" (any case) or a number
const char* BooleanText(bool value);        // "True" / "False"

}  // namespace kx
