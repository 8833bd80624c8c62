#pragma once
// DraggedEntries: what a drag of rows out of the archive window's list
// offers. The entries have been extracted into a private folder beforehand
// (ArchiveWindow::ListView1_OLEStartDrag); the drag offers them two ways:
//   text/uri-list     the extracted files and folders; the target copies or
//                     moves them
//   XdndDirectSave0   the direct-save protocol (X11): the target names a
//                     file in its own folder, and Kravix copies the
//                     extracted files and folders into that folder itself
// On X11 the target asks for the data only after QDrag::exec has returned,
// and a file manager may go on copying in the background after that, so
// the private folder stays until the next drag starts or the program ends.
// Owned by the QDrag that carries it. User-interface thread only.
#include <QMimeData>
#include <QString>
#include <QStringList>

#include <functional>

namespace kx {

class DraggedEntries : public QMimeData {
 public:
  // The MIME type and X11 property of the direct-save protocol.
  static constexpr const char* kDirectSave = "XdndDirectSave0";

  // paths: the extracted files and folders, directly inside folder. save
  // is called, after the target has had its answer, with the folder the
  // target chose for a direct save.
  DraggedEntries(const QString& folder, const QStringList& paths,
                 std::function<void(const QStringList& paths, const QString& folder)> save);

  QString folder() const { return folder_; }
  QStringList paths() const { return paths_; }
  // The file name the direct-save target is offered: the first path's.
  QString directSaveName() const;

  // The target's answer to a direct save into uri (a file: URI of the file
  // it wants written): "S" when uri names a file in an existing local
  // folder, and the copy into that folder is queued; "F" otherwise.
  QByteArray directSaveTo(const QByteArray& uri) const;

 protected:
  // XdndDirectSave0: takes the target's URI from the drag source window's
  // property and answers as directSaveTo does.
  QVariant retrieveData(const QString& format, QMetaType type) const override;

 private:
  QString folder_;
  QStringList paths_;
  std::function<void(const QStringList&, const QString&)> save_;
  mutable QByteArray answer_;  // the target's answer, once given
};

}  // namespace kx
