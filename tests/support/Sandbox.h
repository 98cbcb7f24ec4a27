#pragma once
#include <filesystem>
#include <string>

namespace kestrun::testing {

// A temporary folder of the test's own, removed afterwards; KESTRUN_REGISTRY names a store file in it
// for the sandbox's lifetime, so that no test touches the user's settings.
class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  const std::filesystem::path& Root() const { return root_; }
  std::filesystem::path RegistryFile() const { return root_ / "registry.reg"; }
  // A path below the root, as text.
  std::string P(const std::string& relative) const { return (root_ / relative).string(); }
  // The text with every "@" standing for the root.
  std::string At(std::string text) const;
  // Creates (with parents) and returns a folder below the root.
  std::filesystem::path Folder(const std::string& relative) const;
  // Writes a file below the root (parents created) and returns its path.
  std::filesystem::path WriteFile(const std::string& relative, const std::string& content) const;
  static std::string ReadFile(const std::filesystem::path& path);
  // Dates a file (or folder) back: last modified and last read that many days before now.
  static void SetAge(const std::filesystem::path& path, double modifiedDaysAgo, double accessedDaysAgo);

 private:
  std::filesystem::path root_;
  std::string previousRegistry_;
  bool hadRegistry_ = false;
};

}  // namespace kestrun::testing
