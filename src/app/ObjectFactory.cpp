#include "app/ObjectFactory.h"

#include <exception>

#include "app/AppMain.h"
#include "app/Application.h"
#include "filetree/FileTree.h"
#include "util/ErrorReport.h"

namespace kestrun {

std::unique_ptr<AppMain> ObjectFactory::CreateObject_AppMain(Application& objA) {
  try {
    auto controller = std::make_unique<AppMain>();
    controller->InitMyObjects(objA);
    return controller;
  } catch (const std::exception&) {
    return nullptr;
  }
}

std::shared_ptr<FileTree> ObjectFactory::CreateObject_FileTree(Application& objA, const std::string& strSourceDir,
                                                               const std::string& strDestinationDir) {
  try {
    auto tree = std::make_shared<FileTree>();
    tree->InitMyObjects(objA);
    tree->SourceDir = strSourceDir;
    tree->DestinationDir = strDestinationDir;
    return tree;
  } catch (const std::exception&) {
    ReportError("ObjectFactory", "CreateObject_FileTree");
    return nullptr;
  }
}

}  // namespace kestrun
