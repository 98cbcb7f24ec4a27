#pragma once
#include <cstdint>
#include <string>

namespace kestrun::update {

// The controller's properties that an update run reads. The run writes two of them back: LocalPath,
// given its trailing separator, and LastSourceFailed, its outcome.
struct RunSettings {
  std::string HostName;
  std::string RemotePath;
  std::string AltHostName;
  std::string AltRemotePath;
  std::string FileMask;
  std::string LocalPath;
  int32_t HowToCopy = 0;
  std::string NewFileName;
  int32_t SDATsToKeep = 0;
  // The registry key below which the run records the package it fetched last.
  std::string RegistryKey;

  // True until an update run has gone through its last source: a run that never started, stopped on
  // an error or whose last source failed ends the program with a failure status for the scheduler.
  bool LastSourceFailed = true;
};

}  // namespace kestrun::update
