#pragma once

#include <filesystem>
#include <string>

namespace lumvik::testing {

// A fresh folder for one test, removed with everything in it when the test ends.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    [[nodiscard]] std::string file(const std::string& name) const { return (path_ / name).string(); }

    // Writes bytes to a file in the folder and returns its path.
    std::filesystem::path write(const std::string& name, const std::string& bytes) const;

  private:
    std::filesystem::path path_;
};

// The whole content of a file as bytes.
[[nodiscard]] std::string readBytes(const std::filesystem::path& file);

}  // namespace lumvik::testing
