// What CComPort does the same way on every platform.
#include "device/com_port.h"

int CComPort::WriteBytes(const std::uint8_t* pBytes, int nLength) {
    if (!IsOpen() || pBytes == nullptr || nLength <= 0) {
        return 0;
    }
    // One write request per byte. A byte that failed is not reported: the
    // count given is returned, as the magnifier acknowledges nothing anyway.
    for (int i = 0; i < nLength; ++i) {
        WriteOneByte(pBytes[i]);
    }
    return nLength;
}
