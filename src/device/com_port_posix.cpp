// CComPort on POSIX termios. Port n is the device path mapped for it
// (default /dev/ttyS<n-1>).
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>

#include "device/com_port.h"

namespace {

constexpr int kWriteWaitMs = 1000;  // bounded wait for a command to be accepted

std::mutex g_mapLock;
std::map<int, std::string>& PortMap() {
    static std::map<int, std::string> map;
    return map;
}

speed_t BaudConstant(int nBaud) {
    switch (nBaud) {
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        default:
            return B0;
    }
}

}  // namespace

struct CComPort::Platform {
    int fd = -1;
    // StopWaits writes into this pipe; a waiting read polls its other end.
    int stopPipe[2] = {-1, -1};
};

CComPort::CComPort() : m_p(std::make_unique<Platform>()) {
    if (::pipe2(m_p->stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_p->stopPipe[0] = m_p->stopPipe[1] = -1;  // reads then wait without a way to stop them
    }
}

CComPort::~CComPort() {
    Close();
    for (int fd : m_p->stopPipe) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

std::string CComPort::PortName(int nPort) {
    {
        std::lock_guard<std::mutex> guard(g_mapLock);
        auto it = PortMap().find(nPort);
        if (it != PortMap().end()) {
            return it->second;
        }
    }
    return "/dev/ttyS" + std::to_string(nPort - 1);
}

void CComPort::SetPortPath(int nPort, const std::string& strPath) {
    std::lock_guard<std::mutex> guard(g_mapLock);
    if (strPath.empty()) {
        PortMap().erase(nPort);
    } else {
        PortMap()[nPort] = strPath;
    }
}

bool CComPort::IsOpen() const {
    return m_bOpened && m_p->fd >= 0;
}

bool CComPort::Open(int nPort, int nBaud) {
    if (m_bOpened) {
        return true;
    }
    m_openFailure = PortOpenFailure::SetUp;
    m_strOpenDetail.clear();
    const speed_t speed = BaudConstant(nBaud);
    if (nPort < 1 || speed == B0) {
        return false;
    }
    const std::string strName = PortName(nPort);
    int fd = ::open(strName.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int nError = errno;
        m_strOpenDetail = std::strerror(nError);
        // A serial device node without a port behind it answers ENXIO or ENODEV.
        if (nError == ENOENT || nError == ENXIO || nError == ENODEV) {
            m_openFailure = PortOpenFailure::Missing;
        } else if (nError == EBUSY) {
            m_openFailure = PortOpenFailure::Busy;
        } else if (nError == EACCES || nError == EPERM) {
            m_openFailure = PortOpenFailure::Denied;
        }
        return false;
    }
    // Exclusive, like a Windows port opened with share mode 0: the advisory lock
    // keeps out other copies and tools (it also holds for root, which TIOCEXCL
    // does not), TIOCEXCL keeps out everyone else who is not privileged.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        m_openFailure = PortOpenFailure::Busy;
        m_strOpenDetail = std::strerror(errno);
        ::close(fd);
        return false;
    }
    termios tio{};
    bool bOk = ::ioctl(fd, TIOCEXCL) == 0 && ::tcgetattr(fd, &tio) == 0;
    if (bOk) {
        // 8 data bits, no parity, one stop bit, whatever another program left.
        cfmakeraw(&tio);
        tio.c_cflag &= ~(CSIZE | CRTSCTS | PARENB | CSTOPB);
        tio.c_cflag |= CS8 | CLOCAL | CREAD;
        tio.c_iflag &= ~(IXON | IXOFF | IXANY);
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        bOk = cfsetispeed(&tio, speed) == 0 && cfsetospeed(&tio, speed) == 0 &&
              ::tcsetattr(fd, TCSANOW, &tio) == 0;
    }
    if (!bOk) {
        m_strOpenDetail = std::strerror(errno);
        ::close(fd);
        return false;
    }
    // DTR and RTS on where the device has modem lines (a pseudo-terminal has none).
    int nLines = TIOCM_DTR | TIOCM_RTS;
    (void)::ioctl(fd, TIOCMBIS, &nLines);
    m_p->fd = fd;
    m_bOpened = true;
    m_openFailure = PortOpenFailure::None;
    return true;
}

std::vector<ListedPort> CComPort::ListedPorts() {
    std::vector<ListedPort> ports;
    std::lock_guard<std::mutex> guard(g_mapLock);
    for (const auto& [nPort, strPath] : PortMap()) {  // the map is in number order
        struct stat st {};
        if (::stat(strPath.c_str(), &st) == 0) {
            ports.push_back({nPort, IsBluetoothDevice(strPath.c_str())});
        }
    }
    return ports;
}

bool CComPort::Close() {
    if (m_bOpened && m_p->fd >= 0) {
        // The exclusive flag belongs to the terminal, not to this descriptor: it
        // would outlive the close while anyone else (a simulator, a getty) still
        // holds the device, and lock us out of our own next open.
        (void)::ioctl(m_p->fd, TIOCNXCL);
        ::close(m_p->fd);
        m_p->fd = -1;
        m_bOpened = false;
    }
    return true;
}

int CComPort::WriteRequest(const std::uint8_t* pBytes, int nLength) {
    int nDone = 0;
    bool bWaited = false;
    while (nDone < nLength) {
        const ssize_t n = ::write(m_p->fd, pBytes + nDone, static_cast<size_t>(nLength - nDone));
        if (n > 0) {
            nDone += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && !bWaited) {
            // Output queue full: wait once, a bounded time, for room for the rest.
            bWaited = true;
            pollfd pfd{m_p->fd, POLLOUT, 0};
            if (::poll(&pfd, 1, kWriteWaitMs) == 1 && (pfd.revents & POLLOUT)) {
                continue;
            }
        }
        break;  // what cannot go out is dropped
    }
    return nDone;
}

int CComPort::GetInputCount() {
    if (!IsOpen()) {
        return 0;
    }
    int nQueued = 0;
    if (::ioctl(m_p->fd, FIONREAD, &nQueued) != 0 || nQueued < 0) {
        return 0;
    }
    return nQueued;
}

int CComPort::ReadAvailable(std::uint8_t* pBuffer, int nLimit) {
    if (!IsOpen() || nLimit <= 0) {
        return 0;
    }
    const int nQueued = GetInputCount();
    if (nQueued == 0) {
        return 0;
    }
    const int nWant = nQueued < nLimit ? nQueued : nLimit;
    for (;;) {
        const ssize_t n = ::read(m_p->fd, pBuffer, static_cast<size_t>(nWant));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return n > 0 ? static_cast<int>(n) : 0;
    }
}

int CComPort::ReadWithin(std::uint8_t* pBuffer, int nWanted, int nLimit, int nWithinMs) {
    if (!IsOpen() || nLimit <= 0) {
        return 0;
    }
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(nWithinMs);
    int nDone = 0;
    for (;;) {
        nDone += ReadAvailable(pBuffer + nDone, nLimit - nDone);
        const auto nLeft =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (nDone >= nWanted || nDone >= nLimit || nLeft <= 0) {
            return nDone;
        }
        // Woken by each byte as it comes, by the stop, or at the deadline.
        pollfd pfds[2] = {{m_p->fd, POLLIN, 0}, {m_p->stopPipe[0], POLLIN, 0}};
        const int nReady = ::poll(pfds, 2, static_cast<int>(nLeft));
        if (nReady < 0 && errno != EINTR) {
            return nDone;
        }
        if ((pfds[1].revents & POLLIN) || (pfds[0].revents & (POLLERR | POLLHUP | POLLNVAL))) {
            // Stopped, or the device is gone: what has come is all there is.
            return nDone + ReadAvailable(pBuffer + nDone, nLimit - nDone);
        }
    }
}

void CComPort::StopWaits() {
    if (m_p->stopPipe[1] >= 0) {
        const char chStop = 1;
        (void)!::write(m_p->stopPipe[1], &chStop, 1);  // one byte keeps every later poll woken
    }
}
