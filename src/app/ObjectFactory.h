#pragma once
#include <memory>

namespace kestrun {

class Application;
class AppMain;

// Creates the controller (and, later, the file-tree engine) and wires them to the driver.
class ObjectFactory {
 public:
  // A new controller already wired to `objA`; nullptr on any failure, without a message.
  std::unique_ptr<AppMain> CreateObject_AppMain(Application& objA);
};

}  // namespace kestrun
