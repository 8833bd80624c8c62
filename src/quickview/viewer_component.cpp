#include "quickview/viewer_component.h"

#include <QLibrary>

#include "app/utility.h"
#include "quickview/component/qview_api.h"

namespace kx {
namespace {

using CreateControl = QWidget* (*)(QWidget*);

CreateControl EntryPoint() {
  // QLibrary keeps a library loaded once loaded; a failed attempt is retried
  // on the next call, so a component put in place later is found.
  QLibrary library(ViewerComponentPath());
  if (!library.load()) return nullptr;
  return reinterpret_cast<CreateControl>(library.resolve(qview::kCreateSymbol));
}

}  // namespace

QString ViewerComponentPath() { return ProgramFolder() + '/' + qview::kComponentFile; }

bool ViewerComponentInstalled() { return FileExists(ViewerComponentPath()) && EntryPoint() != nullptr; }

QWidget* CreateViewerControl(QWidget* parent) {
  const CreateControl create = FileExists(ViewerComponentPath()) ? EntryPoint() : nullptr;
  return create ? create(parent) : nullptr;
}

}  // namespace kx
