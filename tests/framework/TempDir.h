#pragma once
// A fresh directory under the system's temporary folder, removed with its content when
// the test ends.

#include <filesystem>
#include <random>
#include <string>

namespace qor::test {

class TempDir {
public:
    TempDir() {
        std::random_device random;
        const auto base = std::filesystem::temp_directory_path();
        do
            FPath = base / ("qor-test-" + std::to_string(random()));
        while (!std::filesystem::create_directory(FPath));
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(FPath, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string File(const std::string& Name) const { return (FPath / Name).string(); }

private:
    std::filesystem::path FPath;
};

} // namespace qor::test
