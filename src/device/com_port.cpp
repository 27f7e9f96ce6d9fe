// What CComPort does the same way on every platform.
#include "device/com_port.h"

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
