// Fuzzes the probe: whatever bytes the line delivers, in whatever pieces and
// at whatever moments, CheckDevice accepts only an exactly-shaped 7-byte
// answer, takes the time the answer was seen, and leaves a NUL-terminated
// debug line in its 50 bytes that names the port, the reply (shortened with
// "..." when it does not fit), the time and the verdict. The line formatter
// is also driven directly with any buffer size, port, time and reply length.
//
// Input: byte 0 flags (bit 0: the link was connected, bits 1-2: port - 1,
// bit 3: verdict of the direct format call), bytes 1-3 the direct call's
// buffer size, port and time; then the line's pieces: the first is
// [length lo][length hi][bytes], the bytes already queued before the probe
// (stale input the probe must discard, up to its 1000-byte flush); every
// later one is [delay ms][length][bytes], queued that many ms after the
// previous piece. The direct call formats everything after byte 3 (up to the
// first NUL) as the reply.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "device/device_link.h"
#include "fuzz_check.h"

namespace {

struct Piece {
    int nArrivalMs;
    std::string bytes;
};

// A serial line whose input is scheduled in virtual time.
class ScheduledLine final : public ISerialPort {
  public:
    bool Open(int, int) override { return true; }
    bool Close() override { return true; }
    bool IsOpen() const override { return true; }
    int WriteBytes(const std::uint8_t* pBytes, int nLength) override {
        written.append(reinterpret_cast<const char*>(pBytes), static_cast<std::size_t>(nLength));
        return nLength;
    }
    int GetInputCount() override { return static_cast<int>(queued.size()); }
    int ReadAvailable(std::uint8_t* pBuffer, int nLimit) override {
        FUZZ_CHECK(nLimit >= 0);
        const std::size_t n = std::min(queued.size(), static_cast<std::size_t>(nLimit));
        for (std::size_t i = 0; i < n; ++i) {
            pBuffer[i] = static_cast<std::uint8_t>(queued.front());
            queued.pop_front();
        }
        return static_cast<int>(n);
    }
    // Time passes: pieces due by now join the input queue.
    void Advance(int nMs) {
        nowMs += nMs;
        while (next < pieces.size() && pieces[next].nArrivalMs <= nowMs) {
            queued.insert(queued.end(), pieces[next].bytes.begin(), pieces[next].bytes.end());
            ++next;
        }
    }

    std::vector<Piece> pieces;
    std::size_t next = 0;
    std::deque<char> queued;
    std::string written;
    int nowMs = 0;
};

// The text of bytes read at once: up to the first NUL.
std::string TextOf(const std::string& bytes) {
    return bytes.substr(0, std::min(bytes.size(), bytes.find('\0')));
}

bool ShapedAnswer(const std::string& text) {
    return text.size() == 7 && text[0] == 'V' && text[2] == '.' && text[5] == '\r' &&
           text[6] == '\n' && text.find('\0') == std::string::npos;
}

// What the probe must conclude from the schedule, worked out on the wire's
// terms: after discarding what was queued before it, it looks every 10 ms
// (10 to 190) and, whenever 7 or more bytes wait, takes up to 40 of them; the
// first take that is the answer wins. After 200 ms it takes whatever waits.
struct Expected {
    bool bAccepted = false;
    int nMs = 200;
    std::string reply;
};

Expected Predict(std::string stale, const std::vector<Piece>& pieces) {
    std::deque<char> q(stale.begin() + std::min<std::size_t>(stale.size(), 1000), stale.end());
    std::size_t next = 0;
    auto deliverUpTo = [&](int nMs) {
        for (; next < pieces.size() && pieces[next].nArrivalMs <= nMs; ++next) {
            q.insert(q.end(), pieces[next].bytes.begin(), pieces[next].bytes.end());
        }
    };
    auto take = [&] {
        std::string got;
        while (!q.empty() && got.size() < 40) {
            got.push_back(q.front());
            q.pop_front();
        }
        return TextOf(got);
    };
    Expected e;
    for (int t = 10; t < 200; t += 10) {
        deliverUpTo(t);
        if (q.size() >= 7) {
            e.reply = take();
            if (ShapedAnswer(e.reply)) {
                e.bAccepted = true;
                e.nMs = t;
                return e;
            }
        }
    }
    deliverUpTo(200);
    if (!q.empty()) {
        e.reply = take();
    }
    return e;
}

// A debug line is either the whole line, or - when that is longer than the
// buffer allows - the head, a prefix of the reply with "...", and the whole
// tail, filling the buffer; with too little room for even that, a prefix of
// the whole line.
void CheckLine(const char* pszLine, std::size_t nSize, const std::string& head,
               const std::string& reply, const std::string& tail) {
    const void* pNul = std::memchr(pszLine, '\0', nSize);
    FUZZ_CHECK(pNul != nullptr);
    const std::string line(pszLine);
    const std::string full = head + reply + tail;
    if (full.size() < nSize) {
        FUZZ_CHECK(line == full);
        return;
    }
    if (nSize - 1 > head.size() + tail.size() + 3) {
        FUZZ_CHECK(line.size() == nSize - 1);
        FUZZ_CHECK(line.compare(0, head.size(), head) == 0);
        FUZZ_CHECK(line.compare(line.size() - tail.size(), tail.size(), tail) == 0);
        const std::string middle =
            line.substr(head.size(), line.size() - head.size() - tail.size());
        FUZZ_CHECK(middle.size() >= 3 && middle.compare(middle.size() - 3, 3, "...") == 0);
        FUZZ_CHECK(reply.compare(0, middle.size() - 3, middle, 0, middle.size() - 3) == 0);
        return;
    }
    FUZZ_CHECK(full.compare(0, line.size(), line) == 0);
}

std::string Head(int nPort) {
    return "Com" + std::to_string(nPort) + " Resp='";
}

std::string Tail(int nMs, const char* pszVerdict) {
    return "' " + std::to_string(nMs) + "ms - " + pszVerdict;
}

void FuzzFormat(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return;
    }
    const bool bOk = data[0] & 8;
    const int nSize = data[1];
    const int nPort = static_cast<std::int8_t>(data[2]);
    const int nMs = static_cast<std::int8_t>(data[3]) * 1000 + data[3];
    const std::string reply =
        TextOf(std::string(reinterpret_cast<const char*>(data + 4), size - 4));
    const char* pszVerdict = bOk ? "ok" : "bad";
    // The buffer is exactly nSize bytes, so that any write past it is caught.
    std::vector<char> out(static_cast<std::size_t>(std::max(nSize, 1)), '#');
    FormatProbeLine(out.data(), nSize, nPort, reply.c_str(), nMs, pszVerdict);
    if (nSize == 0) {
        FUZZ_CHECK(out[0] == '#');  // no room: nothing is written
        return;
    }
    CheckLine(out.data(), out.size(), Head(nPort), reply, Tail(nMs, pszVerdict));
}

