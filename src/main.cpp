#include "platform/WindowSystem.h"

int main(int argc, char** argv) {
  kestrun::platform::InitAppFacts(argv[0]);
  kestrun::platform::SetCommandTail(kestrun::platform::BuildCommandTail(argc, argv));
  return 0;
}
