// The serial line to the magnifier: one numbered port, fixed line settings
// (8 data bits, no parity, one stop bit, DTR and RTS on, no flow control),
// reads that take what is already queued or wait for a count of bytes, and
// writes of one request per command with a bounded wait.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Why a port could not be opened.
enum class PortOpenFailure {
    None,     // it opened
    Missing,  // no such port on this machine (nothing plugged in there)
    Busy,     // another program holds it
    Denied,   // this user may not open it (POSIX: not in the port's group)
    SetUp,    // it opened but its line could not be set up
};

// A serial port the system lists as present.
struct ListedPort {
    int nPort;        // 1-based: COM<nPort>
    bool bBluetooth;  // a Bluetooth serial port: opening it calls the paired device
    bool operator==(const ListedPort&) const = default;
};

// What the link needs of a serial port. CComPort is the real one; the unit
// tests put a simulated line in its place.
class ISerialPort {
  public:
    virtual ~ISerialPort() = default;

    // Opens port nPort (1-based) at nBaud. True when the port is open, also
    // when it already was (the arguments are then ignored).
    virtual bool Open(int nPort, int nBaud) = 0;
    // Why the last Open failed (None after one that worked), and the system's
    // words for it where it has some.
    virtual PortOpenFailure LastOpenFailure() const { return PortOpenFailure::SetUp; }
    virtual std::string LastOpenDetail() const { return {}; }
    // Closes the port if it is open. Always true; may be called any number of times.
    virtual bool Close() = 0;
    // Writes nLength bytes as one request. Returns nLength, or 0 when the port
    // is not open or nLength <= 0. Bytes that could not be written are not
    // reported.
    virtual int WriteBytes(const std::uint8_t* pBytes, int nLength) = 0;
    // Whether every byte of the last WriteBytes was taken by the driver (false
    // when one failed or was still pending after its wait; also false when
    // nothing could be written). Taken is not delivered: the device may still
    // never see a byte that the driver accepted. A port that cannot tell
    // counts every write as whole.
    virtual bool LastWriteWhole() const { return true; }
    // Number of bytes waiting in the driver's input queue; 0 when not open.
    virtual int GetInputCount() = 0;
    // Takes up to nLimit of the bytes already queued, never waiting for more.
    // Returns how many were placed in pBuffer, 0 when none (or on an error).
    virtual int ReadAvailable(std::uint8_t* pBuffer, int nLimit) = 0;
    // Takes up to nLimit bytes once nWanted of them have come, with whatever
    // else is queued by then; or what has come when nWithinMs have passed, or
    // at once after StopWaits. It returns as the nWanted-th byte arrives, on
    // the line's own timing. Returns how many were placed in pBuffer.
    virtual int ReadWithin(std::uint8_t* pBuffer, int nWanted, int nLimit, int nWithinMs) = 0;
    // From any thread: ends a ReadWithin under way, and every later one
    // takes only what is queued. For the end of the program: not undone.
    virtual void StopWaits() = 0;
    virtual bool IsOpen() const = 0;
};

// The port number of a system's port name: "COM7" or "\\.\COM7" (any case)
// gives 7; anything else, or a number outside 1 to CComPort::kMaxPort, 0.
int ParsePortName(const char* pszName);
// Whether a serial port's device is a Bluetooth link: a Windows device
// "\Device\BthModem<n>" (as the system names it in its port list) or a Linux
// "/dev/rfcomm<n>".
bool IsBluetoothDevice(const char* pszDevice);
// The ports in number order, each once (Bluetooth if any entry of it says so).
std::vector<ListedPort> SortedPorts(std::vector<ListedPort> ports);

class CComPort final : public ISerialPort {
  public:
    CComPort();
    ~CComPort() override;
    CComPort(const CComPort&) = delete;
    CComPort& operator=(const CComPort&) = delete;

    bool Open(int nPort, int nBaud) override;
    PortOpenFailure LastOpenFailure() const override { return m_openFailure; }
    std::string LastOpenDetail() const override { return m_strOpenDetail; }
    bool Close() override;
    int WriteBytes(const std::uint8_t* pBytes, int nLength) override;
    bool LastWriteWhole() const override { return m_bLastWriteWhole; }
    int GetInputCount() override;
    int ReadAvailable(std::uint8_t* pBuffer, int nLimit) override;
    int ReadWithin(std::uint8_t* pBuffer, int nWanted, int nLimit, int nWithinMs) override;
    void StopWaits() override;
    bool IsOpen() const override;

    // The system's name for port nPort: "COM3", or "\\.\COM12" above 9 on
    // Windows; the mapped device path (default /dev/ttyS<n-1>) on POSIX.
    static std::string PortName(int nPort);

    // POSIX only: maps port nPort to a device path. An empty path restores the
    // default. Set by the front end before the link thread starts.
    static void SetPortPath(int nPort, const std::string& strPath);

    // The ports the system lists as present now, in number order: on Windows
    // those of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM (Bluetooth where the
    // value's name is a \Device\BthModem device); on POSIX the mapped ports
    // whose device exists (Bluetooth where it is an rfcomm device).
    static std::vector<ListedPort> ListedPorts();
    // The highest port number a name may carry.
    static constexpr int kMaxPort = 999;

  private:
    // One write request for nLength bytes; returns how many the driver took.
    // What fails, or is still pending after the bounded wait, is dropped.
    int WriteRequest(const std::uint8_t* pBytes, int nLength);

    // Handles and the two OVERLAPPED records on Windows, the descriptor on POSIX.
    struct Platform;
    std::unique_ptr<Platform> m_p;
    bool m_bOpened = false;  // true only after a fully successful Open
    bool m_bLastWriteWhole = true;
    PortOpenFailure m_openFailure = PortOpenFailure::None;
    std::string m_strOpenDetail;
};
