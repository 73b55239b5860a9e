#pragma once
// A UDP port on the loopback address that nobody uses, for tests and benchmarks of OSC.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A socket bound to a free loopback port; the port stays taken until release() or the end.
class LoopbackUdpPort {
public:
    LoopbackUdpPort() {
        fd_ = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~LoopbackUdpPort() { release(); }
    LoopbackUdpPort(const LoopbackUdpPort&) = delete;
    LoopbackUdpPort& operator=(const LoopbackUdpPort&) = delete;

    int port() const { return port_; }
    void release() {
        if (fd_ >= 0) {
            close(fd_);
            fd_ = -1;
        }
    }

private:
    int fd_ = -1;
    int port_ = 0;
};

// A port free a moment ago: another program could take it before the caller binds it.
inline int freeLoopbackUdpPort() {
    return LoopbackUdpPort().port();
}
