// The parts of the test helpers that need system headers.
#include "temp_folder.h"

#include <cstring>

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace tarn_test {

UnreadableFile::UnreadableFile(const TempFolder& folder, const std::string& name) : path_(folder.Path(name)) {
#ifdef _WIN32
    constexpr unsigned long kGenericRead = 0x80000000ul, kGenericWrite = 0x40000000ul;
    constexpr unsigned long kCreateAlways = 2, kNormal = 0x80;
    handle_ = CreateFileA(path_.c_str(), kGenericRead | kGenericWrite, 0 /* no sharing */, nullptr,
                          kCreateAlways, kNormal, nullptr);
    ready_ = handle_ != nullptr && handle_ != reinterpret_cast<void*>(-1);
#else
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path_.size() >= sizeof address.sun_path) return;
    std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
    socket_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ready_ = socket_ >= 0 && ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
#endif
}

UnreadableFile::~UnreadableFile() {
#ifdef _WIN32
    if (ready_) CloseHandle(handle_);
#else
    if (socket_ >= 0) ::close(socket_);
    if (ready_) ::unlink(path_.c_str());
#endif
}

}  // namespace tarn_test
