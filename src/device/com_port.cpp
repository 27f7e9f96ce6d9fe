// What CComPort does the same way on every platform.
#include "device/com_port.h"

int CComPort::WriteBytes(const std::uint8_t* pBytes, int nLength) {
    m_bLastWriteWhole = false;
    if (!IsOpen() || pBytes == nullptr || nLength <= 0) {
        return 0;
    }
    // One write request per byte. A byte that failed is not reported in the
    // count, as the magnifier acknowledges nothing anyway; LastWriteWhole
    // tells whether every byte was taken.
    bool bWhole = true;
    for (int i = 0; i < nLength; ++i) {
        bWhole = WriteOneByte(pBytes[i]) && bWhole;
    }
    m_bLastWriteWhole = bWhole;
    return nLength;
}
