#include "update/RunContext.h"

#include <utility>

#include "util/FileSystemObject.h"
#include "util/RuntimeError.h"

namespace kestrun::update {

RunSettings& RunContext::Settings() const {
  if (!settings_) Raise(err::ObjectVariableNotSet);
  return *settings_;
}

FileSystemObject& RunContext::FSO() const {
  if (!fso_) Raise(err::ObjectVariableNotSet);
  return *fso_;
}

void RunContext::Bind(RunSettings* settings, std::shared_ptr<FileSystemObject> fso) {
  settings_ = settings;
  fso_ = settings ? std::move(fso) : nullptr;
}

}  // namespace kestrun::update