void FuzzProbe(const std::uint8_t* data, std::size_t size) {
    if (size < 6) {
        return;
    }
    const bool bConnected = data[0] & 1;
    const int nPort = 1 + ((data[0] >> 1) & 3);
    std::size_t pos = 4;
    const std::size_t nStale =
        std::min<std::size_t>(data[pos] | data[pos + 1] << 8, size - pos - 2);
    pos += 2;
    const std::string stale(reinterpret_cast<const char*>(data + pos), nStale);
    pos += nStale;
    std::vector<Piece> pieces;
    int nAt = 0;
    while (pos + 2 <= size) {
        nAt += data[pos];
        const std::size_t n = std::min<std::size_t>(data[pos + 1], size - pos - 2);
        pieces.push_back({nAt, std::string(reinterpret_cast<const char*>(data + pos + 2), n)});
        pos += 2 + n;
    }

    ScheduledLine line;
    line.queued.assign(stale.begin(), stale.end());
    line.pieces = pieces;
    CDeviceLink link;
    link.UsePort(&line);
    link.UseSleep([&line](int nMs) { line.Advance(nMs); });
    link.m_nPort = nPort;
    link.SetStatus(bConnected ? LINK_CONNECTED : LINK_SEARCHING);

    const bool bAccepted = link.CheckDevice();
    const Expected e = Predict(stale, pieces);

    FUZZ_CHECK(line.written == "?\r\n");
    FUZZ_CHECK(bAccepted == e.bAccepted);
    FUZZ_CHECK(link.m_nReplyMs == e.nMs);
    // Only a failed keep-alive (the link was connected) waits a further second.
    FUZZ_CHECK(line.nowMs == e.nMs + (!bAccepted && bConnected ? 1000 : 0));
    const char* pszVerdict = bAccepted ? "ok" : "bad";
    CheckLine(link.m_szDebugInfo, sizeof link.m_szDebugInfo, Head(nPort), e.reply,
              Tail(e.nMs, pszVerdict));
    // With the real ports and times the verdict always survives shortening.
    const std::string debug = link.GetDebugInfo();
    FUZZ_CHECK(debug == link.m_szDebugInfo);
    const std::string verdictEnd = std::string(" - ") + pszVerdict;
    FUZZ_CHECK(debug.size() >= verdictEnd.size() &&
               debug.compare(debug.size() - verdictEnd.size(), verdictEnd.size(), verdictEnd) == 0);
    link.UsePort(nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzFormat(data, size);
    FuzzProbe(data, size);
    return 0;
}
