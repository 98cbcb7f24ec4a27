// Prints how long one settings read and one settings write take on a small and on a large store, and
// beside them a listing of all values, a deletion and a listing of all sub-keys of a large key. Each
// call opens, reads and closes the store file, so these figures are the whole cost of a call.
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/WindowSystem.h"
#include "registry/RegUtilities.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::string Key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Ambervale\\Kestrun";

double CpuMs() {
  timespec ts{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Milliseconds per call of `f` over `rounds` calls: elapsed, and the processor time this process used
// (the fairer figure on a busy machine; the flush to disk is waiting, not processor time).
struct Figure {
  double wall;
  double cpu;
};

template <typename F>
Figure Time(int rounds, F f) {
  auto start = Clock::now();
  double cpuStart = CpuMs();
  for (int i = 0; i < rounds; ++i) f(i);
  return {std::chrono::duration<double, std::milli>(Clock::now() - start).count() / rounds,
          (CpuMs() - cpuStart) / rounds};
}

void Print(const char* what, Figure f) {
  std::printf("  %-18s %9.4f ms elapsed, %9.4f ms processor\n", what, f.wall, f.cpu);
}

void WriteStore(const std::string& store, const std::string& text) {
  if (FILE* f = std::fopen(store.c_str(), "wb")) {
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
}

void Fill(const kestrun::RegUtilities& ru, int values) {
  for (int i = 0; i < values; ++i)
    ru.SetKeyValue(Key, "Setting" + std::to_string(i), "value number " + std::to_string(i));
}

// Fills a store of 20 and then one of 10,000 values in a new folder under `base`, printing the figures.
void Run(const std::filesystem::path& base, const char* label) {
  std::string folder = (base / "kestrun-bench-XXXXXX").string();
  if (!::mkdtemp(folder.data())) return;
  std::string store = folder + "/registry.reg";
  ::setenv("KESTRUN_REGISTRY", store.c_str(), 1);
  kestrun::RegUtilities ru;
  std::printf("%s (%s)\n", label, folder.c_str());

  Fill(ru, 20);
  Figure smallRead = Time(2000, [&](int i) { ru.GetKeyValue(Key, "Setting" + std::to_string(i % 20), ""); });
  Figure smallWrite = Time(300, [&](int i) { ru.SetKeyValue(Key, "Setting7", "changed " + std::to_string(i)); });
  std::printf(" store of 20 values (%ju bytes):\n", static_cast<std::uintmax_t>(std::filesystem::file_size(store)));
  Print("GetKeyValue", smallRead);
  Print("SetKeyValue", smallWrite);

  // The large store is written in one go: ten thousand separate writes would only time the writes.
  std::string text = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ambervale\\Kestrun]\n";
  for (int i = 0; i < 10000; ++i) {
    text += "\"Setting" + std::to_string(i) + "\"=\"value number " + std::to_string(i) + "\"\n";
  }
  WriteStore(store, text);
  Figure largeRead = Time(200, [&](int i) { ru.GetKeyValue(Key, "Setting" + std::to_string(i * 37 % 10000), ""); });
  Figure largeWrite = Time(50, [&](int i) { ru.SetKeyValue(Key, "Setting7", "changed " + std::to_string(i)); });
  std::size_t rows = 0;
  Figure largeList = Time(20, [&](int) { rows = static_cast<std::size_t>(ru.EnumerateAnyKey(Key)->RecordCount()); });
  Figure largeDelete = Time(50, [&](int i) { ru.DeleteValue(Key, "Setting" + std::to_string(100 + i)); });
  std::printf(" store of 10000 values (%ju bytes), all in one key:\n",
              static_cast<std::uintmax_t>(std::filesystem::file_size(store)));
  Print("GetKeyValue", largeRead);
  Print("SetKeyValue", largeWrite);
  Print("EnumerateAnyKey", largeList);
  Print("DeleteValue", largeDelete);
  if (rows != 10000) std::printf("  (the listing gave %zu rows)\n", rows);

  // The same number of sub-keys below one key, each with one value.
  text = "REGEDIT4\n\n";
  for (int i = 0; i < 10000; ++i) {
    text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ambervale\\Kestrun\\Key" + std::to_string(i) + "]\n\"v\"=\"1\"\n";
  }
  WriteStore(store, text);
  Figure branchRead =
      Time(200, [&](int i) { ru.GetKeyValue(Key + "\\Key" + std::to_string(i * 37 % 10000), "v", ""); });
  Figure branchList =
      Time(20, [&](int) { rows = static_cast<std::size_t>(ru.EnumerateAnyBranch(Key)->RecordCount()); });
  std::printf(" store of 10000 sub-keys of one key (%ju bytes):\n",
              static_cast<std::uintmax_t>(std::filesystem::file_size(store)));
  Print("GetKeyValue", branchRead);
  Print("EnumerateAnyBranch", branchList);
  if (rows != 10000) std::printf("  (the listing gave %zu rows)\n", rows);

  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}

}  // namespace

int main() {
  Run(std::filesystem::temp_directory_path(), "on disk: writes include the flush to disk");
  // On a memory file system the flush costs nothing, which leaves the store's own work.
  std::error_code ec;
  if (std::filesystem::is_directory("/dev/shm", ec)) Run("/dev/shm", "in memory: writes without the flush");
  return 0;
}
