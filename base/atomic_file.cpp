#include "base/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace lumvik {

void writeFileAtomically(const std::filesystem::path& file, std::string_view bytes) {
    std::random_device random;
    const std::filesystem::path temporary =
        file.parent_path() / ("." + file.filename().string() + ".tmp" + std::to_string(random() % 1000000));
    const auto fail = [&](const std::string& reason) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw std::runtime_error("Cannot write " + file.string() + ": " + reason);
    };
    std::FILE* out = std::fopen(temporary.string().c_str(), "wb");
    if (out == nullptr) fail(std::strerror(errno));
    const bool written =
        std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size() && std::fflush(out) == 0;
#ifdef _WIN32
    const bool synced = _commit(_fileno(out)) == 0;
#else
    const bool synced = ::fsync(::fileno(out)) == 0;
#endif
    const int error = errno;
    if (std::fclose(out) != 0 || !written || !synced) fail(std::strerror(error));
    std::error_code ec;
    std::filesystem::rename(temporary, file, ec);
    if (ec) fail(ec.message());
}

void appendToFile(const std::filesystem::path& file, std::string_view bytes) {
    const auto fail = [&](int error) {
        throw std::runtime_error("Cannot write " + file.string() + ": " + std::strerror(error));
    };
#ifdef _WIN32
    const int fd = ::_wopen(file.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) fail(errno);
    const bool written =
        ::_write(fd, bytes.data(), static_cast<unsigned>(bytes.size())) == static_cast<int>(bytes.size());
    const bool synced = written && ::_commit(fd) == 0;
    const int error = errno;
    ::_close(fd);
#else
    const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) fail(errno);
    const bool written = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    const bool synced = written && ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
#endif
    if (!written || !synced) fail(error);
}

}  // namespace lumvik
