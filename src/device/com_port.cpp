// What CComPort does the same way on every platform.
#include "device/com_port.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

bool StartsWithNoCase(const char* psz, const char* pszPrefix) {
    for (; *pszPrefix != '\0'; ++psz, ++pszPrefix) {
        if (std::tolower(static_cast<unsigned char>(*psz)) !=
            std::tolower(static_cast<unsigned char>(*pszPrefix))) {
            return false;
        }
    }
    return true;
}

}  // namespace

int ParsePortName(const char* pszName) {
    if (pszName == nullptr) {
        return 0;
    }
    if (std::strncmp(pszName, "\\\\.\\", 4) == 0) {
        pszName += 4;
    }
    if (!StartsWithNoCase(pszName, "COM")) {
        return 0;
    }
    pszName += 3;
    int nPort = 0;
    if (*pszName < '1' || *pszName > '9') {
        return 0;  // no digits, or a leading zero
    }
    while (*pszName >= '0' && *pszName <= '9') {
        nPort = nPort * 10 + (*pszName++ - '0');
        if (nPort > CComPort::kMaxPort) {
            return 0;
        }
    }
    return *pszName == '\0' ? nPort : 0;
}

bool IsBluetoothDevice(const char* pszDevice) {
    return pszDevice != nullptr && (StartsWithNoCase(pszDevice, "\\Device\\BthModem") ||
                                    std::strncmp(pszDevice, "/dev/rfcomm", 11) == 0);
}

std::vector<ListedPort> SortedPorts(std::vector<ListedPort> ports) {
    std::sort(ports.begin(), ports.end(), [](const ListedPort& a, const ListedPort& b) {
        return a.nPort != b.nPort ? a.nPort < b.nPort : a.bBluetooth > b.bBluetooth;
    });
    ports.erase(
        std::unique(ports.begin(), ports.end(),
                    [](const ListedPort& a, const ListedPort& b) { return a.nPort == b.nPort; }),
        ports.end());
    return ports;
}

int CComPort::WriteBytes(const std::uint8_t* pBytes, int nLength) {
    m_bLastWriteWhole = false;
    if (!IsOpen() || pBytes == nullptr || nLength <= 0) {
        return 0;
    }
    // One write request for the whole command. Bytes that did not go out are
    // not reported in the count, as the magnifier acknowledges nothing anyway;
    // LastWriteWhole tells whether every byte was taken.
    m_bLastWriteWhole = WriteRequest(pBytes, nLength) == nLength;
    return nLength;
}
