#include "app/base/run_error.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <system_error>
#include <utility>

#include "app/base/tokens.h"

namespace kx {

std::string ErrorDescription(int number) {
  static const std::pair<int, const char*> kTable[] = {
      {err::InvalidCall, "Unzulässiger Prozeduraufruf oder unzulässiges Argument"},
      {err::Overflow, "Überlauf"},
      {err::OutOfMemory, "Nicht genügend Speicher"},
      {err::SubscriptOutOfRange, "Index außerhalb des gültigen Bereichs"},
      {err::DivisionByZero, "Division durch Null"},
      {err::TypeMismatch, "Typen unverträglich"},
      {err::BadFileName, "Dateiname oder -nummer falsch"},
      {err::FileNotFound, "Datei nicht gefunden"},
      {err::FileAlreadyOpen, "Datei bereits geöffnet"},
      {err::DeviceIoError, "Fehler beim Lesen von/Schreiben auf Gerät"},
      {err::FileAlreadyExists, "Datei existiert bereits"},
      {err::DiskFull, "Datenträger voll"},
      {err::InputPastEnd, "Einlesen hinter Dateiende"},
      {err::TooManyFiles, "Zu viele Dateien"},
      {err::DeviceUnavailable, "Gerät nicht verfügbar"},
      {err::PermissionDenied, "Zugriff verweigert"},
      {err::DiskNotReady, "Datenträger nicht bereit"},
      {err::PathFileAccessError, "Fehler beim Zugriff auf Pfad/Datei"},
      {err::PathNotFound, "Pfad nicht gefunden"},
      {err::ObjectNotSet, "Objektvariable oder With-Blockvariable nicht festgelegt"},
      {err::InvalidUseOfNull, "Unzulässige Verwendung von Null"},
      {err::InvalidPropertyValue, "Unzulässiger Eigenschaftswert"},
  };
  for (const auto& [n, text] : kTable)
    if (n == number) return text;
  return "Anwendungs- oder objektdefinierter Fehler";
}

void Raise(int number) { throw RunTimeError(number); }

namespace {

int NumberForErrno(int e) {
  switch (e) {
    case ENOENT: return err::FileNotFound;
    case ENOTDIR: return err::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS: return err::PermissionDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return err::DiskFull;
    case EEXIST: return err::FileAlreadyExists;
    case EMFILE:
    case ENFILE: return err::TooManyFiles;
    case ENOMEM: return err::OutOfMemory;
    case EIO: return err::DeviceIoError;
    case ENAMETOOLONG:
    case EINVAL: return err::BadFileName;
    case EBUSY: return err::FileAlreadyOpen;
    default: return err::PathFileAccessError;
  }
}

}  // namespace

RunTimeError TranslateCurrentException() {
  try {
    throw;
  } catch (const RunTimeError& e) {
    return e;
  } catch (const std::bad_alloc&) {
    return RunTimeError(err::OutOfMemory);
  } catch (const std::filesystem::filesystem_error& e) {
    // A missing folder on the way to a file is "Pfad nicht gefunden".
    const auto& p = e.path1();
    if (e.code() == std::errc::no_such_file_or_directory && p.has_parent_path() &&
        !std::filesystem::exists(p.parent_path()))
      return RunTimeError(err::PathNotFound);
    return RunTimeError(NumberForErrno(e.code().value()));
  } catch (const std::system_error& e) {
    return RunTimeError(NumberForErrno(e.code().value()));
  } catch (const std::out_of_range&) {
    return RunTimeError(err::SubscriptOutOfRange);
  } catch (const std::exception& e) {
    return RunTimeError(err::InvalidCall);
  } catch (...) {
    return RunTimeError(err::InvalidCall);
  }
}

double ToNumber(const std::string& text) {
  const std::string t = Trim(text);
  if (t.empty()) Raise(err::TypeMismatch);
  // Stored numbers are written with a decimal point; a comma is accepted as
  // the German decimal sign of older files.
  std::string s = t;
  for (char& c : s)
    if (c == ',') c = '.';
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(s.c_str(), &end);
  if (end != s.c_str() + s.size() || !std::isfinite(v)) Raise(err::TypeMismatch);
  if (errno == ERANGE) Raise(err::Overflow);
  return v;
}

long ToLong(const std::string& text) {
  const double v = std::nearbyint(ToNumber(text));
  if (v < -2147483648.0 || v > 2147483647.0) Raise(err::Overflow);
  return static_cast<long>(v);
}

bool ToBoolean(const std::string& text) {
  const std::string t = Trim(text);
  std::string lower;
  for (char c : t) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (lower == "true" || lower == "wahr") return true;
  if (lower == "false" || lower == "falsch") return false;
  return ToNumber(t) != 0.0;
}

const char* BooleanText(bool value) { return value ? "True" : "False"; }

}  // namespace kx
