#pragma once
#include <memory>
#include <string>

namespace kestrun {

class Application;
class AppMain;
class FileTree;

// Creates the controller and the file-tree engine and wires them to the driver.
class ObjectFactory {
 public:
  // A new controller already wired to `objA`; nullptr on any failure, without a message.
  std::unique_ptr<AppMain> CreateObject_AppMain(Application& objA);
  // A new tree engine wired to `objA`, set to work from `strSourceDir` into `strDestinationDir`;
  // nullptr after an error report.
  std::shared_ptr<FileTree> CreateObject_FileTree(Application& objA, const std::string& strSourceDir,
                                                  const std::string& strDestinationDir);
};

}  // namespace kestrun
