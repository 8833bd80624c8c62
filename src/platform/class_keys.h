#pragma once
// The class key store: the file-type keys the program registers (".zip" ->
// "Zipfile", "Zipfile" -> "Zip Archiv", "Zipfile\Shell\Open\command" -> ...),
// each key with one default value. Keys compare without regard to letter case
// and use "\" between levels, as the classic class keys did. The store is a
// small text file, $XDG_DATA_HOME/Kravix/classes; every change rewrites it
// atomically. Queries for keys the store lacks fall back to the system's MIME
// database. User-interface thread only; failures are reported by results.
#include <QString>

#include <map>
#include <optional>

namespace kx {

class ClassKeyStore {
 public:
  // The store file of the current user (reads XDG_DATA_HOME each time).
  static QString DefaultPath();

  explicit ClassKeyStore(QString path = DefaultPath());

  // Sets a key's default value (creating the key); false when the value is
  // empty or the file cannot be written.
  bool setDefault(const QString& key, const QString& value);
  // The stored default value, if the store holds the key.
  std::optional<QString> storedDefault(const QString& key) const;
  // Removes the key and every key below it; true when something was removed.
  bool deleteTree(const QString& key);

 private:
  struct CaseInsensitiveLess {
    bool operator()(const QString& a, const QString& b) const {
      return a.compare(b, Qt::CaseInsensitive) < 0;
    }
  };
  using Keys = std::map<QString, QString, CaseInsensitiveLess>;

  Keys load() const;
  bool save(const Keys& keys) const;

  QString path_;
};

// The default value of a class key: the store's, else from the MIME database:
// ".ext" gives the MIME type name of that extension, a MIME type name gives
// its comment. Empty when neither knows the key.
QString QueryClassDefault(const QString& key);

}  // namespace kx
